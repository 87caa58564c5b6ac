// Search: the seek in a chosen order and the dialog's texts.
#include "addressbook/addressfile.h"
#include "app/messages.h"
#include "app/searchdialog.h"
#include "app/sortorders.h"
#include "storage/dataset.h"
#include "xbase/table.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qb;

namespace {

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TableDataset spare;
        const QString path = dir.path() + QStringLiteral("/ADD0001.DBF");
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
        struct Row {
            const char *lname, *fname, *city, *date;
        } rows[] = {
            {"Smith", "Zoe", "Boston", "19960105"},   {"Jonas", "Bea", "Albany", "19971231"},
            {"Adams", "Al", "jonesboro", "19970301"}, {"Jones", "Ann", "Chicago", "19980704"},
            {"jonathan", "Cy", "Denver", ""},
        };
        for (const Row& r : rows) {
            AddressRecord rec;
            rec.lname = QString::fromLatin1(r.lname);
            rec.fname = QString::fromLatin1(r.fname);
            rec.city = QString::fromLatin1(r.city);
            rec.date = QString::fromLatin1(r.date);
            ASSERT_TRUE(table.insert());
            ASSERT_TRUE(rec.write(table));
            ASSERT_TRUE(table.post());
        }
        state.setTable(&table);
        state.SetOrderTo(QStringLiteral("Last Name"));
    }
    QString lname() const { return table.asString(QStringLiteral("LNAME")); }
    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
    SortOrderState state;
};

constexpr int kLastName = 0, kCity = 5, kDate = 12;

} // namespace

TEST_F(SearchTest, FindsTheFirstKeyBeginningWithTheText) {
    struct Case {
        int order;
        const char* text;
        const char* lname;
        const char* tag;
    } cases[] = {
        {kLastName, "jon", "Jonas", "LNAME"},  // JONAS < JONATHAN < JONES
        {kLastName, "JONE", "Jones", "LNAME"}, // case ignored both ways
        {kLastName, "jonath", "jonathan", "LNAME"},
        {kCity, "jon", "Adams", "CITY"},  // the city, not the last name
        {kDate, "1997", "Adams", "DATE"}, // 19970301 before 19971231
        {kDate, "199712", "Jonas", "DATE"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(table.first());
        EXPECT_TRUE(SearchFor(table, state, c.order, QString::fromLatin1(c.text))) << c.text;
        EXPECT_EQ(lname(), QString::fromLatin1(c.lname)) << c.text;
        EXPECT_EQ(table.order(), QString::fromLatin1(c.tag)) << c.text;
        EXPECT_EQ(state.checkedIndex(), c.order);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SearchTest, NoMatchStaysOnTheCurrentRecordSilently) {
    // Soft seek would land on the next key; the search must come back.
    struct Case {
        int order;
        const char* text;
    } cases[] = {{kLastName, "xyz"}, {kLastName, "jonb"}, {kDate, "1999"}, {kCity, "aaa"}};
    for (const Case& c : cases) {
        ASSERT_TRUE(SearchFor(table, state, kLastName, QStringLiteral("Smith")));
        const uint32_t here = table.recno();
        EXPECT_FALSE(SearchFor(table, state, c.order, QString::fromLatin1(c.text))) << c.text;
        EXPECT_EQ(table.recno(), here) << c.text;
        EXPECT_EQ(lname(), QStringLiteral("Smith"));
        // The engine is left with soft seek off, exact comparison as it was.
        EXPECT_FALSE(table.engine()->softSeek());
    }
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(messages.beeps, 0);
}

TEST_F(SearchTest, EmptyTextChangesNothing) {
    ASSERT_TRUE(SearchFor(table, state, kLastName, QStringLiteral("Jones")));
    const uint32_t here = table.recno();
    EXPECT_FALSE(SearchFor(table, state, kCity, QString()));
    EXPECT_EQ(table.recno(), here);
    EXPECT_EQ(table.order(), QStringLiteral("LNAME"));
}

TEST(SearchDialog, LabelFollowsTheChosenOrder) {
    TSearchDialog dialog(5);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Search"));
    ASSERT_EQ(dialog.orderCombo()->count(), 14);
    EXPECT_EQ(dialog.orderCombo()->itemText(0), QStringLiteral("Last Name"));
    EXPECT_EQ(dialog.orderIndex(), 5);
    EXPECT_EQ(dialog.searchLabel()->text(), QStringLiteral("Search City starting with..."));
    dialog.orderCombo()->setCurrentIndex(12);
    dialog.OrderChange();
    EXPECT_EQ(dialog.searchLabel()->text(), QStringLiteral("Search Date starting with..."));

    TSearchDialog unchecked(-1);
    EXPECT_EQ(unchecked.searchLabel()->text(), QStringLiteral("Search Last Name starting with..."));
}

TEST_F(SearchTest, DialogOkSearchesCancelAndEmptyTextDoNot) {
    struct Case {
        bool ok;
        const char* text;
        bool searched;
        const char* lname;
    } cases[] = {
        {false, "1997", false, "Adams"}, {true, "", false, "Adams"}, {true, "1997", true, "Adams"}};
    for (const Case& c : cases) {
        ASSERT_TRUE(SearchFor(table, state, kLastName, QStringLiteral("smi")));
        int after = -1;
        const bool searched = RunSearchDialog(
            table, state, nullptr, [&](int i) { after = i; },
            [&](TSearchDialog& d) {
                EXPECT_EQ(d.orderIndex(), kLastName); // the checked order is preselected
                d.orderCombo()->setCurrentIndex(kDate);
                d.searchEdit()->setText(QString::fromLatin1(c.text));
                c.ok ? d.accept() : d.reject();
            });
        EXPECT_EQ(searched, c.searched) << c.text;
        EXPECT_EQ(after, c.searched ? kDate : -1);
        EXPECT_EQ(table.order(), QString::fromLatin1(c.searched ? "DATE" : "LNAME"));
        EXPECT_EQ(lname(), QString::fromLatin1(c.searched ? c.lname : "Smith"));
    }
}
