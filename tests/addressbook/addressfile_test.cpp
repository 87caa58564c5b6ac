// Creating, opening and checking address files, and the address dataset's
// calculated fields over real files (including one written by another engine).
#include "addressbook/addressfile.h"
#include "addressbook/dates.h"
#include "addressbook/tagid.h"
#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/reindex.h"
#include "xbase/table.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qb;

namespace {

QString peerDir() {
    const QString shared = qEnvironmentVariable("QB_SHARED_DIR", QStringLiteral("/work/shared"));
    return shared + QStringLiteral("/fixtures/peer/");
}

// Copies a peer table (DBF, CDX and FPT when present) into `dir`.
bool copyPeer(const QString& base, const QString& dir) {
    bool any = false;
    for (const char* ext : {".DBF", ".CDX", ".FPT"}) {
        const QString from = peerDir() + base + QLatin1String(ext);
        if (!QFile::exists(from))
            continue;
        const QString to = dir + QLatin1Char('/') + base + QLatin1String(ext);
        if (!QFile::copy(from, to))
            return false;
        QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner);
        any = true;
    }
    return any;
}

// Runs a Perl one-liner with XBase; empty optional when Perl or XBase is missing.
std::optional<QString> perl(const QString& script) {
    if (QStandardPaths::findExecutable(QStringLiteral("perl")).isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(QStringLiteral("perl"), {QStringLiteral("-MXBase"), QStringLiteral("-MXBase::Index"),
                                     QStringLiteral("-e"), script});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

struct TagScope {
    explicit TagScope(const QString& id) : old(GlobalTagId()) { SetGlobalTagId(id); }
    ~TagScope() { SetGlobalTagId(old); }
    QString old;
};

struct DateFormatScope {
    explicit DateFormatScope(const QString& f) { SetDisplayDateFormat(f); }
    ~DateFormatScope() { SetDisplayDateFormat(QString()); }
};

class AddressFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString file(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    QTemporaryDir dir;
    MessageScript messages;
};

} // namespace

TEST_F(AddressFileTest, CreatedFileHasTheFieldsAndTagsInOrder) {
    TableDataset spare;
    const QString path = file(QStringLiteral("ADD0001.DBF"));
    ASSERT_TRUE(CreateAddressFile(path, spare));
    EXPECT_TRUE(messages.shown.empty()) << messages.texts().join('|').toStdString();
    EXPECT_FALSE(spare.isOpen());

    auto t = xbase::Table::open(path.toStdString());
    const auto& fields = t->fields();
    const auto& defs = AddressFile::Fields();
    ASSERT_EQ(fields.size(), 23u);
    for (size_t i = 0; i < defs.size(); ++i) {
        EXPECT_EQ(fields[i].name, defs[i].name);
        EXPECT_EQ(fields[i].type, defs[i].type) << defs[i].name;
        EXPECT_EQ(fields[i].width, defs[i].width) << defs[i].name;
        EXPECT_EQ(fields[i].decimals, 0) << defs[i].name;
    }
    EXPECT_EQ(t->recCount(), 0u);
    ASSERT_EQ(t->tagCount(), 26);
    const auto& tags = AddressFile::Tags();
    for (int i = 1; i <= 26; ++i) {
        const xbase::TagInfo info = t->tagInfo(i);
        EXPECT_EQ(info.name, tags[i - 1].name);
        EXPECT_EQ(info.keyExpr, tags[i - 1].keyExpr);
        EXPECT_TRUE(info.forExpr.empty());
        EXPECT_FALSE(info.descending);
        EXPECT_FALSE(info.unique);
    }
    t->close();

    // A second engine reads the same structure and tags.
    const auto fieldList =
        perl(QStringLiteral(
                 "my $t = XBase->new('%1') or die; print join(',', map { "
                 "$_ . ':' . $t->field_type($_) . ':' . $t->field_length($_) } $t->field_names), "
                 "'|', $t->last_record + 1;")
                 .arg(path));
    const auto tagList = perl(
        QStringLiteral(
            "my $i = XBase::Index->new('%1', type => 'char') or die; print join(',', $i->tags);")
            .arg(file(QStringLiteral("ADD0001.CDX"))));
    if (!fieldList || !tagList)
        GTEST_SKIP() << "perl with XBase not available";
    QStringList expected;
    for (const auto& d : defs)
        expected << QStringLiteral("%1:%2:%3")
                        .arg(QLatin1String(d.name))
                        .arg(QChar(d.type))
                        .arg(d.width);
    EXPECT_EQ(*fieldList, expected.join(',') + QStringLiteral("|0"));
    QStringList names = AddressFile::CheckedTagNames();
    names.sort();
    EXPECT_EQ(*tagList, names.join(','));
}

TEST_F(AddressFileTest, CreationFailuresAreTold) {
    TableDataset spare;
    const QString path = file(QStringLiteral("ADD0001.DBF"));
    ASSERT_TRUE(CreateAddressFile(path, spare));
    messages.clear();
    // An existing file is never replaced.
    EXPECT_FALSE(CreateAddressFile(path, spare));
    EXPECT_EQ(messages.texts(), QStringList({"Create failed"}));
    messages.clear();
    EXPECT_FALSE(CreateAddressFile(file(QStringLiteral("nodir/ADD0002.DBF")), spare));
    EXPECT_EQ(messages.texts(), QStringList({"Create failed"}));
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("nodir/ADD0002.DBF"))));
}

TEST_F(AddressFileTest, OpenTableFileTellsOnlyAMissingFile) {
    TableDataset table;
    const QString missing = file(QStringLiteral("NOPE.DBF"));
    EXPECT_FALSE(OpenTableFile(missing, table));
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("File ") + missing + " not found"}));
    EXPECT_FALSE(table.isOpen());

    messages.clear();
    QFile junk(file(QStringLiteral("JUNK.DBF")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a table at all");
    junk.close();
    EXPECT_FALSE(OpenTableFile(junk.fileName(), table));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(table.isOpen());

    ASSERT_TRUE(copyPeer(QStringLiteral("ADDREMPT"), dir.path()));
    // The name's letter case need not match the file's.
    EXPECT_TRUE(OpenTableFile(file(QStringLiteral("addrempt.dbf")), table));
    EXPECT_EQ(table.directory(), dir.path() + QLatin1Char('/'));
    EXPECT_EQ(table.tableName(), QStringLiteral("ADDREMPT.DBF"));
    EXPECT_EQ(table.order(), QString()); // no index order selected
}

TEST_F(AddressFileTest, IndexCheckNeedsAllTwentySixTags) {
    ASSERT_TRUE(copyPeer(QStringLiteral("ADDREMPT"), dir.path()));
    TableDataset table;
    ASSERT_TRUE(OpenTableFile(file(QStringLiteral("ADDREMPT.DBF")), table));
    EXPECT_TRUE(CheckValidIndex(table));

    // Rebuild the index by hand with every tag but one: each missing tag alone fails the check.
    for (const QString& left :
         {QStringLiteral("TAG"), QStringLiteral("NAME"), QStringLiteral("NOTISDEL")}) {
        SCOPED_TRACE(left.toStdString());
        xbase::Table* t = table.engine();
        t->deleteIndexFile();
        for (const auto& tag : AddressFile::Tags())
            if (left != QLatin1String(tag.name))
                t->createTag(tag.name, tag.keyExpr);
        EXPECT_FALSE(CheckValidIndex(table));
        table.close();
        ASSERT_TRUE(OpenTableFile(file(QStringLiteral("ADDREMPT.DBF")), table));
        EXPECT_FALSE(CheckValidIndex(table));
    }
    // No index file at all.
    table.engine()->deleteIndexFile();
    EXPECT_FALSE(CheckValidIndex(table));
    ASSERT_TRUE(CreateAddressIndexes(table));
    EXPECT_TRUE(CheckValidIndex(table));
    TableDataset closed;
    EXPECT_FALSE(CheckValidIndex(closed));
}

TEST_F(AddressFileTest, AnIndexLeftOpenForWritingIsInvalid) {
    ASSERT_TRUE(copyPeer(QStringLiteral("ADDREMPT"), dir.path()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("crash")));
    {
        // A writer that never closes: its files as they stand after a change.
        auto t = xbase::Table::open(file(QStringLiteral("ADDREMPT.DBF")).toStdString());
        t->appendBlank();
        t->putString(t->fieldIndex("LNAME"), "Smith");
        t->commit();
        for (const char* ext : {".DBF", ".CDX", ".FPT"})
            ASSERT_TRUE(QFile::copy(file(QStringLiteral("ADDREMPT") + QLatin1String(ext)),
                                    file(QStringLiteral("crash/ADDREMPT") + QLatin1String(ext))));
        t->close();
    }
    TableDataset table;
    ASSERT_TRUE(OpenTableFile(file(QStringLiteral("crash/ADDREMPT.DBF")), table));
    EXPECT_EQ(table.engine()->tagCount(), 26);
    EXPECT_FALSE(CheckValidIndex(table));
    ASSERT_TRUE(CreateAddressIndexes(table));
    EXPECT_TRUE(CheckValidIndex(table));
    // The writer that closed properly left a sound index.
    ASSERT_TRUE(OpenTableFile(file(QStringLiteral("ADDREMPT.DBF")), table));
    EXPECT_TRUE(CheckValidIndex(table));
}

TEST_F(AddressFileTest, DatasetShowsTheAddressFieldsInItsOrder) {
    TableDataset table;
    AddressFile::Configure(table);
    ASSERT_TRUE(CreateAddressFile(file(QStringLiteral("A.DBF")), table));
    ASSERT_TRUE(OpenTableFile(file(QStringLiteral("A.DBF")), table));
    EXPECT_EQ(table.fieldNames(), AddressFile::DatasetFieldOrder());
    const struct {
        const char* name;
        const char* label;
        int width;
        bool visible;
    } cases[] = {
        {"LNAME", "Last Name", 20, true},
        {"ZIP", "Zip/Postal Code", 10, true},
        {"DATE", "Actual Date", 0, false},
        {"ISDEL", "Deleted", 0, false},
        {"TAG", "TAG", 0, false},
        {"MEMO", "MEMO", 0, false},
        {"Tagged", "Tagged", 0, true},
        {"FullName", "Full Name", 0, false},
        {"CityStateZip", "City, State & Zip", 0, false},
        {"DisplayDate", "Date", 0, true},
    };
    for (const auto& c : cases) {
        const DatasetField& f = table.field(QLatin1String(c.name));
        EXPECT_EQ(f.displayLabel, QLatin1String(c.label)) << c.name;
        EXPECT_EQ(f.displayWidth, c.width) << c.name;
        EXPECT_EQ(f.visible, c.visible) << c.name;
    }
    EXPECT_EQ(table.field(QStringLiteral("FullName")).size, 35);
    EXPECT_EQ(table.field(QStringLiteral("DisplayDate")).size, 12);
    EXPECT_EQ(AddressFile::StoredFieldsInDatasetOrder().size(), 23);
    EXPECT_EQ(AddressFile::StoredFieldsInDatasetOrder().first(), QStringLiteral("LNAME"));
    EXPECT_EQ(AddressFile::StoredFieldsInDatasetOrder().last(), QStringLiteral("TAG"));
}

TEST_F(AddressFileTest, CalculatedFieldsOverAPeerFile) {
    ASSERT_TRUE(copyPeer(QStringLiteral("ADDRPEER"), dir.path()));
    TagScope tagScope(QStringLiteral("V72WSZ1"));
    DateFormatScope formatScope(QStringLiteral("mm/dd/yyyy"));
    TableDataset table;
    AddressFile::Configure(table);
    table.setShowDeleted(true);
    ASSERT_TRUE(OpenTableFile(file(QStringLiteral("ADDRPEER.DBF")), table));

    const struct {
        uint32_t recno;
        const char* displayDate;
        bool tagged;
    } dates[] = {
        {1, "", false},                                    // all blank
        {2, "04/20/2003", false}, {6, "08/13/2020", true}, // TAG 'V72WSZ1'
        {10, "", false},                                   // 19970431
        {11, "", false},                                   // ABCDEFGH
    };
    for (const auto& c : dates) {
        ASSERT_TRUE(table.gotoRecno(c.recno));
        EXPECT_EQ(table.asString(QStringLiteral("DisplayDate")), QLatin1String(c.displayDate))
            << c.recno;
        EXPECT_EQ(table.asBool(QStringLiteral("Tagged")), c.tagged) << c.recno;
    }

    // The extra fields cost nothing until they are switched on.
    ASSERT_TRUE(table.gotoRecno(4));
    EXPECT_FALSE(AddressFile::ExtraFieldsOn(table));
    EXPECT_EQ(table.asString(QStringLiteral("FullName")), QString());
    AddressFile::SetExtraFields(table, true);
    EXPECT_TRUE(AddressFile::ExtraFieldsOn(table));
    EXPECT_TRUE(table.field(QStringLiteral("CityStateZip")).visible);
    EXPECT_EQ(table.asString(QStringLiteral("FullName")), QStringLiteral("john T smith"));
    EXPECT_EQ(table.asString(QStringLiteral("CityStateZip")),
              QStringLiteral("Springfield IL 62701"));

    ASSERT_TRUE(table.gotoRecno(9)); // Windows-1252 text
    EXPECT_EQ(table.asString(QStringLiteral("FullNameWithPrefix")),
              QStringLiteral("Prof. J\u00fcrgen M\u00fcller"));

    // While editing, the values follow the buffer.
    ASSERT_TRUE(table.gotoRecno(1));
    table.setString(QStringLiteral("LNAME"), QStringLiteral("Smith"));
    EXPECT_EQ(table.asString(QStringLiteral("FullName")), QStringLiteral(" Smith"));
    EXPECT_EQ(table.asString(QStringLiteral("FullNameWithPrefix")), QStringLiteral(" Smith"));
    table.setString(QStringLiteral("TAG"), QStringLiteral("V72WSZ1"));
    EXPECT_TRUE(table.asBool(QStringLiteral("Tagged")));
    table.setString(QStringLiteral("TAG"), QStringLiteral("v72wsz1")); // case counts
    EXPECT_FALSE(table.asBool(QStringLiteral("Tagged")));
    table.cancel();

    AddressFile::SetExtraFields(table, false);
    EXPECT_EQ(table.asString(QStringLiteral("FullName")), QString());

    // Clearing tags replaces the id: nothing is tagged, no TAG value changes.
    SetGlobalTagId(NewTagId(QDateTime(QDate(2030, 1, 1), QTime(0, 0, 1))));
    ASSERT_TRUE(table.gotoRecno(6));
    EXPECT_FALSE(table.asBool(QStringLiteral("Tagged")));
    EXPECT_EQ(table.asString(QStringLiteral("TAG")), QStringLiteral("V72WSZ1"));
}

TEST_F(AddressFileTest, NoIdMeansNothingIsTagged) {
    ASSERT_TRUE(copyPeer(QStringLiteral("ADDRPEER"), dir.path()));
    TagScope tagScope{QString()};
    TableDataset table;
    AddressFile::Configure(table);
    ASSERT_TRUE(OpenTableFile(file(QStringLiteral("ADDRPEER.DBF")), table));
    ASSERT_TRUE(table.gotoRecno(1)); // blank TAG
    EXPECT_FALSE(table.asBool(QStringLiteral("Tagged")));
}

TEST_F(AddressFileTest, RecordValuesCopyToANewRecord) {
    ASSERT_TRUE(copyPeer(QStringLiteral("ADDRPEER"), dir.path()));
    TableDataset table;
    AddressFile::Configure(table);
    ASSERT_TRUE(OpenTableFile(file(QStringLiteral("ADDRPEER.DBF")), table));
    ASSERT_TRUE(table.gotoRecno(8)); // a long memo
    AddressRecord original = AddressRecord::read(table);
    EXPECT_TRUE(original.memo.startsWith(QStringLiteral("Line 01:")));
    const uint32_t before = table.physicalCount();
    ASSERT_TRUE(table.insert());
    ASSERT_TRUE(original.write(table));
    ASSERT_TRUE(table.post());
    EXPECT_EQ(table.physicalCount(), before + 1);
    EXPECT_EQ(AddressRecord::read(table), original);
}
