// The browse grid: the column order file, the model as a view of the table,
// the current row following the table both ways, navigation and tagging.
#include "addressbook/addressfile.h"
#include "app/browsewindow.h"
#include "app/messages.h"
#include "storage/dataset.h"

#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;

namespace {

class BrowseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TableDataset spare;
        const QString path = dir.path() + QStringLiteral("/ADD0001.DBF");
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
        const char* const names[][3] = {
            {"Young", "Amy", "Boston"}, {"Abbot", "Bo", "Denver"}, {"Miller", "Cy", "Austin"}};
        for (const auto& n : names) {
            AddressRecord r;
            r.lname = QString::fromLatin1(n[0]);
            r.fname = QString::fromLatin1(n[1]);
            r.city = QString::fromLatin1(n[2]);
            ASSERT_TRUE(table.insert());
            ASSERT_TRUE(r.write(table));
            ASSERT_TRUE(table.post());
        }
        ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
        ASSERT_TRUE(table.first());
        listPath = dir.path() + QStringLiteral("/FIELDS.LST");
    }
    QString cell(const AddressBrowseModel& m, int row, const char* field) const {
        const int col = m.columns().indexOf(QString::fromLatin1(field));
        return m.data(m.index(row, col)).toString();
    }
    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
    QString listPath;
};

} // namespace

TEST(FieldsList, ReorderingByTheListedNames) {
    const QStringList fields = {"Tagged", "LNAME", "FNAME", "CITY", "STATE"};
    struct Case {
        QStringList lines;
        QStringList order;
    } cases[] = {
        {{}, fields},
        {{"CITY"}, {"CITY", "Tagged", "LNAME", "FNAME", "STATE"}},
        // Case is ignored; a name matching no field is skipped but keeps its line.
        {{"state", "NOSUCH", "tagged"}, {"STATE", "LNAME", "Tagged", "FNAME", "CITY"}},
        {{"", "FNAME"}, {"Tagged", "FNAME", "LNAME", "CITY", "STATE"}},
        // More lines than fields: the extra ones have no place to go.
        {{"STATE", "CITY", "FNAME", "LNAME", "Tagged", "LNAME", "CITY"},
         {"STATE", "CITY", "FNAME", "LNAME", "Tagged"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ApplyFieldsList(fields, c.lines), c.order) << c.lines.join(',').toStdString();
}

TEST(FieldsList, MovedColumnsTakeTheVisibleFieldsPlaces) {
    // MEMO and TAG are hidden: they keep their places.
    const QStringList fields = {"Tagged", "LNAME", "MEMO", "CITY", "TAG"};
    EXPECT_EQ(MergeColumnOrder(fields, {"CITY", "Tagged", "LNAME"}),
              (QStringList{"CITY", "Tagged", "MEMO", "LNAME", "TAG"}));
}

TEST_F(BrowseTest, FileRoundTripWithCrLf) {
    const QStringList names = {"CITY", "Tagged", "LNAME"};
    ASSERT_TRUE(WriteFieldsList(listPath, names));
    QFile f(listPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("CITY\r\nTagged\r\nLNAME\r\n"));
    EXPECT_EQ(ReadFieldsList(listPath), names);
    EXPECT_TRUE(ReadFieldsList(dir.path() + QStringLiteral("/none.LST")).isEmpty());
    // A file written elsewhere with bare line feeds and no final break.
    QFile lf(listPath);
    ASSERT_TRUE(lf.open(QIODevice::WriteOnly));
    lf.write("ZIP\nCITY");
    lf.close();
    EXPECT_EQ(ReadFieldsList(listPath), (QStringList{"ZIP", "CITY"}));
}

TEST_F(BrowseTest, ModelShowsVisibleFieldsWithLabelsInTableOrder) {
    AddressBrowseModel model(table, {});
    ASSERT_EQ(model.rowCount(), 3);
    QStringList expected;
    for (const QString& name : table.fieldNames())
        if (table.isFieldVisible(name))
            expected << name;
    EXPECT_EQ(model.columns(), expected);
    EXPECT_FALSE(model.columns().contains(QStringLiteral("TAG")));
    const int city = model.columns().indexOf(QStringLiteral("CITY"));
    ASSERT_GE(city, 0);
    EXPECT_EQ(model.headerData(city, Qt::Horizontal).toString(),
              table.field(QStringLiteral("CITY")).displayLabel);
    // Rows in the table's order, values as stored.
    EXPECT_EQ(cell(model, 0, "LNAME"), QStringLiteral("Abbot"));
    EXPECT_EQ(cell(model, 1, "LNAME"), QStringLiteral("Miller"));
    EXPECT_EQ(cell(model, 2, "CITY"), QStringLiteral("Boston"));
    EXPECT_LE(model.cachedRows(), 3);

    // The model follows the table's order and filter.
    ASSERT_TRUE(table.setOrder(QStringLiteral("CITY")));
    EXPECT_EQ(cell(model, 0, "LNAME"), QStringLiteral("Miller"));
    ASSERT_TRUE(table.setFilter(QStringLiteral("UPPER(CITY)=\"D\"")));
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(cell(model, 0, "FNAME"), QStringLiteral("Bo"));
}

TEST_F(BrowseTest, CurrentRowFollowsTheTableBothWays) {
    TBrowseWindow window(table, {}, {});
    QTableView* grid = window.grid();
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_EQ(window.model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("\u25B6"));

    // Table -> grid.
    ASSERT_TRUE(table.last());
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_TRUE(grid->selectionModel()->isRowSelected(2, QModelIndex()));
    EXPECT_EQ(window.model()->headerData(0, Qt::Vertical).toString(), QString());
    // Grid -> table.
    grid->setCurrentIndex(window.model()->index(1, 3));
    EXPECT_EQ(table.asString(QStringLiteral("LNAME")), QStringLiteral("Miller"));

    // Buttons move the table; stepping past either end beeps and stays.
    window.NextButtonClick();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_EQ(messages.beeps, 0);
    window.NextButtonClick();
    EXPECT_EQ(messages.beeps, 1);
    EXPECT_EQ(table.asString(QStringLiteral("LNAME")), QStringLiteral("Young"));
    window.FirstButtonClick();
    EXPECT_EQ(grid->currentIndex().row(), 0);
    window.PriorButtonClick();
    EXPECT_EQ(messages.beeps, 2);
    EXPECT_EQ(table.asString(QStringLiteral("LNAME")), QStringLiteral("Abbot"));
    window.LastButtonClick();
    EXPECT_EQ(grid->currentIndex().row(), 2);
}

TEST_F(BrowseTest, TagButtonTogglesTheCurrentRecordAndRepaints) {
    int toggles = 0;
    TBrowseWindow window(table, {}, [&] {
        ++toggles;
        table.setString(QStringLiteral("LNAME"), QStringLiteral("Changed"));
        table.post();
    });
    window.grid()->setCurrentIndex(window.model()->index(1, 0));
    AddressBrowseModel& model = *window.model();
    EXPECT_EQ(cell(model, 1, "LNAME"), QStringLiteral("Miller"));
    window.TagButtonClick();
    EXPECT_EQ(toggles, 1);
    // The rewritten record moved in the last-name order; the grid follows it.
    const int row = window.grid()->currentIndex().row();
    EXPECT_EQ(cell(model, row, "LNAME"), QStringLiteral("Changed"));
    emit window.grid()->doubleClicked(model.index(row, 0));
    EXPECT_EQ(toggles, 2);
}

TEST_F(BrowseTest, MovedColumnIsFirstInTheNextBrowse) {
    QStringList firstColumns;
    auto moveCity = [&](TBrowseWindow& w) {
        QHeaderView* header = w.grid()->horizontalHeader();
        const int city = w.model()->columns().indexOf(QStringLiteral("CITY"));
        header->moveSection(header->visualIndex(city), 0);
    };
    ASSERT_TRUE(RunBrowse(table, false, {}, nullptr, listPath, moveCity));
    const QStringList written = ReadFieldsList(listPath);
    // Every field, calculated and hidden ones included.
    EXPECT_EQ(written.size(), table.fieldCount());
    for (const char* name : {"Tagged", "FullName", "DisplayDate", "TAG", "MEMO", "ISDEL"})
        EXPECT_TRUE(written.contains(QString::fromLatin1(name))) << name;

    // A later browse (another dataset, as after restarting) shows City first.
    const QString path = table.filePath();
    table.close();
    TableDataset again;
    AddressFile::Configure(again);
    ASSERT_TRUE(OpenTableFile(path, again));
    ASSERT_TRUE(RunBrowse(again, false, {}, nullptr, listPath, [&](TBrowseWindow& w) {
        const QHeaderView* header = w.grid()->horizontalHeader();
        firstColumns << w.model()->columns().at(header->logicalIndex(0));
    }));
    EXPECT_EQ(firstColumns, QStringList{"CITY"});
    EXPECT_EQ(ReadFieldsList(listPath), written);
}

TEST_F(BrowseTest, BrowseWhileEditingOnlyBeeps) {
    bool shown = false;
    ASSERT_TRUE(table.edit());
    EXPECT_FALSE(
        RunBrowse(table, true, {}, nullptr, listPath, [&](TBrowseWindow&) { shown = true; }));
    EXPECT_FALSE(shown);
    EXPECT_EQ(messages.beeps, 1);
    EXPECT_FALSE(QFile::exists(listPath));
    EXPECT_TRUE(table.isEditing());
}

TEST_F(BrowseTest, RowsFollowDeletionsAndAnEmptyView) {
    int toggles = 0;
    TBrowseWindow window(table, {}, [&] { ++toggles; });
    AddressBrowseModel& model = *window.model();
    ASSERT_TRUE(table.first()); // Abbot
    ASSERT_TRUE(table.deleteRecord());
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(cell(model, 0, "LNAME"), QStringLiteral("Miller"));
    EXPECT_EQ(window.grid()->currentIndex().row(), model.rowOfRecno(table.recno()));

    // A filter nothing passes: no rows, no current row, and the buttons only beep.
    ASSERT_TRUE(table.setFilter(QStringLiteral("LNAME=\"Nobody\"")));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.currentRow(), -1);
    window.NextButtonClick();
    window.TagButtonClick();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(toggles, 0);
    EXPECT_EQ(messages.beeps, 1);
}
