// The phone dialer: sends a number to a modem on a serial port so that the
// user can pick up the handset and talk, and the dialog that asks for it.
//
// The four ports COM1 to COM4 stand for serial devices named in the settings
// file (section "Dialing", keys Device1 to Device4; /dev/ttyS0 to /dev/ttyS3
// when not set), so a USB modem or any other device can be chosen.
#pragma once

#include <QDialog>
#include <QString>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qb {

enum class TComPort { dpCOM1, dpCOM2, dpCOM3, dpCOM4 };
enum class TMethod { dmTone, dmPulse };

// The device a port stands for ("Dialing", "Device1" .. "Device4").
QString DialerDevicePath(TComPort port);
// The port's name as the user knows it: "COM1" .. "COM4".
QString ComPortName(TComPort port);
// The dial command for a number: "ATDT" (tone) or "ATDP" (pulse), the
// number exactly as given, CR LF.
QByteArray DialCommand(const QString& number, TMethod method);

class TDialer {
public:
    bool Confirm = true;
    QString NumberToDial;
    TComPort ComPort = TComPort::dpCOM1;
    TMethod Method = TMethod::dmTone;

    // Opens the port, sends the dial command, lets the user pick up the phone
    // and hangs the modem up. Returns true when the number was sent.
    bool Dial();
};

// The dialog "Dial Phone Number".
class TQBDialer : public QDialog {
    Q_OBJECT
public:
    explicit TQBDialer(QWidget* parent = nullptr);

    // The number the main window fills in (PHONE or PHONE2).
    void SetNumber(const QString& number);

    QLineEdit* NumberEdit() const { return number_; }
    QLineEdit* PrefixEdit() const { return prefix_; }
    QLineEdit* InitEdit() const { return init_; }
    QRadioButton* PortButton(int index) const;   // 0..3
    QRadioButton* MethodButton(int index) const; // 0 tone, 1 pulse
    QPushButton* HelpButton() const { return help_; }
    const TDialer& Dialer() const { return dialer_; }

    // Reads the settings into the controls (once, on the first activation).
    void FormActivate();

public slots:
    void DialButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDialer dialer_;
    bool firstActivate_ = true;
    QLineEdit* number_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLabel* initLabel_ = nullptr;
    QLineEdit* init_ = nullptr;
    QButtonGroup* ports_ = nullptr;
    QButtonGroup* methods_ = nullptr;
    QPushButton* help_ = nullptr;
};

} // namespace qb
