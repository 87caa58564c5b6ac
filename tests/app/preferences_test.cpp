#include "app/preferences.h"
#include "storage/settings.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class PreferencesDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qb::SetProgramDirectory(home.path());
    }
    QTemporaryDir home;

    // The check box captioned `caption` inside the group titled `group`.
    static QCheckBox* box(qb::TPreferences& dialog, const QString& group, const QString& caption) {
        for (QGroupBox* g : dialog.findChildren<QGroupBox*>()) {
            if (g->title() != group)
                continue;
            for (QCheckBox* b : g->findChildren<QCheckBox*>())
                if (b->text() == caption)
                    return b;
        }
        return nullptr;
    }
};

const char* const kAdding = " When adding new records";
const char* const kCarry = "Carry forward the following fields:";
const char* const kSkip = "Skip through the following fields:";

struct BoxCase {
    const char* group;
    const char* caption;
    const char* key;
};

// Every check box of the dialog with the key it stands for.
const BoxCase kBoxes[] = {
    {kAdding, "Enter today's date in the date field", "PlugDate"},
    {kAdding, "Automatically insert city and state/province", "PlugCityState"},
    {kAdding, "Automatically check for duplicate names", "AutoDupCheck"},
    {kCarry, "Organization", "CarryOrg"},
    {kCarry, "Address 1", "CarrySA1"},
    {kCarry, "Address 2", "CarrySA2"},
    {kCarry, "City", "CarryCity"},
    {kCarry, "State/Province", "CarryState"},
    {kCarry, "Zip/Postal Code", "CarryZip"},
    {kCarry, "Country", "CarryCountry"},
    {kSkip, "Last Name", "SkipLastName"},
    {kSkip, "First Name", "SkipfirstName"},
    {kSkip, "Middle Initial", "SkipMiddleInitial"},
    {kSkip, "Prefix", "SkipPrefix"},
    {kSkip, "Title", "Skiptitle"},
    {kSkip, "Organization", "SkipOrganization"},
    {kSkip, "Address 2", "SkipAddress2"},
    {kSkip, "State/Province", "SkipState"},
    {kSkip, "Zip/Postal Code", "SkipZip"},
    {kSkip, "Country", "SkipCountry"},
    {kSkip, "Phone #1", "SkipPhone1"},
    {kSkip, "Phone #2", "SkipPhone2"},
    {kSkip, "Fax", "SkipFax"},
    {kSkip, "E-Mail", "SkipEmail"},
    {kSkip, "Codes", "SkipCodes"},
    {kSkip, "Comments #1", "SkipComments1"},
    {kSkip, "Comments #2", "Skipcomments2"},
    {kSkip, "Date", "SkipDate"},
};

TEST_F(PreferencesDialog, EachBoxWritesItsOwnKey) {
    for (const BoxCase& c : kBoxes) {
        SCOPED_TRACE(c.key);
        QFile::remove(qb::IniFileName());
        qb::TPreferences dialog;
        QCheckBox* b = box(dialog, c.group, c.caption);
        ASSERT_NE(b, nullptr) << c.caption;
        b->setChecked(true);
        dialog.okButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);

        qb::IniFile ini;
        const QStringList keys = ini.sectionKeys("Adding");
        EXPECT_EQ(keys, qb::AddingKeyNames()); // all 29, exact spelling
        for (const QString& key : keys) {
            if (key == "DefaultCountry")
                EXPECT_EQ(ini.readString("Adding", key, "x"), "");
            else
                EXPECT_EQ(ini.readString("Adding", key), key == c.key ? "1" : "0")
                    << key.toStdString();
        }
    }
}

TEST_F(PreferencesDialog, ControlsStartFromTheFile) {
    writeAll(qb::IniFileName(), "[adding]\r\nskiptitle=1\r\nCarrySA2=7\r\nPlugDate=yes\r\n"
                                "DefaultCountry=Canada\r\n");
    qb::TPreferences dialog;
    EXPECT_EQ(dialog.windowTitle(), "Preferences");
    for (const BoxCase& c : kBoxes) {
        const bool expected = QString(c.key) == "Skiptitle" || QString(c.key) == "CarrySA2";
        EXPECT_EQ(box(dialog, c.group, c.caption)->isChecked(), expected) << c.key;
    }
    EXPECT_EQ(dialog.defaultCountryEdit()->text(), "Canada");
    EXPECT_EQ(dialog.defaultCountryEdit()->maxLength(), 30);
}

TEST_F(PreferencesDialog, OkKeepsTheRestOfTheFile) {
    const QByteArray before = "; my settings\r\n[Misc]\r\nGlobalTagId=AB1\r\n\r\n"
                              "[Adding]\r\nSkipFax=1\r\n\r\n[Dialing]\r\nPort=2\r\n";
    writeAll(qb::IniFileName(), before);
    qb::TPreferences dialog;
    dialog.defaultCountryEdit()->setText("USA");
    box(dialog, kSkip, "Fax")->setChecked(false);
    box(dialog, kCarry, "City")->setChecked(true);
    dialog.OKButtonClick();

    const QByteArray after = readAll(qb::IniFileName());
    EXPECT_TRUE(after.startsWith("; my settings\r\n[Misc]\r\nGlobalTagId=AB1\r\n\r\n[Adding]\r\n"
                                 "SkipFax=0\r\n"));
    EXPECT_TRUE(after.endsWith("\r\n\r\n[Dialing]\r\nPort=2\r\n"));
    const qb::AddingOptions o = qb::AddingOptions::load();
    EXPECT_TRUE(o.carryCity);
    EXPECT_FALSE(o.skipFax);
    EXPECT_EQ(o.defaultCountry, "USA");
}

TEST_F(PreferencesDialog, CancelWritesNothing) {
    const QByteArray before = "[Adding]\nPlugDate=1\n";
    writeAll(qb::IniFileName(), before);
    {
        qb::TPreferences dialog;
        for (QCheckBox* b : dialog.findChildren<QCheckBox*>())
            b->toggle();
        dialog.defaultCountryEdit()->setText("France");
        dialog.cancelButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(readAll(qb::IniFileName()), before);

    // And with no settings file at all, none is made.
    QFile::remove(qb::IniFileName());
    qb::TPreferences dialog;
    dialog.CancelButtonClick();
    EXPECT_FALSE(QFile::exists(qb::IniFileName()));
}

TEST_F(PreferencesDialog, LongCountryIsCutToThirtyCharacters) {
    writeAll(qb::IniFileName(), "[Adding]\nDefaultCountry=" + QByteArray(40, 'x') + "\n");
    qb::TPreferences dialog;
    EXPECT_EQ(dialog.defaultCountryEdit()->text(), QString(30, 'x'));
}

} // namespace
