#include "app/queryform.h"

#include "addressbook/tagid.h"
#include "app/filterfile.h"
#include "app/messages.h"
#include "storage/home.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qb {

const QString TAddressQueryForm::HintText = QStringLiteral(
    "Hint: to look for only part of a value, first type in a $ and then the value to look for. "
    "As an example, to find all records containing the code letter C in the Codes field, type in "
    "$C. Right click on any field or press HELP for more helpful tips");
const QString TAddressQueryForm::DateHint =
    QStringLiteral("Note: enter dates in the form: YYYYMMDD\r(i.e. 19970428 for April 28, 1997)");

QRect QueryEntryRect(const QRect& field, int pageShift) {
    return field.translated(0, 25 + pageShift);
}

QString TAddressQueryForm::defaultCaption(AddressFilter::Criterion c) {
    static const char* const captions[AddressFilter::CriterionCount] = {
        "Last Name", "First Name", "Title",     "Organization", "Address 1", "Address 2",
        "Zip",       "City",       "State",     "Country",      "Phone 1",   "Phone 2",
        "Fax",       "E-mail",     "Comment 1", "Comment 2",    "Date",      "Codes"};
    return QString::fromLatin1(captions[c]);
}

TAddressQueryForm::TAddressQueryForm(AddressFilter& filter, FilterTarget& target,
                                     std::function<void()> afterTest,
                                     const QVector<QueryEntryPlace>& places, QRect taggedPlace,
                                     QRect area, QWidget* parent)
    : QDialog(parent), filter_(filter), target_(target), afterTest_(std::move(afterTest)),
      tagged_(new QCheckBox(QStringLiteral("Tagged"), this)), count_(new QLabel(this)),
      dateFormat_(new QLabel(QStringLiteral("(YYYYMMDD)"), this)) {
    setWindowTitle(QStringLiteral("Address Filter"));
    const bool placed = places.size() == AddressFilter::CriterionCount &&
                        std::all_of(places.begin(), places.end(),
                                    [](const QueryEntryPlace& p) { return p.entry.isValid(); });
    for (int i = 0; i < AddressFilter::CriterionCount; ++i) {
        const auto c = AddressFilter::Criterion(i);
        captions_[i] = i < places.size() && !places[i].caption.isEmpty() ? places[i].caption
                                                                         : defaultCaption(c);
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("q") + QString::number(i));
        e->setAccessibleName(captions_[i]);
        e->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(e, &QWidget::customContextMenuRequested, this, &TAddressQueryForm::HelpButtonClick);
        entries_[i] = e;
    }
    QLineEdit* date = entries_[AddressFilter::Date];
    QString dateTip = DateHint;
    dateTip.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    date->setToolTip(dateTip);
    date->installEventFilter(this);
    dateFormat_->hide();

    auto* hint = new QLabel(HintText, this);
    hint->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    const char* const names[] = {"Ok", "Help", "Cancel", "Test", "Clear"};
    QPushButton* b[5];
    for (int i = 0; i < 5; ++i) {
        b[i] = new QPushButton(QString::fromLatin1(names[i]), this);
        b[i]->setAutoDefault(false);
        buttons->addWidget(b[i]);
    }
    b[0]->setDefault(true);
    connect(b[0], &QPushButton::clicked, this, &TAddressQueryForm::OKButtonClick);
    connect(b[1], &QPushButton::clicked, this, &TAddressQueryForm::HelpButtonClick);
    connect(b[2], &QPushButton::clicked, this, &TAddressQueryForm::CancelbuttonClick);
    connect(b[3], &QPushButton::clicked, this, [this] { qSetFilterButtonClick(); });
    connect(b[4], &QPushButton::clicked, this, &TAddressQueryForm::qClearButtonClick);

    auto* layout = new QVBoxLayout(this);
    if (placed) {
        // Laid over the main window: every entry where its field is.
        auto* surface = new QWidget(this);
        QRect bounds = area;
        for (int i = 0; i < AddressFilter::CriterionCount; ++i) {
            QLineEdit* e = entries_[i];
            e->setParent(surface);
            e->setGeometry(places[i].entry);
            auto* l = new QLabel(captions_[i], surface);
            l->setBuddy(e);
            QRect lr = places[i].label;
            if (!lr.isValid()) {
                const int w = l->sizeHint().width();
                lr = QRect(places[i].entry.left() - w - 4, places[i].entry.top(), w,
                           places[i].entry.height());
            }
            l->setGeometry(lr);
            bounds |= places[i].entry | lr;
        }
        tagged_->setParent(surface);
        if (taggedPlace.isValid())
            tagged_->setGeometry(taggedPlace);
        else
            tagged_->move(bounds.left(), bounds.bottom() + 4);
        bounds |= tagged_->geometry();
        const QRect d = date->geometry();
        dateFormat_->setParent(surface);
        dateFormat_->setGeometry(d.left(), d.bottom() + 2, d.width(), d.height());
        bounds |= dateFormat_->geometry();
        surface->setMinimumSize(bounds.right() + 8, bounds.bottom() + 8);
        layout->addWidget(surface);
    } else {
        auto* form = new QFormLayout;
        for (int i = 0; i < AddressFilter::CriterionCount; ++i) {
            if (i == AddressFilter::Date) {
                auto* box = new QVBoxLayout;
                box->setSpacing(0);
                box->addWidget(entries_[i]);
                box->addWidget(dateFormat_);
                form->addRow(captions_[i], box);
            } else {
                form->addRow(captions_[i], entries_[i]);
            }
        }
        form->addRow(QString(), tagged_);
        layout->addLayout(form);
    }
    layout->addWidget(hint);
    layout->addWidget(count_);
    layout->addLayout(buttons);
    loadFromFilter();
}

void TAddressQueryForm::loadFromFilter() {
    for (int i = 0; i < AddressFilter::CriterionCount; ++i)
        entries_[i]->setText(filter_.criterion(AddressFilter::Criterion(i)));
    tagged_->setChecked(filter_.taggedOnly());
}

bool TAddressQueryForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == entries_[AddressFilter::Date]) {
        if (event->type() == QEvent::FocusIn)
            dateFormat_->show();
        else if (event->type() == QEvent::FocusOut)
            dateFormat_->hide();
    }
    return QDialog::eventFilter(watched, event);
}

bool TAddressQueryForm::qSetFilterButtonClick() {
    for (int i = 0; i < AddressFilter::CriterionCount; ++i)
        if (CriterionUnquotable(entries_[i]->text())) {
            // No delimiter can hold such a value, and a condition built from
            // it would not say what the user meant.
            Inform(QStringLiteral("The ") + captions_[i] +
                   QStringLiteral(" entry holds all three of \", ' and ]. A filter value can "
                                  "contain at most two of them; please change the entry."));
            entries_[i]->setFocus();
            return false;
        }
    count_->setText(QStringLiteral("Searching..."));
    count_->repaint();
    for (int i = 0; i < AddressFilter::CriterionCount; ++i)
        filter_.setCriterion(AddressFilter::Criterion(i), entries_[i]->text());
    filter_.setTaggedOnly(tagged_->isChecked());
    filter_.setTagId(GlobalTagId());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int n = filter_.ApplyFilter(target_);
    QApplication::restoreOverrideCursor();
    count_->setText(filter_.isSet() ? QString::number(n) + QStringLiteral(" matches")
                                    : QStringLiteral("No filter set"));
    if (afterTest_)
        afterTest_();
    return true;
}

void TAddressQueryForm::qClearButtonClick() {
    for (QLineEdit* e : entries_)
        e->clear();
    tagged_->setChecked(false);
    qSetFilterButtonClick();
}

void TAddressQueryForm::OKButtonClick() {
    if (!qSetFilterButtonClick())
        return;
    if (!filter_.isSet() || target_.visibleCount() > 0)
        accept();
    else
        Beep();
}

void TAddressQueryForm::CancelbuttonClick() {
    reject();
}

void TAddressQueryForm::HelpButtonClick() {
    RequestHelpTopic(HelpTopic::Filters);
}

int RunFilterForm(AddressFilter& filter, FilterTarget& target, std::function<void()> afterTest,
                  const QVector<QueryEntryPlace>& places, QRect taggedPlace, QRect area,
                  QWidget* parent, const std::function<void(TAddressQueryForm&)>& run) {
    const AddressFilter kept = filter;
    int result = QDialog::Rejected;
    {
        TAddressQueryForm form(filter, target, afterTest, places, taggedPlace, area, parent);
        if (run) {
            run(form);
        } else {
            CenterOnScreen(&form);
            form.exec();
        }
        result = form.result();
    }
    if (result != QDialog::Accepted) {
        // Put back what the user had before the form (a test run changed it).
        for (int i = 0; i < AddressFilter::CriterionCount; ++i)
            filter.setCriterion(AddressFilter::Criterion(i),
                                kept.criterion(AddressFilter::Criterion(i)));
        filter.setTaggedOnly(kept.taggedOnly());
    }
    filter.setTagId(GlobalTagId());
    return filter.ApplyFilter(target);
}

} // namespace qb
