// Opening and creating the system tables in sysdata/, and rebuilding their indexes.
#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/reindex.h"
#include "storage/settings.h"
#include "storage/systemtables.h"
#include "xbase/table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qb;

namespace {

QString peer(const QString& name) {
    return qEnvironmentVariable("QB_SHARED_DIR", QStringLiteral("/work/shared")) +
           QStringLiteral("/fixtures/peer/") + name;
}

class SystemTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        oldHome = ProgramDirectory();
        SetProgramDirectory(home.path());
        ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("sysdata")));
    }
    void TearDown() override { SetProgramDirectory(oldHome); }

    QString sys(const QString& name) const { return SystemDirectory() + name; }
    void copyPeer(const QString& base) {
        for (const char* ext : {".DBF", ".CDX", ".FPT"}) {
            const QString from = peer(base + QLatin1String(ext));
            if (!QFile::exists(from))
                continue;
            const QString to = sys(base + QLatin1String(ext));
            ASSERT_TRUE(QFile::copy(from, to));
            QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner);
        }
    }

    QTemporaryDir home;
    QString oldHome;
    MessageScript messages;
};

using Opener = bool (*)(TableDataset&);

} // namespace

TEST_F(SystemTablesTest, CreatingTablesAreMadeWithFieldsAndTagWhenMissing) {
    const struct {
        Opener open;
        const SystemTableDef& def;
        size_t fieldCount;
        const char* cdx;
    } cases[] = {
        {&OpenLabelTable, LabelTableDef(), 22, "LABEL.CDX"},
        {&OpenEnvelopeTable, EnvelopeTableDef(), 3, "ENVELOPE.CDX"},
        {&OpenLetterTable, LetterTableDef(), 2, "LETTER.CDX"},
        {&OpenReportTable, ReportTableDef(), 3, "REPORT.CDX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.def.fileName.toStdString());
        TableDataset table;
        ASSERT_TRUE(c.open(table));
        EXPECT_TRUE(messages.shown.empty());
        ASSERT_TRUE(table.isOpen());
        EXPECT_TRUE(table.isEmpty());
        EXPECT_TRUE(QFile::exists(sys(QLatin1String(c.cdx))));
        xbase::Table* t = table.engine();
        ASSERT_EQ(t->fields().size(), c.fieldCount);
        for (size_t i = 0; i < c.fieldCount; ++i) {
            EXPECT_EQ(t->fields()[i].name, c.def.fields[i].name);
            EXPECT_EQ(t->fields()[i].type, c.def.fields[i].type);
            EXPECT_EQ(t->fields()[i].width, c.def.fields[i].width);
            EXPECT_EQ(t->fields()[i].decimals, c.def.fields[i].decimals);
        }
        ASSERT_EQ(t->tagCount(), 1);
        EXPECT_EQ(t->tagInfo(1).name, "DESCRIPT");
        EXPECT_EQ(t->tagInfo(1).keyExpr, "UPPER(descript)");
        // The next open finds it and creates nothing.
        table.close();
        ASSERT_TRUE(c.open(table));
        EXPECT_EQ(table.engine()->tagCount(), 1);
    }
    // Field layouts of the table with most fields, checked by hand.
    const auto& label = LabelTableDef().fields;
    EXPECT_EQ(label[2].name, "LBLHEIGHT");
    EXPECT_EQ(label[2].width, 6);
    EXPECT_EQ(label[2].decimals, 3);
    EXPECT_EQ(label[20].name, "DELETED");
    EXPECT_EQ(label[20].type, 'L');
    EXPECT_EQ(label[21].name, "BINARY");
    EXPECT_EQ(LetterTableDef().fields[1].type, 'M');
}

TEST_F(SystemTablesTest, AMissingIndexFileIsRecreatedSilently) {
    copyPeer(QStringLiteral("LETTER"));
    ASSERT_TRUE(QFile::remove(sys(QStringLiteral("LETTER.CDX"))));
    TableDataset table;
    ASSERT_TRUE(OpenLetterTable(table));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(QFile::exists(sys(QStringLiteral("LETTER.CDX"))));
    ASSERT_EQ(table.engine()->tagOrder("DESCRIPT"), 1);
    EXPECT_EQ(table.physicalCount(), 4u); // the records are kept
    ASSERT_TRUE(table.setOrder(QStringLiteral("DESCRIPT")));
    EXPECT_EQ(table.visibleRecnos().size(), 4u);
}

TEST_F(SystemTablesTest, SuppliedTablesAreNeverCreated) {
    const struct {
        Opener open;
        const char* file;
        const char* message;
    } cases[] = {
        {&OpenTemplateTable, "LBLTPL.DBF", "Unable to Open LBLTPL.DBF"},
        {&OpenStateZipTable, "CSZ.DBF", "Unable to Open or Create CSZ.DBF"},
    };
    for (const auto& c : cases) {
        messages.clear();
        TableDataset table;
        EXPECT_FALSE(c.open(table));
        EXPECT_EQ(messages.texts(), QStringList({QLatin1String(c.message)}));
        EXPECT_FALSE(table.isOpen());
        EXPECT_FALSE(QFile::exists(sys(QLatin1String(c.file))));
    }
    copyPeer(QStringLiteral("CSZ"));
    messages.clear();
    TableDataset table;
    ASSERT_TRUE(OpenStateZipTable(table));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(table.physicalCount(), 10u);
}

TEST_F(SystemTablesTest, ADamagedTableIsReportedNotReplaced) {
    QFile junk(sys(QStringLiteral("REPORT.DBF")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a table");
    junk.close();
    TableDataset table;
    EXPECT_FALSE(OpenReportTable(table));
    EXPECT_EQ(messages.texts(), QStringList({"Unable to Open or Create REPORT.DBF"}));
    ASSERT_TRUE(junk.open(QIODevice::ReadOnly));
    EXPECT_EQ(junk.readAll(), QByteArray("not a table"));
}

TEST_F(SystemTablesTest, NamesInAnotherLetterCaseAreFound) {
    ASSERT_TRUE(QFile::copy(peer(QStringLiteral("CSZ.DBF")), sys(QStringLiteral("csz.dbf"))));
    QFile::setPermissions(sys(QStringLiteral("csz.dbf")),
                          QFile::permissions(sys(QStringLiteral("csz.dbf"))) | QFile::WriteOwner);
    TableDataset table;
    ASSERT_TRUE(OpenStateZipTable(table));
    EXPECT_EQ(table.tableName(), QStringLiteral("csz.dbf"));
    EXPECT_EQ(table.engine()->tagOrder("STATE"), 1);
}

TEST_F(SystemTablesTest, SystemRebuildPacksEachTableAndSkipsMissingOnes) {
    for (const char* base : {"LETTER", "LABEL", "CSZ", "ENVELOPE", "REPORT"})
        copyPeer(QLatin1String(base));
    // Mark two label layouts deleted and drop the envelope index.
    {
        auto t = xbase::Table::open(sys(QStringLiteral("LABEL.DBF")).toStdString());
        t->go(1);
        t->deleteRecord();
        t->go(3);
        t->deleteRecord();
        t->close();
    }
    ASSERT_TRUE(QFile::remove(sys(QStringLiteral("ENVELOPE.CDX"))));

    TSystemReindex dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rebuild System Indexes"));
    dialog.DoitClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.statusHistory(),
              QStringList({"Rebuilding Letters File indexes", "Rebuilding Label File indexes",
                           "Rebuilding State/Province File indexes",
                           "Rebuilding Label Setup File indexes",
                           "Rebuilding Envelope File indexes", "Rebuilding Report File indexes"}));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(QFile::exists(sys(QStringLiteral("LBLTPL.DBF"))));

    const struct {
        const char* table;
        const char* tag;
        const char* expr;
        uint32_t records;
    } cases[] = {
        {"LETTER", "DESCRIPT", "UPPER(DESCRIPT)", 4},
        {"LABEL", "DESCRIPT", "UPPER(DESCRIPT)", 3},
        {"CSZ", "STATE", "UPPER(STATE)", 10},
        {"ENVELOPE", "DESCRIPT", "UPPER(descript)", 4},
        {"REPORT", "DESCRIPT", "UPPER(descript)", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        const QString dbf = sys(QLatin1String(c.table) + QStringLiteral(".DBF"));
        auto t = xbase::Table::open(dbf.toStdString());
        ASSERT_EQ(t->tagCount(), 1);
        EXPECT_EQ(t->tagInfo(1).name, c.tag);
        EXPECT_EQ(t->tagInfo(1).keyExpr, c.expr);
        EXPECT_EQ(t->recCount(), c.records);
        t->setDeleted(false);
        t->setOrder(1);
        uint32_t n = 0;
        for (t->goTop(); !t->eof(); t->skip(1))
            ++n;
        EXPECT_EQ(n, t->recCount());
        t->close();
    }
}

TEST_F(SystemTablesTest, RebuildOfOneTableRepairsAnUnreadableIndex) {
    copyPeer(QStringLiteral("REPORT"));
    QFile cdx(sys(QStringLiteral("REPORT.CDX")));
    ASSERT_TRUE(cdx.open(QIODevice::WriteOnly | QIODevice::Truncate));
    cdx.write(QByteArray(1024, '\xff'));
    cdx.close();
    TSystemReindex dialog;
    EXPECT_TRUE(dialog.DoExtra(QStringLiteral("REPORT"), QStringLiteral("DESCRIPT"), true,
                               QStringLiteral("UPPER(descript)")));
    auto t = xbase::Table::open(sys(QStringLiteral("REPORT.DBF")).toStdString());
    EXPECT_EQ(t->tagOrder("DESCRIPT"), 1);
    EXPECT_FALSE(dialog.DoExtra(QStringLiteral("LBLTPL"), QStringLiteral("DESCRIPT"), true,
                                QStringLiteral("UPPER(descript)")));
}
