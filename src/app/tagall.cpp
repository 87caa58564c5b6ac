#include "app/tagall.h"

#include "addressbook/tagid.h"
#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/settings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace qb {

TTagAllRecords::TTagAllRecords(TableDataset& table, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), table_(table),
      status_(new QLabel(QStringLiteral("Tagging Records"), this)), progress_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      ok_(new QPushButton(QStringLiteral("Ok"), this)) {
    setWindowTitle(QStringLiteral("Tagging"));
    status_->setAlignment(Qt::AlignCenter);
    progress_->setAlignment(Qt::AlignCenter);
    progress_->setMinimumWidth(220);
    ok_->hide();
    connect(cancel_, &QPushButton::clicked, this, &TTagAllRecords::CancelButtonClick);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(ok_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
}

void TTagAllRecords::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_)
        QTimer::singleShot(0, this, &TTagAllRecords::run);
}

void TTagAllRecords::run() {
    if (started_)
        return;
    started_ = true;
    running_ = true;
    const QString id = GlobalTagId();
    table_.disableControls();
    table_.first();
    while (table_.hasRecord() && !table_.eof()) {
        table_.setString(QStringLiteral("TAG"), id);
        if (!table_.post()) {
            // A record the engine will not write: say why and stop here.
            const QString why = table_.errorText();
            table_.cancel();
            Warn(why);
            cancelled_ = true;
            break;
        }
        ++count_;
        table_.next();
        progress_->setText(QString::number(count_) + QStringLiteral(" tagged"));
        QCoreApplication::processEvents();
        if (cancelled_)
            break;
    }
    table_.enableControls();
    table_.first();
    running_ = false;
    finished_ = true;
    status_->setText(cancelled_ ? QStringLiteral("Cancelled before completion")
                                : QStringLiteral("Complete"));
    progress_->clear();
    cancel_->hide();
    ok_->show();
    ok_->setDefault(true);
    ok_->setFocus();
}

void TTagAllRecords::CancelButtonClick() {
    if (!running_)
        return;
    if (Confirm(QStringLiteral("Cancel Tagging?"), QStringLiteral("CANCEL")))
        cancelled_ = true;
}

void TTagAllRecords::reject() {
    // Esc while running is a click on "Cancel"; afterwards it closes like "Ok".
    if (running_)
        CancelButtonClick();
    else if (finished_)
        accept();
}

void TTagAllRecords::closeEvent(QCloseEvent* event) {
    if (running_ || !finished_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool TagAllFilterMatches(TableDataset& table, QWidget* parent,
                         const std::function<void(TTagAllRecords&)>& run) {
    if (!Confirm(QStringLiteral("Tag all records matching filter?"), QStringLiteral("TAG ALL")))
        return false;
    table.disableControls();
    {
        TTagAllRecords window(table, parent);
        if (run) {
            run(window);
        } else {
            CenterOnScreen(&window);
            window.exec();
        }
    }
    table.enableControls();
    table.first();
    return true;
}

void ClearAllTags(IniFile& ini) {
    SetGlobalTagId(NewTagId());
    ini.writeString(QStringLiteral("Misc"), QStringLiteral("GlobalTagId"), GlobalTagId());
}

} // namespace qb
