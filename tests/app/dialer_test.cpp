// The phone dialer against a pseudo-terminal standing in for the modem.
#include "app/dialer.h"
#include "app/messages.h"
#include "storage/settings.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace qb;

namespace {

// A pseudo-terminal whose slave side is the "modem" device and whose master
// side the test reads.
class FakeModem {
public:
    FakeModem() {
        char name[256] = {};
        int slave = -1;
        if (openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            return;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        ::close(slave); // the dialer opens it by name
        path_ = QString::fromLocal8Bit(name);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~FakeModem() {
        if (master_ >= 0)
            ::close(master_);
    }
    bool ok() const { return master_ >= 0 && !path_.isEmpty(); }
    const QString& path() const { return path_; }
    // Everything the dialer wrote so far.
    QByteArray received() {
        QByteArray out;
        char buf[256];
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0)
                break;
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, int(n));
        }
        return out;
    }

private:
    int master_ = -1;
    QString path_;
};

class DialerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        previousHome = ProgramDirectory();
        SetProgramDirectory(home.path());
        ASSERT_TRUE(modem.ok());
    }
    void TearDown() override { SetProgramDirectory(previousHome); }
    // Makes COM<n> the fake modem.
    void plugInto(int n) {
        IniFile().writeString(QStringLiteral("Dialing"), QStringLiteral("Device%1").arg(n),
                              modem.path());
    }

    QTemporaryDir home;
    QString previousHome;
    FakeModem modem;
    MessageScript messages;
};

} // namespace

TEST(DialCommand, ToneOrPulseAndTheNumberAsTyped) {
    struct Case {
        const char* number;
        TMethod method;
        const char* bytes;
    } cases[] = {
        {"9,555 1234", TMethod::dmTone, "ATDT9,555 1234\r\n"},
        {"(617) 555-0100", TMethod::dmPulse, "ATDP(617) 555-0100\r\n"},
        {"", TMethod::dmTone, "ATDT\r\n"},
        {"", TMethod::dmPulse, "ATDP\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DialCommand(QString::fromLatin1(c.number), c.method), QByteArray(c.bytes));
}

TEST_F(DialerTest, PortsStandForTheConfiguredDevices) {
    EXPECT_EQ(DialerDevicePath(TComPort::dpCOM1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(DialerDevicePath(TComPort::dpCOM4), QStringLiteral("/dev/ttyS3"));
    plugInto(3);
    EXPECT_EQ(DialerDevicePath(TComPort::dpCOM3), modem.path());
    EXPECT_EQ(ComPortName(TComPort::dpCOM3), QStringLiteral("COM3"));
}

TEST_F(DialerTest, DialSendsTheCommandThenHangsUpAfterPickUp) {
    plugInto(2);
    TDialer dialer;
    dialer.Confirm = false;
    dialer.ComPort = TComPort::dpCOM2;
    dialer.NumberToDial = QStringLiteral("9,555 1234");
    EXPECT_TRUE(dialer.Dial());
    EXPECT_EQ(modem.received(), QByteArray("ATDT9,555 1234\r\nATH\r\n"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Pick up phone")});
}

TEST_F(DialerTest, ConfirmNoDialsNothing) {
    plugInto(1);
    TDialer dialer;
    dialer.NumberToDial = QStringLiteral("555 1234");
    messages.answer(false);
    EXPECT_FALSE(dialer.Dial());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("About to dial the number 555 1234. Are you sure?"));
    EXPECT_TRUE(modem.received().isEmpty());
}

TEST_F(DialerTest, MissingOrBusyPortIsReportedAndNothingIsWritten) {
    IniFile().writeString(QStringLiteral("Dialing"), QStringLiteral("Device3"),
                          home.filePath(QStringLiteral("no-such-device")));
    TDialer dialer;
    dialer.Confirm = false;
    dialer.ComPort = TComPort::dpCOM3;
    EXPECT_FALSE(dialer.Dial());
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Unable to open COM3")});

    // Busy: another program holds the modem.
    plugInto(1);
    QSerialPort holder;
    holder.setPortName(modem.path());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    messages.clear();
    dialer.ComPort = TComPort::dpCOM1;
    EXPECT_FALSE(dialer.Dial());
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Unable to open COM1")});
    holder.close();
    EXPECT_TRUE(modem.received().isEmpty());
}

TEST_F(DialerTest, DialogReadsSettingsOnceAndWritesThemOnEveryDial) {
    IniFile ini;
    ini.writeString(QStringLiteral("Dialing"), QStringLiteral("Prefix"), QStringLiteral("9,"));
    ini.writeString(QStringLiteral("Dialing"), QStringLiteral("Init"), QStringLiteral("AT&F"));
    ini.writeInteger(QStringLiteral("Dialing"), QStringLiteral("Port"), 1);
    ini.writeInteger(QStringLiteral("Dialing"), QStringLiteral("Method"), 0);
    plugInto(2);

    TQBDialer dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Dial Phone Number"));
    dialog.SetNumber(QStringLiteral("555 1234"));
    dialog.show();
    EXPECT_EQ(dialog.PrefixEdit()->text(), QStringLiteral("9,"));
    EXPECT_EQ(dialog.InitEdit()->text(), QStringLiteral("AT&F"));
    EXPECT_FALSE(dialog.InitEdit()->isVisible());
    EXPECT_TRUE(dialog.PortButton(1)->isChecked());
    EXPECT_TRUE(dialog.MethodButton(0)->isChecked());
    EXPECT_TRUE(dialog.HelpButton()->isVisible());

    dialog.DialButtonClick();
    EXPECT_EQ(modem.received(), QByteArray("ATDT9,555 1234\r\nATH\r\n"));
    EXPECT_FALSE(dialog.HelpButton()->isVisible());
    EXPECT_TRUE(dialog.isVisible()); // open for another try

    // Pulse this time, and a changed prefix: both dialled and remembered.
    dialog.MethodButton(1)->setChecked(true);
    dialog.PrefixEdit()->setText(QString());
    dialog.DialButtonClick();
    EXPECT_EQ(modem.received(), QByteArray("ATDP555 1234\r\nATH\r\n"));
    const IniFile after;
    EXPECT_EQ(after.readString(QStringLiteral("Dialing"), QStringLiteral("Prefix")), QString());
    EXPECT_EQ(after.readString(QStringLiteral("Dialing"), QStringLiteral("Init")),
              QStringLiteral("AT&F"));
    EXPECT_EQ(after.readInteger(QStringLiteral("Dialing"), QStringLiteral("Port"), -1), 1);
    EXPECT_EQ(after.readInteger(QStringLiteral("Dialing"), QStringLiteral("Method"), -1), 1);

    // A second showing does not read the settings over the user's choices.
    IniFile().writeString(QStringLiteral("Dialing"), QStringLiteral("Prefix"),
                          QStringLiteral("8,"));
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.PrefixEdit()->text(), QString());
    dialog.CancelButtonClick();
    EXPECT_FALSE(dialog.isVisible());
}
