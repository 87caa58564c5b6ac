// Sort orders: the table of orders, choosing an order on an address file,
// the status text and the checked menu item.
#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "app/sortorders.h"
#include "storage/dataset.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;

namespace {

class SortOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TableDataset spare;
        const QString path = dir.path() + QStringLiteral("/ADD0001.DBF");
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
    }
    void add(const char* lname, const char* city, const char* state) {
        AddressRecord r;
        r.lname = QString::fromLatin1(lname);
        r.city = QString::fromLatin1(city);
        r.state = QString::fromLatin1(state);
        ASSERT_TRUE(table.insert());
        ASSERT_TRUE(r.write(table));
        ASSERT_TRUE(table.post()) << table.errorText().toStdString();
    }
    QStringList column(const char* field) {
        QStringList out;
        for (bool ok = table.first(); ok && !table.eof(); ok = table.next())
            out << table.asString(QString::fromLatin1(field));
        return out;
    }
    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
};

} // namespace

TEST(SortOrders, EveryOrderNamesATagOfTheAddressFile) {
    QStringList tags;
    for (const auto& t : AddressFile::Tags())
        tags << QString::fromLatin1(t.name);
    ASSERT_EQ(SortOrders().size(), 14u);
    for (const SortOrderDef& o : SortOrders()) {
        EXPECT_TRUE(tags.contains(QString::fromLatin1(o.tag))) << o.tag;
        // The caption without its accelerator, upper-cased, is the order text,
        // which is what makes menu choices and searches select the order.
        EXPECT_EQ(QString::fromLatin1(o.caption).mid(1).toUpper(),
                  QString::fromLatin1(o.orderText));
    }
    EXPECT_EQ(SortCaptionText(10), QStringLiteral("E-mail"));
}

TEST_F(SortOrderTest, CityOrderSortsByCityThenState) {
    add("Adams", "Springfield", "MA");
    add("Baker", "Albany", "NY");
    add("Clark", "Springfield", "IL");
    SortOrderState state(&table);
    EXPECT_TRUE(state.SetOrderTo(QStringLiteral("City")));
    EXPECT_EQ(table.order(), QStringLiteral("CITY"));
    EXPECT_EQ(column("LNAME"), (QStringList{"Baker", "Clark", "Adams"}));
    EXPECT_EQ(state.statusText(), QStringLiteral("Sorted by City"));
    EXPECT_EQ(state.checkedIndex(), 5);
}

TEST_F(SortOrderTest, UnknownTextKeepsTheOrderButNotTheCheck) {
    add("Young", "Boston", "MA");
    add("Abbot", "Denver", "CO");
    SortOrderState state(&table);
    state.SetMenuOrder(QStringLiteral("&Last Name"));
    ASSERT_EQ(column("LNAME"), (QStringList{"Abbot", "Young"}));

    EXPECT_FALSE(state.SetOrderTo(QStringLiteral("Shoe Size")));
    EXPECT_EQ(state.currentOrder(), QStringLiteral("LNAME"));
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
    EXPECT_EQ(column("LNAME"), (QStringList{"Abbot", "Young"}));
    EXPECT_EQ(state.statusText(), QStringLiteral("Sorted by Shoe Size"));
    EXPECT_EQ(state.checkedIndex(), -1);
}

TEST_F(SortOrderTest, TextIsMatchedWithoutCaseAndShownAsPassed) {
    SortOrderState state(&table);
    struct Case {
        const char* text;
        const char* tag;
        int checked;
    } cases[] = {
        {"e-mail", "EMAIL", 10},
        {"FIRST NAME", "FNAME", 1},
        {"Date", "DATE", 12},
        {"Organization", "ORG", 3},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(state.SetOrderTo(QString::fromLatin1(c.text))) << c.text;
        EXPECT_EQ(table.order(), QString::fromLatin1(c.tag)) << c.text;
        EXPECT_EQ(state.checkedIndex(), c.checked) << c.text;
        EXPECT_EQ(state.statusText(), QStringLiteral("Sorted by ") + QString::fromLatin1(c.text));
    }
}

TEST_F(SortOrderTest, MissingTagLeavesThePreviousOrder) {
    SortOrderState state(&table);
    state.SetCurrentOrder(QStringLiteral("ZIP"));
    state.SetCurrentOrder(QStringLiteral("NOSUCHTAG"));
    EXPECT_EQ(state.currentOrder(), QStringLiteral("NOSUCHTAG"));
    EXPECT_EQ(table.order(), QStringLiteral("ZIP"));
    // An empty tag is remembered but selects nothing.
    state.SetCurrentOrder(QString());
    EXPECT_EQ(table.order(), QStringLiteral("ZIP"));
}

TEST_F(SortOrderTest, MenuChecksExactlyTheChosenItem) {
    SortOrderState state(&table);
    QString shown;
    QWidget parent;
    SortMenu menu(state, &parent, [&](const QString& s) { shown = s; });
    EXPECT_EQ(menu.menu()->title(), QStringLiteral("&Sort"));
    ASSERT_EQ(menu.actions().size(), 14);
    menu.actions().at(7)->trigger(); // "&Zip"
    EXPECT_EQ(shown, QStringLiteral("Sorted by Zip"));
    EXPECT_EQ(table.order(), QStringLiteral("ZIP"));
    for (int i = 0; i < 14; ++i) {
        EXPECT_TRUE(menu.actions().at(i)->isCheckable());
        EXPECT_EQ(menu.actions().at(i)->isChecked(), i == 7) << i;
    }
    menu.actions().at(0)->trigger();
    EXPECT_TRUE(menu.actions().at(0)->isChecked());
    EXPECT_FALSE(menu.actions().at(7)->isChecked());
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
}
