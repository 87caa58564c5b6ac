// Rebuilding the address file's index: packing removes the records marked
// deleted and the 26 tags come back.
#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "storage/dataset.h"
#include "storage/reindex.h"
#include "xbase/table.h"

#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace qb;

namespace {

QString peer(const QString& name) {
    return qEnvironmentVariable("QB_SHARED_DIR", QStringLiteral("/work/shared")) +
           QStringLiteral("/fixtures/peer/") + name;
}

class AddressReindexTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const char* ext : {".DBF", ".CDX", ".FPT"}) {
            const QString to = path(QStringLiteral("ADDRPEER") + QLatin1String(ext));
            ASSERT_TRUE(QFile::copy(peer(QStringLiteral("ADDRPEER") + QLatin1String(ext)), to));
            QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner);
        }
        AddressFile::Configure(table);
    }
    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    QTemporaryDir dir;
    TableDataset table;
    MessageScript messages;
};

} // namespace

TEST_F(AddressReindexTest, PackRemovesMarkedRecordsAndTagsComeBack) {
    ASSERT_TRUE(OpenTableFile(path(QStringLiteral("ADDRPEER.DBF")), table));
    ASSERT_EQ(table.physicalCount(), 300u); // 23 of them marked deleted

    // Deleting from the main window: mark, set ISDEL, post.
    ASSERT_TRUE(table.gotoRecno(2));
    table.setShowDeleted(true);
    ASSERT_TRUE(table.deleteRecord());
    ASSERT_TRUE(table.setBool(QStringLiteral("ISDEL"), true));
    ASSERT_TRUE(table.post());
    table.setShowDeleted(false);

    TQBReindex dialog(table, &CreateAddressIndexes);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rebuild indexes for ADDRPEER.DBF"));
    // The engine's reports reach the gauge: the pack's run up to 100, then the
    // tags' sum, which fills it again.
    QList<int> shown;
    auto* gauge = dialog.findChild<QProgressBar*>(QStringLiteral("Gauge"));
    ASSERT_NE(gauge, nullptr);
    QObject::connect(gauge, &QProgressBar::valueChanged, [&](int v) { shown << v; });
    dialog.DoitClick();
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.count(100), 2) << "pack end and the filled index phase";
    EXPECT_EQ(shown.last(), 0); // reset when done
    // Between the pack's end and the final reset the gauge only grows.
    const QList<int> indexPhase =
        shown.mid(shown.indexOf(100) + 1, shown.size() - shown.indexOf(100) - 2);
    EXPECT_TRUE(std::is_sorted(indexPhase.begin(), indexPhase.end()));
    EXPECT_EQ(indexPhase.last(), 100);
    EXPECT_TRUE(dialog.succeeded());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.statusText(), QStringLiteral("Rebuilding indexes"));
    EXPECT_EQ(dialog.gaugeValue(), 0);
    EXPECT_EQ(dialog.progress().accumulated(), 0);
    EXPECT_TRUE(messages.shown.empty()) << messages.texts().join('|').toStdString();

    EXPECT_EQ(table.physicalCount(), 276u);
    EXPECT_TRUE(CheckValidIndex(table));
    EXPECT_EQ(table.engine()->tagCount(), 26);
    // The record that was record 2 is gone; no record carries the mark.
    table.setShowDeleted(true);
    ASSERT_TRUE(table.first());
    int marked = 0;
    bool sawFullWidth = false;
    for (uint32_t r : table.visibleRecnos()) {
        table.gotoRecno(r);
        marked += table.engine()->deleted() ? 1 : 0;
        sawFullWidth = sawFullWidth || table.asString(QStringLiteral("LNAME")) ==
                                           QStringLiteral("Featherstonehaugh-Wolfeschlege");
    }
    EXPECT_EQ(marked, 0);
    EXPECT_FALSE(sawFullWidth);
    // The tags are usable: the LNAME order is sorted.
    ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
    QString previous;
    for (uint32_t r : table.visibleRecnos()) {
        table.gotoRecno(r);
        const QString key = (table.asString(QStringLiteral("LNAME")).leftJustified(30) +
                             table.asString(QStringLiteral("FNAME")).leftJustified(30))
                                .toUpper();
        EXPECT_LE(previous, key);
        previous = key;
    }
}

TEST_F(AddressReindexTest, AFileWithoutItsIndexIsRepaired) {
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("ADDRPEER.CDX"))));
    ASSERT_TRUE(OpenTableFile(path(QStringLiteral("ADDRPEER.DBF")), table));
    EXPECT_FALSE(CheckValidIndex(table));
    TQBReindex dialog(table, &CreateAddressIndexes);
    dialog.DoitClick();
    EXPECT_TRUE(CheckValidIndex(table));
    EXPECT_EQ(table.physicalCount(), 277u);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("ADDRPEER.CDX"))));
    table.close();
    ASSERT_TRUE(OpenTableFile(path(QStringLiteral("ADDRPEER.DBF")), table));
    EXPECT_TRUE(CheckValidIndex(table));
}

TEST_F(AddressReindexTest, FailureToMakeTheTagsIsToldAndTheDialogStillCloses) {
    ASSERT_TRUE(OpenTableFile(path(QStringLiteral("ADDRPEER.DBF")), table));
    TQBReindex dialog(table, [](TableDataset& t) {
        // A routine that cannot make its tags: a key over a field that is not there.
        try {
            t.engine()->createTag("BAD", "UPPER(NOSUCHFIELD)");
        } catch (const std::exception&) {
            Inform(QStringLiteral("Unable to create index files"));
            return false;
        }
        return true;
    });
    dialog.DoitClick();
    EXPECT_FALSE(dialog.succeeded());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(messages.texts(), QStringList({"Unable to create index files"}));
    EXPECT_FALSE(CheckValidIndex(table));
    EXPECT_EQ(table.physicalCount(), 277u); // the pack still happened
}
