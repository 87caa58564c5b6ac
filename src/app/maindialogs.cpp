#include "app/maindialogs.h"

#include "app/helpviewer.h"
#include "app/messages.h"
#include "app/recordrules.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace qb {

// ---- TNewDataBaseName ------------------------------------------------------------

TNewDataBaseName::TNewDataBaseName(const QString& proposal, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Create new database"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter the database name (no extension)")));
    edit_ = new QLineEdit(proposal);
    edit_->setMaxLength(8);
    layout->addWidget(edit_);
    invalid_ = new QLabel(QStringLiteral(
        "Invalid name. Must start with A..Z, followed by A..Z,0..9 or \"_\" (underscore)"));
    invalid_->setWordWrap(true);
    layout->addWidget(invalid_);
    auto* buttons = new QHBoxLayout;
    ok_ = new QPushButton(QStringLiteral("Ok [PgDn]"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* help = new QPushButton(QStringLiteral("Help"));
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addLayout(buttons);
    connect(edit_, &QLineEdit::textChanged, this, &TNewDataBaseName::EditChange);
    connect(ok_, &QPushButton::clicked, this, &TNewDataBaseName::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { ShowHelpTopic(HelpTopic::NewFile); });
    EditChange();
    CenterOnScreen(this);
}

QString TNewDataBaseName::name() const { return edit_->text(); }

void TNewDataBaseName::EditChange() {
    const bool valid = IsValidDatabaseName(edit_->text());
    ok_->setEnabled(valid);
    invalid_->setVisible(!valid);
}

void TNewDataBaseName::OKButtonClick() {
    if (ok_->isEnabled())
        accept();
}

void TNewDataBaseName::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageDown) {
        OKButtonClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- TNewRecordDialog ---------------------------------------------------------------

TNewRecordDialog::TNewRecordDialog(bool askZip, bool askNames, QWidget* parent)
    : QDialog(parent), askZip_(askZip) {
    setWindowTitle(QStringLiteral("New Record"));
    auto* layout = new QVBoxLayout(this);
    auto addEdit = [&](const QString& caption, int length, bool shown) {
        auto* label = new QLabel(caption);
        auto* edit = new QLineEdit;
        edit->setMaxLength(length);
        label->setBuddy(edit);
        layout->addWidget(label);
        layout->addWidget(edit);
        label->setVisible(shown);
        edit->setVisible(shown);
        return edit;
    };
    // With only the zip asked it stands where the last name would be.
    zip_ = addEdit(QStringLiteral("Zip Code or Postal Code"), 10, askZip);
    last_ = addEdit(QStringLiteral("Last Name"), 30, askNames);
    first_ = addEdit(QStringLiteral("First Name"), 30, askNames);
    zip_->installEventFilter(this);
    first_->installEventFilter(this);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("Ok [PgDn]"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* help = new QPushButton(QStringLiteral("Help"));
    for (QPushButton* b : {ok, cancel, help})
        b->setAutoDefault(false);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &TNewRecordDialog::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { ShowHelpTopic(HelpTopic::AddingChanging); });
    (askZip ? zip_ : last_)->setFocus();
    CenterOnScreen(this);
}

QString TNewRecordDialog::zip() const { return askZip_ ? zip_->text().trimmed() : QString(); }
QString TNewRecordDialog::lastName() const { return last_->isVisibleTo(this) ? last_->text().trimmed() : QString(); }
QString TNewRecordDialog::firstName() const { return first_->isVisibleTo(this) ? first_->text().trimmed() : QString(); }

void TNewRecordDialog::OKButtonClick() { accept(); }

void TNewRecordDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageDown) {
        OKButtonClick();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter moves on from a name; it confirms only in the zip field.
        focusNextChild();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TNewRecordDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == zip_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OKButtonClick();
            return true;
        }
    }
    // Leaving the first name confirms when no zip is asked (Tab goes on to the buttons).
    if (watched == first_ && !askZip_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter) {
            OKButtonClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- TSelectDate --------------------------------------------------------------------------

TSelectDate::TSelectDate(const QDate& start, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select a Date"));
    auto* layout = new QVBoxLayout(this);
    calendar_ = new QCalendarWidget;
    calendar_->setGridVisible(true);
    calendar_->setSelectedDate(start.isValid() ? start : QDate::currentDate());
    layout->addWidget(calendar_);
    caption_ = new QLabel;
    caption_->setAlignment(Qt::AlignCenter);
    layout->addWidget(caption_);

    auto* moves = new QHBoxLayout;
    struct Move {
        const char* caption;
        const char* hint;
        void (TSelectDate::*slot)();
    };
    const Move list[] = {
        {"Year-", "Show the previous year", &TSelectDate::YearBackClick},
        {"Month-", "Show the previous month", &TSelectDate::MonthBackClick},
        {"Today", "Show today's date", &TSelectDate::TodayClick},
        {"Month +", "Show the next month", &TSelectDate::MonthForwardClick},
        {"Year+", "Show the next year", &TSelectDate::YearForwardClick},
    };
    for (const Move& m : list) {
        auto* b = new QPushButton(QString::fromLatin1(m.caption));
        b->setToolTip(QString::fromLatin1(m.hint));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, m.slot);
        moves->addWidget(b);
    }
    layout->addLayout(moves);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("Ok"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    auto* none = new QPushButton(QStringLiteral("No Date"));
    ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(none);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &TSelectDate::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TSelectDate::CancelButtonClick);
    connect(none, &QPushButton::clicked, this, &TSelectDate::NoDateClick);
    connect(calendar_, &QCalendarWidget::selectionChanged, this, &TSelectDate::showDate);
    connect(calendar_, &QCalendarWidget::activated, this, &TSelectDate::OKButtonClick);
    showDate();
    CenterOnScreen(this);
}

QDate TSelectDate::date() const { return calendar_->selectedDate(); }

QString TSelectDate::storedValue() const {
    return choice_ == Chosen ? date().toString(QStringLiteral("yyyyMMdd")) : QString();
}

QString TSelectDate::dateCaption() const { return caption_->text(); }

void TSelectDate::showDate() {
    caption_->setText(QLocale().toString(calendar_->selectedDate(), QLocale::LongFormat));
}

void TSelectDate::YearBackClick() { calendar_->setSelectedDate(date().addYears(-1)); }
void TSelectDate::MonthBackClick() { calendar_->setSelectedDate(date().addMonths(-1)); }
void TSelectDate::TodayClick() { calendar_->setSelectedDate(QDate::currentDate()); }
void TSelectDate::MonthForwardClick() { calendar_->setSelectedDate(date().addMonths(1)); }
void TSelectDate::YearForwardClick() { calendar_->setSelectedDate(date().addYears(1)); }

void TSelectDate::OKButtonClick() {
    choice_ = Chosen;
    accept();
}
void TSelectDate::NoDateClick() {
    choice_ = NoDate;
    accept();
}
void TSelectDate::CancelButtonClick() {
    choice_ = Cancelled;
    reject();
}

// ---- TMemoSearching -----------------------------------------------------------------------------

TMemoSearching::TMemoSearching(const QString& searchText, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Searching"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Searching for: ") + searchText));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, &TMemoSearching::CancelButtonClick);
    CenterOnScreen(this);
}

} // namespace qb
