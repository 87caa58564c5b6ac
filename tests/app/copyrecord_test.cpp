// The record text put on the clipboard and its dialog.
#include "app/copyrecord.h"
#include "app/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>

#include <gtest/gtest.h>

using namespace qb;

namespace {

AddressRecord drAnnLee() {
    AddressRecord r;
    r.prefix = QStringLiteral("Dr.");
    r.fname = QStringLiteral("Ann");
    r.middle = QStringLiteral("b");
    r.lname = QStringLiteral("Lee");
    r.org = QStringLiteral("Acme");
    r.city = QStringLiteral("Boston");
    r.state = QStringLiteral("MA");
    r.zip = QStringLiteral("02110");
    return r;
}

RecordTextParts only(bool name, bool address, bool phones, bool codes, bool comments) {
    return RecordTextParts{name, address, phones, codes, comments};
}

} // namespace

TEST(RecordText, NameAndAddressLinesSkipEmptyFields) {
    EXPECT_EQ(GetRecordAsString(drAnnLee(), only(true, true, false, false, false)),
              QStringLiteral("Dr. Ann b. Lee \r\nAcme\r\nBoston  MA 02110\r\n"));
}

TEST(RecordText, EachPartAndItsLines) {
    AddressRecord r = drAnnLee();
    r.title = QStringLiteral("Director");
    r.street = QStringLiteral("1 Main St");
    r.street2 = QStringLiteral("Suite 4");
    r.country = QStringLiteral("USA");
    r.phone = QStringLiteral("555-1234");
    r.phone2 = QStringLiteral("555-9876");
    r.codes = QStringLiteral("VIP");
    r.user1 = QStringLiteral("first");
    r.user2 = QStringLiteral("second");
    struct Case {
        RecordTextParts parts;
        const char* text;
    } cases[] = {
        {only(true, false, false, false, false), "Dr. Ann b. Lee \r\nDirector\r\nAcme\r\n"},
        {only(false, true, false, false, false),
         "1 Main St\r\nSuite 4\r\nBoston  MA 02110\r\nUSA \r\n"},
        {only(false, false, true, false, false), "Phone  :555-1234\r\nPhone 2:555-9876\r\n"},
        {only(false, false, false, true, false), "Codes :VIP\r\n"},
        {only(false, false, false, false, true), "Comment 1 :first\r\nComment 2 :second\r\n"},
        {only(false, false, false, false, false), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetRecordAsString(r, c.parts), QString::fromLatin1(c.text));
}

TEST(RecordText, PartlyEmptyNamesAndPlaces) {
    struct Case {
        const char *prefix, *fname, *middle, *lname, *city, *state, *zip, *text;
    } cases[] = {
        // A middle name of blanks gets no period.
        {"", "Ann", "  ", "Lee", "", "", "", "Ann Lee \r\n"},
        {"", "", "", "Lee", "Boston", "", "", "Lee \r\nBoston  \r\n"},
        {"", "", "", "", "", "MA", "02110", " MA 02110\r\n"},
        // Nothing at all in city, state and zip leaves no line of blanks.
        {"", "", "", "", "", "", "", ""},
    };
    for (const Case& c : cases) {
        AddressRecord r;
        r.prefix = QString::fromLatin1(c.prefix);
        r.fname = QString::fromLatin1(c.fname);
        r.middle = QString::fromLatin1(c.middle);
        r.lname = QString::fromLatin1(c.lname);
        r.city = QString::fromLatin1(c.city);
        r.state = QString::fromLatin1(c.state);
        r.zip = QString::fromLatin1(c.zip);
        EXPECT_EQ(GetRecordAsString(r, only(true, true, false, false, false)),
                  QString::fromLatin1(c.text))
            << c.text;
    }
}

TEST(RecordText, LimitedToAThousandCharacters) {
    AddressRecord r;
    r.user1 = QString(600, QLatin1Char('a'));
    r.user2 = QString(600, QLatin1Char('b'));
    const QString text = GetRecordAsString(r, RecordTextParts{});
    ASSERT_EQ(text.size(), MaxRecordTextLength);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Comment 1 :aaa")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("bbb")));
}

TEST(CopyRecordDialog, OkPutsTheChosenPartsOnTheClipboardAndSaysSo) {
    MessageScript messages;
    AddressRecord r = drAnnLee();
    r.phone = QStringLiteral("555-1234");
    TCopyRecordToClipboard dialog(r);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Copy Record To Clipboard"));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(dialog.Box(i)->isChecked()) << i;
    EXPECT_EQ(dialog.Box(4)->text(), QStringLiteral("Comments 1 && 2"));
    dialog.Box(2)->setChecked(false);
    QApplication::clipboard()->setText(QStringLiteral("old"));
    dialog.OKButtonClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("Dr. Ann b. Lee \r\nAcme\r\nBoston  MA 02110\r\n"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Record copied to Windows Clipboard")});
}

TEST(CopyRecordDialog, CancelLeavesTheClipboardAlone) {
    MessageScript messages;
    TCopyRecordToClipboard dialog(drAnnLee());
    QApplication::clipboard()->setText(QStringLiteral("old"));
    dialog.CancelButtonClick();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("old"));
    EXPECT_TRUE(messages.shown.empty());
}
