// The browse grid over more records than one block of record numbers: rows
// fetched in any order (from the end, the middle, backwards) are the table's
// visible records in its order, and the current row follows the table.
#include "addressbook/addressfile.h"
#include "app/browsewindow.h"
#include "app/messages.h"
#include "storage/dataset.h"

#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace qb;

namespace {

class BrowseBlocksTest : public ::testing::Test {
protected:
    // Enough records for several blocks, in an order unlike the physical one.
    static constexpr int Records = 5 * AddressBrowseModel::BlockRows + 37;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TableDataset spare;
        const QString path = dir.path() + QStringLiteral("/ADD0001.DBF");
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
        for (int i = 0; i < Records; ++i) {
            AddressRecord r;
            // Last names cycle so the name order interleaves the records.
            r.lname = QStringLiteral("N%1").arg((i * 7919) % Records, 5, 10, QLatin1Char('0'));
            r.city = (i % 3 == 0) ? QStringLiteral("Austin") : QStringLiteral("Boston");
            ASSERT_TRUE(table.insert());
            ASSERT_TRUE(r.write(table));
            ASSERT_TRUE(table.post());
        }
        ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
        ASSERT_TRUE(table.first());
    }

    // The rows as the model gives them, read in the order of `rows`.
    static std::vector<uint32_t> modelRecnos(const AddressBrowseModel& m, const std::vector<int>& rows) {
        std::vector<uint32_t> out(static_cast<size_t>(m.rowCount()));
        for (int row : rows)
            out[static_cast<size_t>(row)] = m.recnoAt(row);
        return out;
    }

    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
};

std::vector<int> readingOrder(int rows, int pattern) {
    std::vector<int> order;
    switch (pattern) {
    case 0: // top down
        for (int r = 0; r < rows; ++r)
            order.push_back(r);
        break;
    case 1: // bottom up
        for (int r = rows - 1; r >= 0; --r)
            order.push_back(r);
        break;
    default: // from the middle outwards, jumping between the halves
        for (int d = 0; d < rows; ++d) {
            const int up = rows / 2 - d - 1, down = rows / 2 + d;
            if (down < rows)
                order.push_back(down);
            if (up >= 0)
                order.push_back(up);
        }
        break;
    }
    return order;
}

} // namespace

TEST_F(BrowseBlocksTest, RowsAreTheVisibleRecordsInOrderHoweverTheyAreRead) {
    for (const char* filter : {"", "CITY=\"Boston\""}) {
        ASSERT_TRUE(table.setFilter(QString::fromLatin1(filter)));
        const std::vector<uint32_t> expected = table.visibleRecnos();
        ASSERT_GT(expected.size(), size_t(2 * AddressBrowseModel::BlockRows)) << filter;
        for (int pattern = 0; pattern < 3; ++pattern) {
            AddressBrowseModel model(table, {});
            ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size())) << filter;
            EXPECT_EQ(modelRecnos(model, readingOrder(model.rowCount(), pattern)), expected)
                << filter << " pattern " << pattern;
            EXPECT_LE(model.cachedBlocks(), AddressBrowseModel::CacheBlocks);
        }
        // The row of a record, asked before any of its neighbours was read.
        for (size_t i : {size_t(0), expected.size() / 2, expected.size() - 1, size_t(300)}) {
            AddressBrowseModel model(table, {});
            EXPECT_EQ(model.rowOfRecno(expected[i]), static_cast<int>(i)) << filter << " " << i;
        }
    }
    // A record the filter hides has no row.
    ASSERT_TRUE(table.setFilter(QStringLiteral("CITY=\"Boston\"")));
    AddressBrowseModel model(table, {});
    EXPECT_EQ(model.rowOfRecno(1), -1); // record 1 lives in Austin
    EXPECT_EQ(model.rowOfRecno(static_cast<uint32_t>(Records + 5)), -1);
}

TEST_F(BrowseBlocksTest, CurrentRowFollowsTheTableAcrossBlocks) {
    const std::vector<uint32_t> expected = table.visibleRecnos();
    TBrowseWindow window(table, {}, {});
    QTableView* grid = window.grid();
    window.LastButtonClick();
    EXPECT_EQ(grid->currentIndex().row(), Records - 1);
    EXPECT_EQ(table.recno(), expected.back());
    window.PriorButtonClick();
    EXPECT_EQ(grid->currentIndex().row(), Records - 2);

    // A jump into the middle (as a search does) and a row picked in the grid.
    const size_t middle = expected.size() / 2 + 3;
    ASSERT_TRUE(table.gotoRecno(expected[middle]));
    EXPECT_EQ(grid->currentIndex().row(), static_cast<int>(middle));
    grid->setCurrentIndex(window.model()->index(AddressBrowseModel::BlockRows + 1, 0));
    EXPECT_EQ(table.recno(), expected[AddressBrowseModel::BlockRows + 1]);
    window.FirstButtonClick();
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_EQ(table.recno(), expected.front());
}
