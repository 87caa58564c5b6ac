// The program home: its layout on first start and the system tables it gets.
#include "storage/settings.h"
#include "xbase/table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

// Readable QString values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

const char* const kSystemFiles[] = {"CSZ.DBF", "CSZ.CDX", "LBLTPL.DBF", "LBLTPL.CDX"};

class NewHome : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        home = scratch.filePath("home/");
        qb::SetProgramDirectory(home); // not created yet
        qb::EnsureHomeLayout();
    }
    std::unique_ptr<xbase::Table> open(const char* name) {
        return xbase::Table::open((home + "sysdata/" + name).toStdString(),
                                  xbase::OpenOptions{false, true, true});
    }
    QTemporaryDir scratch;
    QString home;
};

TEST_F(NewHome, GetsFoldersAndWritableSystemTables) {
    EXPECT_TRUE(QFileInfo(home + "DATA").isDir());
    EXPECT_TRUE(QFileInfo(home + "sysdata").isDir());
    for (const char* name : kSystemFiles) {
        const QFileInfo info(home + "sysdata/" + name);
        EXPECT_TRUE(info.isFile()) << name;
        EXPECT_GT(info.size(), 0) << name;
        EXPECT_TRUE(info.isWritable()) << name;
    }
    // A table removed later is not brought back.
    ASSERT_TRUE(QFile::remove(home + "sysdata/CSZ.DBF"));
    qb::EnsureHomeLayout();
    EXPECT_FALSE(QFile::exists(home + "sysdata/CSZ.DBF"));
    EXPECT_TRUE(QFile::exists(home + "sysdata/LBLTPL.DBF"));
}

TEST(ExistingHome, FoldersNamedInAnyCaseAreUsedAsTheyAre) {
    QTemporaryDir scratch;
    QDir(scratch.path()).mkdir("SYSDATA");
    QDir(scratch.path()).mkdir("data");
    qb::SetProgramDirectory(scratch.path());
    qb::EnsureHomeLayout();
    QStringList dirs = QDir(scratch.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    dirs.sort(Qt::CaseSensitive);
    EXPECT_EQ(dirs.join(','), "SYSDATA,data");
    EXPECT_TRUE(QDir(scratch.filePath("SYSDATA")).isEmpty());
}

TEST_F(NewHome, StateZipTableFitsTheStateAndZipCheck) {
    auto csz = open("CSZ.DBF");
    ASSERT_EQ(csz->fields().size(), 4u);
    const std::pair<const char*, int> widths[] = {
        {"NAME", 20}, {"STATE", 4}, {"LOW_ZIP", 10}, {"HIGH_ZIP", 10}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(csz->fields()[i].name, widths[i].first);
        EXPECT_EQ(csz->fields()[i].type, 'C');
        EXPECT_EQ(csz->fields()[i].width, widths[i].second);
    }
    ASSERT_EQ(csz->tagOrder("STATE"), 1);
    EXPECT_EQ(QString::fromStdString(csz->tagInfo(1).keyExpr).toUpper(), "UPPER(STATE)");

    const int state = csz->fieldIndex("STATE");
    const int low = csz->fieldIndex("LOW_ZIP");
    const int high = csz->fieldIndex("HIGH_ZIP");
    // Only the first row of an abbreviation counts, so each appears once.
    std::set<std::string> seen;
    csz->setOrder(0);
    for (csz->goTop(); !csz->eof(); csz->skip())
        EXPECT_TRUE(seen.insert(csz->getString(state)).second) << csz->getString(state);
    EXPECT_EQ(seen.size(), 75u); // 50 states, DC, 8 territories, 3 military, 13 Canadian

    csz->setOrder("STATE");
    csz->setExact(false);
    struct Case {
        const char* state;
        const char* zip;
        bool passes;
    };
    const Case cases[] = {
        {"NY", "10001", true},      {"NY", "09999", false},   {"NY", "10001-1234", true},
        {"NY", "14925-0001", true}, {"NY", "15001", false},   {"CA", "94105", true},
        {"TX", "79901", true},      {"VA", "20170", true},    {"MA", "02110", true},
        {"MA", "2110", false},      {"DC", "20500", true},    {"PR", "00901", true},
        {"GU", "96910", true},      {"AE", "09012", true},    {"AP", "96319", true},
        {"AA", "34002", true},      {"ON", "K1A 0B1", true},  {"ON", "K1A0B1", true},
        {"ON", "P7B 5E1", true},    {"ON", "V6B 1A1", false}, {"QC", "H2X 1Y4", true},
        {"BC", "V6B 1A1", true},    {"NU", "X0A 0H0", true},  {"NT", "X1A 2P7", true},
        {"NU", "X1A 2P7", false},   {"YT", "Y1A 1A1", true},  {"NL", "A1C 5M2", true},
        {"AB", "t5j 0n3", false}, // lower case is not upper case
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.state) + " " + c.zip);
        ASSERT_TRUE(csz->seek(c.state));
        const std::string zip = c.zip;
        const bool passes = csz->getString(low) <= zip && zip <= csz->getString(high);
        EXPECT_EQ(passes, c.passes) << csz->getString(low) << " - " << csz->getString(high);
    }
    EXPECT_FALSE(csz->seek("ZZ"));
}

TEST_F(NewHome, LabelStockCatalogueHasTheTemplateFields) {
    auto tpl = open("LBLTPL.DBF");
    struct FieldCase {
        const char* name;
        char type;
        int width;
        int decimals;
    };
    const FieldCase fields[] = {
        {"DESCRIPT", 'C', 60, 0},  {"LBLHEIGHT", 'N', 6, 3},  {"LBLWIDTH", 'N', 6, 3},
        {"NBRACROSS", 'N', 2, 0},  {"NBRDOWN", 'N', 2, 0},    {"TOPMARG", 'N', 6, 3},
        {"LEFTMARG", 'N', 6, 3},   {"HORIZPITCH", 'N', 6, 3}, {"VERTPITCH", 'N', 6, 3},
        {"SHEETWIDTH", 'N', 6, 3}, {"SHEETDEPTH", 'N', 6, 3}, {"PRINTER", 'C', 2, 0},
        {"PAPERSIZE", 'C', 5, 0},  {"LBLSHAPE", 'C', 2, 0},   {"MANUFAC", 'C', 10, 0},
        {"PRODTYPE", 'C', 25, 0},  {"MIDEXTRAX", 'N', 6, 3},  {"MIDEXTRAY", 'N', 6, 3},
        {"ART", 'C', 12, 0},
    };
    ASSERT_EQ(tpl->fields().size(), std::size(fields));
    for (size_t i = 0; i < std::size(fields); ++i) {
        SCOPED_TRACE(fields[i].name);
        EXPECT_EQ(tpl->fields()[i].name, fields[i].name);
        EXPECT_EQ(tpl->fields()[i].type, fields[i].type);
        EXPECT_EQ(tpl->fields()[i].width, fields[i].width);
        EXPECT_EQ(tpl->fields()[i].decimals, fields[i].decimals);
    }
    ASSERT_EQ(tpl->tagOrder("DESCRIPT"), 1);
    EXPECT_EQ(QString::fromStdString(tpl->tagInfo(1).keyExpr).toUpper(), "UPPER(DESCRIPT)");

    // Every stock's labels lie on its sheet.
    const auto num = [&](const char* f) { return tpl->getNumber(tpl->fieldIndex(f)); };
    int rows = 0;
    for (tpl->goTop(); !tpl->eof(); tpl->skip(), ++rows) {
        SCOPED_TRACE(tpl->getString(0));
        EXPECT_GT(num("NBRACROSS"), 0);
        EXPECT_GT(num("NBRDOWN"), 0);
        EXPECT_LE(num("LEFTMARG") + (num("NBRACROSS") - 1) * num("HORIZPITCH") + num("LBLWIDTH"),
                  num("SHEETWIDTH") + 1e-9);
        EXPECT_LE(num("TOPMARG") + (num("NBRDOWN") - 1) * num("VERTPITCH") + num("LBLHEIGHT"),
                  num("SHEETDEPTH") + 1e-9);
        EXPECT_GE(num("HORIZPITCH"), num("LBLWIDTH"));
        EXPECT_GE(num("VERTPITCH"), num("LBLHEIGHT"));
    }
    tpl->setOrder("DESCRIPT");
    ASSERT_TRUE(tpl->seek("AVERY 5160"));
    EXPECT_EQ(num("NBRACROSS"), 3);
    EXPECT_EQ(num("NBRDOWN"), 10);
    EXPECT_DOUBLE_EQ(num("LBLWIDTH"), 2.625);
    EXPECT_GT(rows, 0);
}

} // namespace
