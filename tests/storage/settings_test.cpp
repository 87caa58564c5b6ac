#include "storage/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class SettingsFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("QUILLB.ini"); }
};

// A file as someone might edit it by hand on Windows.
const QByteArray kHandEdited = "; settings for the office copy\r\n"
                               "\r\n"
                               "[Dialing]\r\n"
                               "Prefix = 9,\r\n"
                               "Port=2\r\n"
                               "\r\n"
                               "[adding]\r\n"
                               "  plugdate  =  1  \r\n"
                               "; keep the country blank\r\n"
                               "DefaultCountry=\r\n"
                               "\r\n"
                               "[Other Program]\r\n"
                               "Key=value with = sign\r\n";

TEST_F(SettingsFile, ReadsHandEditedFile) {
    writeAll(path(), kHandEdited);
    qb::IniFile ini(path());
    EXPECT_EQ(ini.readString("dialing", "PREFIX", "x"), "9,");
    EXPECT_EQ(ini.readInteger("Dialing", "Port", 0), 2);
    EXPECT_TRUE(ini.readBool("Adding", "PlugDate", false));
    EXPECT_EQ(ini.readString("Adding", "DefaultCountry", "dflt"), "");
    EXPECT_EQ(ini.readString("Other Program", "Key"), "value with = sign");
    // A commented-out line is not a key.
    EXPECT_EQ(ini.readString("Adding", "; keep the country blank", "none"), "none");
    EXPECT_EQ(ini.sectionKeys("ADDING"), QStringList({"plugdate", "DefaultCountry"}));
    EXPECT_EQ(ini.sectionKeys("Missing"), QStringList());
}

TEST_F(SettingsFile, WritingKeepsEverythingElseByteForByte) {
    writeAll(path(), kHandEdited);
    qb::IniFile ini(path());
    ini.writeBool("Adding", "PlugDate", false);     // existing key, other case
    ini.writeString("Adding", "CarryZip", "1");     // new key in existing section
    ini.writeString("Misc", "GlobalTagId", "AB12"); // new section
    const QByteArray expected = "; settings for the office copy\r\n"
                                "\r\n"
                                "[Dialing]\r\n"
                                "Prefix = 9,\r\n"
                                "Port=2\r\n"
                                "\r\n"
                                "[adding]\r\n"
                                "PlugDate=0\r\n"
                                "; keep the country blank\r\n"
                                "DefaultCountry=\r\n"
                                "CarryZip=1\r\n"
                                "\r\n"
                                "[Other Program]\r\n"
                                "Key=value with = sign\r\n"
                                "\r\n"
                                "[Misc]\r\n"
                                "GlobalTagId=AB12\r\n";
    EXPECT_EQ(readAll(path()), expected);
    ini.eraseKey("adding", "carryzip");
    ini.eraseKey("Adding", "NoSuchKey");
    EXPECT_FALSE(readAll(path()).contains("CarryZip"));
    EXPECT_EQ(ini.readString("Misc", "GlobalTagId"), "AB12");
}

TEST_F(SettingsFile, LfFileAndLastLineWithoutNewline) {
    writeAll(path(), "[A]\nx=1");
    qb::IniFile ini(path());
    ini.writeString("A", "y", "2");
    ini.writeString("B", "z", "3");
    EXPECT_EQ(readAll(path()), QByteArray("[A]\nx=1\ny=2\n\n[B]\nz=3\n"));
}

TEST_F(SettingsFile, FirstSectionOfDuplicatesWinsAndWriteGoesThere) {
    writeAll(path(), "[S]\nk=first\n[s]\nk=second\n");
    qb::IniFile ini(path());
    EXPECT_EQ(ini.readString("S", "K"), "first");
    ini.writeString("s", "k", "new");
    EXPECT_EQ(readAll(path()), QByteArray("[S]\nk=new\n[s]\nk=second\n"));
}

TEST_F(SettingsFile, MissingOrUnreadableFileGivesDefaults) {
    qb::IniFile missing(dir.filePath("nowhere/QUILLB.ini"));
    EXPECT_EQ(missing.readString("Letter", "DefaultFontName", "Arial"), "Arial");
    EXPECT_EQ(missing.readInteger("Letter", "DefaultFontSize", 10), 10);
    EXPECT_TRUE(missing.readBool("Misc", "GettingStarted", true));
    // A write into a directory that does not exist fails silently.
    missing.writeString("A", "b", "c");
    EXPECT_FALSE(QFile::exists(missing.path()));

    // A directory where the file should be cannot be read either.
    ASSERT_TRUE(QDir(dir.path()).mkdir("QUILLB.ini"));
    qb::IniFile unreadable(path());
    EXPECT_EQ(unreadable.readInteger("Dialing", "Port", 3), 3);
    unreadable.writeString("Dialing", "Port", "1");
}

TEST_F(SettingsFile, ValueForms) {
    struct Case {
        QByteArray stored;
        bool asBoolDefaultTrue;
        bool asBoolDefaultFalse;
        int asIntDefault7;
    };
    const Case cases[] = {
        {"1", true, true, 1},      {"0", false, false, 0}, {"2", true, true, 2},
        {"-1", true, true, -1},    {" 5 ", true, true, 5}, {"yes", false, false, 7},
        {"true", false, false, 7}, {"", false, false, 7},  {"1x", false, false, 7},
        {"\"3\"", true, true, 3},
    };
    for (const Case& c : cases) {
        writeAll(path(), "[S]\nk=" + c.stored + "\n");
        qb::IniFile ini(path());
        SCOPED_TRACE(c.stored.constData());
        EXPECT_EQ(ini.readBool("S", "k", true), c.asBoolDefaultTrue);
        EXPECT_EQ(ini.readBool("S", "k", false), c.asBoolDefaultFalse);
        EXPECT_EQ(ini.readInteger("S", "k", 7), c.asIntDefault7);
    }
    // A missing key gives the default in every form.
    qb::IniFile ini(path());
    EXPECT_TRUE(ini.readBool("S", "absent", true));
    EXPECT_EQ(ini.readInteger("S", "absent", -4), -4);

    ini.writeBool("S", "b", true);
    ini.writeBool("S", "c", false);
    ini.writeInteger("S", "n", -12);
    ini.writeString("S", "t", QString::fromUtf8("Zürich"));
    EXPECT_TRUE(readAll(path()).contains("b=1\nc=0\nn=-12\n"));
    EXPECT_EQ(ini.readString("S", "t"), QString::fromUtf8("Zürich"));
}

TEST_F(SettingsFile, AnyTextReadsBackAsWritten) {
    qb::IniFile ini(path());
    struct Case {
        QString written;
        QString readBack;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"  leading and trailing  ", "  leading and trailing  "},
        {"\"quoted\"", "\"quoted\""},
        {"a = b ; c", "a = b ; c"},
        {"[Section]", "[Section]"},
        {"", ""},
        // A line break cannot be kept; it must not break the file either.
        {"/home/x/two\nlines.dbf", "/home/x/two lines.dbf"},
        {"crlf\r\n[Evil]\r\nk=v", "crlf [Evil] k=v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        ini.writeString("MRU", "Item1", c.written);
        ini.writeString("MRU", "Item2", "next");
        EXPECT_EQ(ini.readString("MRU", "Item1", "default"), c.readBack);
        EXPECT_EQ(ini.readString("MRU", "Item2"), "next");
        EXPECT_FALSE(ini.hasSection("Evil"));
    }
}

TEST_F(SettingsFile, WindowsAnsiTextIsReadAsLatin1) {
    writeAll(path(), "[Adding]\nDefaultCountry=\xC9"
                     "cosse\n");
    EXPECT_EQ(qb::IniFile(path()).readString("Adding", "DefaultCountry"),
              QString::fromUtf8("Écosse"));
}

TEST_F(SettingsFile, WriteIsAtomicAndLeavesNoTemporaryFile) {
    writeAll(path(), "[Keep]\nthis=1\n");
    qb::IniFile ini(path());
    ini.writeString("Misc", "GlobalTagId", "Q1");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"QUILLB.ini"}));
}

TEST_F(SettingsFile, FailedWriteLeavesTheFileIntact) {
    writeAll(path(), "[Keep]\nthis=1\n");
    qb::IniFile ini(path());
    ini.writeString("Misc", "GlobalTagId", "Q1");
    // With the directory read-only no temporary file can be made: the write
    // fails silently and the file is untouched (not truncated).
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: directory permissions are not enforced";
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    ini.writeString("Misc", "GlobalTagId", "Q2");
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readAll(path()), QByteArray("[Keep]\nthis=1\n\n[Misc]\nGlobalTagId=Q1\n"));
}

TEST_F(SettingsFile, FirstStartCreatesFileWithTagIdOnly) {
    // The main window's first read of the tag id writes it back at once.
    qb::IniFile ini(path());
    const QString id = ini.readString("Misc", "GlobalTagId", "K7Z");
    ini.writeString("Misc", "GlobalTagId", id);
    EXPECT_EQ(readAll(path()), QByteArray("[Misc]\nGlobalTagId=K7Z\n"));
}

TEST_F(SettingsFile, AddingOptionsRoundTripWithExactKeyNames) {
    writeAll(path(), "[Adding]\r\nSKIPFIRSTNAME=1\r\nskipcomments2=5\r\nDefaultCountry=Canada\r\n");
    qb::IniFile ini(path());
    qb::AddingOptions loaded = qb::AddingOptions::load(ini);
    EXPECT_TRUE(loaded.skipFirstName);
    EXPECT_TRUE(loaded.skipComments2);
    EXPECT_FALSE(loaded.plugDate);
    EXPECT_EQ(loaded.defaultCountry, "Canada");

    QDir(dir.path()).remove("QUILLB.ini");
    qb::AddingOptions o;
    o.plugCityState = true;
    o.carrySA2 = true;
    o.skipTitle = true;
    o.skipDate = true;
    o.defaultCountry = "USA";
    o.save(ini);
    const QStringList keys = ini.sectionKeys("Adding");
    EXPECT_EQ(keys.size(), 29);
    EXPECT_EQ(keys, qb::AddingKeyNames());
    for (const char* exact : {"SkipfirstName", "Skiptitle", "Skipcomments2", "CarrySA1",
                              "SkipMiddleInitial", "SkipEmail", "SkipComments1"})
        EXPECT_TRUE(keys.contains(QString::fromLatin1(exact), Qt::CaseSensitive)) << exact;
    EXPECT_TRUE(readAll(path()).contains("Skiptitle=1\n"));
    EXPECT_EQ(qb::AddingOptions::load(ini), o);
}

TEST_F(SettingsFile, ShortDateFormat) {
    EXPECT_EQ(qb::ShortDateFormat(qb::IniFile(path())), "mm/dd/yyyy");
    writeAll(path(), "[intl]\nsShortDate=\n");
    EXPECT_EQ(qb::ShortDateFormat(qb::IniFile(path())), "mm/dd/yyyy");
    writeAll(path(), "[INTL]\nsshortdate=dd.MM.yyyy\n");
    EXPECT_EQ(qb::ShortDateFormat(qb::IniFile(path())), "dd.MM.yyyy");
}

// ---- program home ------------------------------------------------------------

class EnvGuard {
public:
    explicit EnvGuard(const char* name)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {}
    ~EnvGuard() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    void set(const QByteArray& v) { qputenv(name_, v); }
    void unset() { qunsetenv(name_); }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST(ProgramHome, ResolutionOrder) {
    EnvGuard home("QUILLBURY_HOME"), xdg("XDG_DATA_HOME");
    home.set("/srv/qb-env");
    xdg.set("/srv/xdg");
    EXPECT_EQ(qb::ResolveHomeDirectory({"quillbury", "--home", "/tmp/a/../b"}), "/tmp/b/");
    EXPECT_EQ(qb::ResolveHomeDirectory({"quillbury", "--home=/tmp/c/"}), "/tmp/c/");
    // The program name is never taken for an option; a --home without a value is ignored.
    EXPECT_EQ(qb::ResolveHomeDirectory({"--home", "x"}), "/srv/qb-env/");
    EXPECT_EQ(qb::ResolveHomeDirectory({"quillbury", "--home"}), "/srv/qb-env/");
    EXPECT_EQ(qb::ResolveHomeDirectory({"quillbury"}), "/srv/qb-env/");
    home.unset();
    EXPECT_EQ(qb::ResolveHomeDirectory({"quillbury"}), "/srv/xdg/quillbury/");
    xdg.set("relative/dir");
    EXPECT_EQ(qb::ResolveHomeDirectory({}), QDir::homePath() + "/.local/share/quillbury/");
    xdg.unset();
    EXPECT_EQ(qb::ResolveHomeDirectory({}), QDir::homePath() + "/.local/share/quillbury/");
    // A relative --home is made absolute.
    EXPECT_EQ(qb::ResolveHomeDirectory({"q", "--home", "rel"}), QDir::currentPath() + "/rel/");
}

TEST(ProgramHome, IniFileNameFollowsTheHome) {
    QTemporaryDir dir;
    qb::SetProgramDirectory(dir.path());
    EXPECT_EQ(qb::ProgramDirectory(), dir.path() + "/");
    EXPECT_EQ(qb::IniFileName(), dir.path() + "/QUILLB.ini");
    EXPECT_EQ(qb::IniFile().path(), qb::IniFileName());
}

TEST(ProgramHome, CaseInsensitiveLookup) {
    QTemporaryDir dir;
    QDir d(dir.path());
    ASSERT_TRUE(d.mkpath("Data/Sub"));
    writeAll(d.filePath("Data/Sub/ClientS.DBF"), "x");
    writeAll(d.filePath("Data/clients.dbf"), "x");
    writeAll(d.filePath("Data/Clients.DBF"), "x");
    struct Case {
        const char* name;
        QString expected;
    };
    const Case cases[] = {
        {"DATA/CLIENTS.DBF", "Data/Clients.DBF"}, // first in name order
        {"data/clients.dbf", "Data/clients.dbf"}, // an exact match is preferred
        {"data/sub/clients.dbf", "Data/Sub/ClientS.DBF"},
        {"data\\SUB\\clients.DBF", "Data/Sub/ClientS.DBF"},
        {"data/other.dbf", ""},
        {"nodir/clients.dbf", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString found = qb::findFileCaseInsensitive(dir.path(), c.name);
        EXPECT_EQ(found, c.expected.isEmpty() ? QString() : d.filePath(c.expected));
    }
    // The directory given may end in '/' and is not itself matched.
    EXPECT_EQ(qb::findFileCaseInsensitive(dir.path() + "/", "DATA"), d.filePath("Data"));
}

} // namespace
