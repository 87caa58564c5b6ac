// The hand-over of the address file to tool windows: what a tool changes in
// the main window's table is put back afterwards, also when the tool fails.
#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "app/toolhandover.h"
#include "printing/printers.h"
#include "storage/dataset.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace qb;

namespace {

// The main window's side of the hand-over over a bare dataset: its filter is
// a user condition plus the hiding of ISDEL records, as the main window's.
class FakeMain : public MainWindowState {
public:
    explicit FakeMain(TableDataset& t) : t_(t) {}
    TableDataset& table() override { return t_; }
    bool fileOpen() const override { return t_.isOpen(); }
    bool eventsOn() const override { return events; }
    void setEventsOn(bool on) override { events = on; }
    QString currentOrder() const override { return order; }
    void reselectOrder() override {
        ++reselects;
        if (!t_.setOrder(order))
            throw std::runtime_error("no such tag");
    }
    void applyFilter() override {
        ++filterApplied;
        t_.setFilter(userFilter.isEmpty() ? QStringLiteral("!ISDEL")
                                          : QStringLiteral("(%1) .and. !ISDEL").arg(userFilter));
    }
    bool extraFieldsOn() const override { return AddressFile::ExtraFieldsOn(t_); }
    void setExtraFields(bool on) override { AddressFile::SetExtraFields(t_, on); }
    bool reopenFile() override {
        ++reopened;
        const bool ok = t_.open();
        t_.setOrder(order);
        return ok;
    }
    void setButtons() override { ++buttonsSet; }

    bool events = true;
    QString order = QStringLiteral("LNAME");
    QString userFilter;
    int reselects = 0, filterApplied = 0, reopened = 0, buttonsSet = 0;

private:
    TableDataset& t_;
};

class ToolHandOverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("ADD0001.DBF"));
        TableDataset spare;
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        table.setDirectory(dir.path());
        table.setFileName(QStringLiteral("ADD0001.DBF"));
        ASSERT_TRUE(table.open()) << table.errorText().toStdString();
        table.setShowDeleted(false);
        // Records 1..5 in physical order; in LNAME order: Adams, Brown, Clark, Davis, Evans.
        const char* names[][2] = {
            {"Davis", "MA"}, {"Adams", "NY"}, {"Evans", "MA"}, {"Brown", "MA"}, {"Clark", "NY"}};
        for (const auto& n : names) {
            AddressRecord r;
            r.lname = QString::fromLatin1(n[0]);
            r.state = QString::fromLatin1(n[1]);
            ASSERT_TRUE(table.insert());
            ASSERT_TRUE(r.write(table));
            ASSERT_TRUE(table.post()) << table.errorText().toStdString();
        }
        ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
        main.userFilter = QStringLiteral("STATE = \"MA\"");
        main.applyFilter();
        main.filterApplied = 0;
        // Brown (record 4), the second record of the filtered view.
        ASSERT_TRUE(table.gotoRecno(4));
    }

    QString lname() const { return table.asString(QStringLiteral("LNAME")); }

    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
    FakeMain main{table};
};

// A tool that does what label and report windows do to the table.
void messUp(TableDataset& t) {
    t.setOrder(QStringLiteral("CITY"));
    t.setFilter(QStringLiteral("STATE = \"NY\""));
    t.last();
}

TEST_F(ToolHandOverTest, FilterOrderAndRecordComeBackAfterTheTool) {
    const QString filterBefore = table.filterText();
    bool ranWithToolState = false;
    RunTool(main, ToolHandOver::Labels(), [&] {
        // Prepared: display and events off, the tool's filter, extra fields on.
        EXPECT_TRUE(table.controlsDisabled());
        EXPECT_FALSE(main.eventsOn());
        EXPECT_EQ(table.filterText(), QStringLiteral("not DELETED()"));
        EXPECT_TRUE(AddressFile::ExtraFieldsOn(table));
        EXPECT_EQ(table.recordCount(), 5u);
        messUp(table);
        ranWithToolState = true;
    });
    ASSERT_TRUE(ranWithToolState);
    EXPECT_EQ(table.filterText(), filterBefore);
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
    EXPECT_EQ(table.recno(), 4u);
    EXPECT_EQ(lname(), QStringLiteral("Brown"));
    EXPECT_FALSE(table.controlsDisabled());
    EXPECT_TRUE(main.eventsOn());
    EXPECT_FALSE(AddressFile::ExtraFieldsOn(table));
    // The order is live again: the next record in name order under the filter.
    ASSERT_TRUE(table.next());
    EXPECT_EQ(lname(), QStringLiteral("Davis"));
}

TEST_F(ToolHandOverTest, RestoreRunsWhenTheToolThrows) {
    const QString filterBefore = table.filterText();
    const QString cwd = QDir::currentPath();
    EXPECT_THROW(RunTool(main, ToolHandOver::Labels(),
                         [&] {
                             messUp(table);
                             throw std::runtime_error("engine failure");
                         }),
                 std::runtime_error);
    EXPECT_EQ(table.filterText(), filterBefore);
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
    EXPECT_EQ(table.recno(), 4u);
    EXPECT_FALSE(table.controlsDisabled());
    EXPECT_TRUE(main.eventsOn());
    EXPECT_EQ(QDir::currentPath(), cwd);
}

// The tool deletes the current record (hidden afterwards) or moves it out of
// the filter: the main window then stands on the first record shown.
TEST_F(ToolHandOverTest, PositionIsNotRestoredWhenTheRecordWasDeleted) {
    RunTool(main, ToolHandOver::ConvertCase(), [&] {
        ASSERT_TRUE(table.gotoRecno(4));
        ASSERT_TRUE(table.deleteRecord());
    });
    EXPECT_NE(table.recno(), 4u);
    EXPECT_EQ(lname(), QStringLiteral("Davis")); // first of Davis, Evans
}

TEST_F(ToolHandOverTest, PositionIsNotRestoredWhenTheRecordLeftTheFilter) {
    RunTool(main, ToolHandOver::ConvertCase(), [&] {
        ASSERT_TRUE(table.gotoRecno(4));
        ASSERT_TRUE(table.setString(QStringLiteral("STATE"), QStringLiteral("NY")));
        ASSERT_TRUE(table.post());
    });
    EXPECT_NE(table.recno(), 4u);
    EXPECT_EQ(lname(), QStringLiteral("Davis"));
}

TEST_F(ToolHandOverTest, OrderErrorsAreIgnoredAndTheRestStillRuns) {
    main.order = QStringLiteral("NOSUCHTAG");
    RunTool(main, ToolHandOver::StateZipCheck(), [&] {
        EXPECT_EQ(table.filterText(), QStringLiteral("!ISDEL"));
        messUp(table);
    });
    EXPECT_EQ(main.reselects, 1);
    EXPECT_EQ(table.filterText(), QStringLiteral("(STATE = \"MA\") .and. !ISDEL"));
    EXPECT_FALSE(table.controlsDisabled());
    EXPECT_TRUE(main.eventsOn());
}

TEST_F(ToolHandOverTest, BulkEditSeesDeletedRecordsAndEndsOnTheFirstRecord) {
    ASSERT_TRUE(table.gotoRecno(1));
    ASSERT_TRUE(table.setBool(QStringLiteral("ISDEL"), true));
    ASSERT_TRUE(table.post());
    main.applyFilter();
    ASSERT_EQ(table.recordCount(), 2u); // Evans and Brown
    RunTool(main, ToolHandOver::BulkEdit(main.userFilter), [&] {
        EXPECT_EQ(table.recordCount(), 3u); // Davis (ISDEL) included
        table.last();
    });
    EXPECT_EQ(main.filterApplied, 2);
    EXPECT_EQ(main.buttonsSet, 1);
    EXPECT_EQ(table.recordCount(), 2u);
    EXPECT_EQ(lname(), QStringLiteral("Brown"));
}

TEST_F(ToolHandOverTest, ImportReopensTheFileAndPutsBackDirectoryAndEvents) {
    const QString cwd = QDir::currentPath();
    main.events = false; // as after an earlier failure: imports always end with events on
    RunTool(main, ToolHandOver::FileImport(), [&] {
        QDir::setCurrent(dir.path());
        table.close();
    });
    EXPECT_EQ(QDir::currentPath(), cwd);
    EXPECT_EQ(main.reopened, 1);
    ASSERT_TRUE(table.isOpen());
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
    EXPECT_EQ(table.filterText(), QStringLiteral("(STATE = \"MA\") .and. !ISDEL"));
    EXPECT_EQ(lname(), QStringLiteral("Brown"));
    EXPECT_TRUE(main.eventsOn());
    EXPECT_EQ(main.buttonsSet, 1);
}

TEST_F(ToolHandOverTest, RestoreRunsOnceAndNestedSuspensionBalances) {
    table.disableControls(); // someone else's suspension stays in force
    {
        ToolSession session(main, ToolHandOver::Reindex());
        session.restore();
        EXPECT_TRUE(session.restored());
    }
    EXPECT_TRUE(table.controlsDisabled());
    table.enableControls();
    EXPECT_FALSE(table.controlsDisabled());
}

} // namespace
