#include "app/copyrecord.h"

#include "app/messages.h"
#include "storage/home.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace qb {

namespace {

const QString kBlank = QStringLiteral(" ");

// A line counts only when it holds something besides blanks: a record
// without city, state and zip must not leave a line of one blank behind.
void addLine(QString& out, const QString& line) {
    if (!Trim(line).isEmpty())
        out += line + QStringLiteral("\r\n");
}

// The value with a label in front, when there is a value.
void addLabelled(QString& out, const QString& label, const QString& value) {
    if (!Trim(value).isEmpty())
        out += label + value + QStringLiteral("\r\n");
}

} // namespace

QString GetRecordAsString(const AddressRecord& r, const RecordTextParts& parts) {
    QString out;
    if (parts.nameOrgTitle) {
        QString middle = r.middle;
        if (!Trim(middle).isEmpty())
            middle += QLatin1Char('.');
        addLine(out, TrimLeft(r.prefix + kBlank) + TrimLeft(r.fname + kBlank) +
                         TrimLeft(middle + kBlank) + TrimLeft(r.lname + kBlank));
        addLine(out, r.title);
        addLine(out, r.org);
    }
    if (parts.address) {
        addLine(out, r.street);
        addLine(out, r.street2);
        addLine(out,
                TrimLeft(r.city + kBlank) + kBlank + TrimLeft(r.state + kBlank) + TrimLeft(r.zip));
        addLine(out, TrimLeft(r.country + kBlank));
    }
    if (parts.phones) {
        addLabelled(out, QStringLiteral("Phone  :"), r.phone);
        addLabelled(out, QStringLiteral("Phone 2:"), r.phone2);
    }
    if (parts.codes)
        addLabelled(out, QStringLiteral("Codes :"), r.codes);
    if (parts.comments) {
        addLabelled(out, QStringLiteral("Comment 1 :"), r.user1);
        addLabelled(out, QStringLiteral("Comment 2 :"), r.user2);
    }
    return out.left(MaxRecordTextLength);
}

void PutTextOnClipboard(const QString& text) {
    QApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

TCopyRecordToClipboard::TCopyRecordToClipboard(const AddressRecord& record, QWidget* parent)
    : QDialog(parent), record_(record) {
    setWindowTitle(QStringLiteral("Copy Record To Clipboard"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    const char* captions[] = {"Name, Organization, Title", "Address", "Phone Numbers", "Codes",
                              "Comments 1 && 2"};
    for (int i = 0; i < 5; ++i) {
        boxes_[i] = new QCheckBox(QString::fromLatin1(captions[i]), this);
        boxes_[i]->setChecked(true);
        layout->addWidget(boxes_[i]);
    }
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &TCopyRecordToClipboard::OKButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TCopyRecordToClipboard::CancelButtonClick);
    connect(help, &QPushButton::clicked, this, &TCopyRecordToClipboard::HelpButtonClick);
}

RecordTextParts TCopyRecordToClipboard::Parts() const {
    RecordTextParts p;
    p.nameOrgTitle = boxes_[0]->isChecked();
    p.address = boxes_[1]->isChecked();
    p.phones = boxes_[2]->isChecked();
    p.codes = boxes_[3]->isChecked();
    p.comments = boxes_[4]->isChecked();
    return p;
}

void TCopyRecordToClipboard::OKButtonClick() {
    PutTextOnClipboard(GetRecordAsString(record_, Parts()));
    Inform(QStringLiteral("Record copied to Windows Clipboard"));
    accept();
}

void TCopyRecordToClipboard::CancelButtonClick() {
    reject();
}

void TCopyRecordToClipboard::HelpButtonClick() {
    RequestHelpTopic(HelpTopic::MainWindow);
}

} // namespace qb
