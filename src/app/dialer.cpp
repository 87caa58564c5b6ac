#include "app/dialer.h"

#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "storage/home.h"
#include "storage/settings.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QShowEvent>
#include <QVBoxLayout>

namespace qb {

namespace {

const QString kSection = QStringLiteral("Dialing");
constexpr int kWriteTimeoutMs = 5000;

int portIndex(TComPort port) {
    return static_cast<int>(port);
}

// Writes all of `bytes`; false when the device refuses them.
bool writeAll(QSerialPort& port, const QByteArray& bytes) {
    if (port.write(bytes) != bytes.size())
        return false;
    while (port.bytesToWrite() > 0)
        if (!port.waitForBytesWritten(kWriteTimeoutMs))
            return false;
    return true;
}

} // namespace

QString DialerDevicePath(TComPort port) {
    const int n = portIndex(port);
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(n);
    const QString path =
        Trim(IniFile().readString(kSection, QStringLiteral("Device%1").arg(n + 1), fallback));
    return path.isEmpty() ? fallback : path;
}

QString ComPortName(TComPort port) {
    return QStringLiteral("COM%1").arg(portIndex(port) + 1);
}

QByteArray DialCommand(const QString& number, TMethod method) {
    QByteArray command = "ATDT" + number.toLatin1() + "\r\n";
    if (method == TMethod::dmPulse)
        command[3] = 'P';
    return command;
}

bool TDialer::Dial() {
    if (Confirm && !qb::Confirm(QStringLiteral("About to dial the number ") + NumberToDial +
                                    QStringLiteral(". Are you sure?"),
                                QStringLiteral("Dial")))
        return false;
    const QString name = ComPortName(ComPort);
    QSerialPort port;
    port.setPortName(DialerDevicePath(ComPort));
    // QSerialPort opens the device exclusively; an absent or busy device fails.
    if (!port.open(QIODevice::WriteOnly)) {
        Warn(QStringLiteral("Unable to open ") + name, QStringLiteral("Error"));
        return false;
    }
    const bool sent = writeAll(port, DialCommand(NumberToDial, Method));
    if (sent) {
        Inform(QStringLiteral("Pick up phone"));
        // Hang the modem up: the handset keeps the line.
        writeAll(port, QByteArrayLiteral("ATH\r\n"));
    } else {
        Warn(QStringLiteral("Unable to dial number"), QStringLiteral("Error"));
    }
    port.close();
    return sent;
}

// ---- the dialog ----------------------------------------------------------------

TQBDialer::TQBDialer(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dial Phone Number"));
    setModal(true);
    dialer_.Confirm = false;

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    number_ = new QLineEdit(this);
    prefix_ = new QLineEdit(this);
    form->addRow(QStringLiteral("Number to Dial"), number_);
    form->addRow(QStringLiteral("Prefix"), prefix_);
    layout->addLayout(form);

    auto* choices = new QHBoxLayout;
    auto* portBox = new QGroupBox(QStringLiteral("Port"), this);
    auto* portLayout = new QVBoxLayout(portBox);
    ports_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QRadioButton(QStringLiteral("COM %1").arg(i + 1), portBox);
        ports_->addButton(b, i);
        portLayout->addWidget(b);
    }
    ports_->button(0)->setChecked(true);
    auto* methodBox = new QGroupBox(QStringLiteral("Method"), this);
    auto* methodLayout = new QVBoxLayout(methodBox);
    methods_ = new QButtonGroup(this);
    const QString methodCaptions[] = {QStringLiteral("Tone"), QStringLiteral("Pulse")};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(methodCaptions[i], methodBox);
        methods_->addButton(b, i);
        methodLayout->addWidget(b);
    }
    methods_->button(0)->setChecked(true);
    choices->addWidget(portBox);
    choices->addWidget(methodBox);
    layout->addLayout(choices);

    // Kept with the settings, never sent.
    initLabel_ = new QLabel(QStringLiteral("Modem Initialization String"), this);
    init_ = new QLineEdit(this);
    initLabel_->hide();
    init_->hide();
    layout->addWidget(initLabel_);
    layout->addWidget(init_);

    auto* buttons = new QHBoxLayout;
    auto* dial = new QPushButton(QStringLiteral("Dial"), this);
    help_ = new QPushButton(QStringLiteral("Help"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    dial->setDefault(true);
    buttons->addWidget(dial);
    buttons->addWidget(help_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(dial, &QPushButton::clicked, this, &TQBDialer::DialButtonClick);
    connect(help_, &QPushButton::clicked, this, &TQBDialer::HelpButtonClick);
    connect(cancel, &QPushButton::clicked, this, &TQBDialer::CancelButtonClick);
}

void TQBDialer::SetNumber(const QString& number) {
    number_->setText(number);
}

QRadioButton* TQBDialer::PortButton(int index) const {
    return qobject_cast<QRadioButton*>(ports_->button(index));
}

QRadioButton* TQBDialer::MethodButton(int index) const {
    return qobject_cast<QRadioButton*>(methods_->button(index));
}

void TQBDialer::FormActivate() {
    if (!firstActivate_)
        return;
    firstActivate_ = false;
    const IniFile ini;
    prefix_->setText(ini.readString(kSection, QStringLiteral("Prefix")));
    init_->setText(ini.readString(kSection, QStringLiteral("Init")));
    const int port = ini.readInteger(kSection, QStringLiteral("Port"), 0);
    const int method = ini.readInteger(kSection, QStringLiteral("Method"), 0);
    // A value out of range (edited by hand) falls back to the first choice.
    ports_->button(port >= 0 && port < 4 ? port : 0)->setChecked(true);
    methods_->button(method == 1 ? 1 : 0)->setChecked(true);
}

void TQBDialer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

void TQBDialer::DialButtonClick() {
    help_->hide();
    const int port = std::max(0, ports_->checkedId());
    const int method = std::max(0, methods_->checkedId());
    IniFile ini;
    ini.writeStrings(kSection, {{QStringLiteral("Prefix"), prefix_->text()},
                                {QStringLiteral("Init"), init_->text()},
                                {QStringLiteral("Port"), QString::number(port)},
                                {QStringLiteral("Method"), QString::number(method)}});
    dialer_.NumberToDial = prefix_->text() + number_->text();
    dialer_.Method = method == 1 ? TMethod::dmPulse : TMethod::dmTone;
    dialer_.ComPort = static_cast<TComPort>(port);
    dialer_.Dial();
}

void TQBDialer::CancelButtonClick() {
    reject();
}

void TQBDialer::HelpButtonClick() {
    RequestHelpTopic(HelpTopic::MainWindow);
}

} // namespace qb
