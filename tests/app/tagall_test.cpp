// Tagging every record a dataset shows, cancelling it, and clearing tags.
#include "addressbook/addressfile.h"
#include "addressbook/tagid.h"
#include "app/messages.h"
#include "app/tagall.h"
#include "storage/dataset.h"
#include "storage/settings.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qb;

namespace {

class TagAllTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetGlobalTagId(QStringLiteral("ID1"));
        TableDataset spare;
        const QString path = dir.path() + QStringLiteral("/ADD0001.DBF");
        ASSERT_TRUE(CreateAddressFile(path, spare));
        AddressFile::Configure(table);
        ASSERT_TRUE(OpenTableFile(path, table));
        const char* const rows[][2] = {
            {"Adams", "OLD"}, {"Baker", ""}, {"Clark", ""}, {"Dunn", ""}, {"Evans", ""}};
        for (const auto& r : rows) {
            ASSERT_TRUE(table.insert());
            table.setString(QStringLiteral("LNAME"), QString::fromLatin1(r[0]));
            table.setString(QStringLiteral("TAG"), QString::fromLatin1(r[1]));
            ASSERT_TRUE(table.post());
        }
        ASSERT_TRUE(table.setOrder(QStringLiteral("LNAME")));
    }
    void TearDown() override { SetGlobalTagId(QString()); }
    // Last names with their TAG fields, over every record of the file.
    QStringList tags() {
        table.setFilter(QString());
        QStringList out;
        for (bool ok = table.first(); ok && !table.eof(); ok = table.next())
            out << table.asString(QStringLiteral("LNAME")) + QLatin1Char('=') +
                       table.asString(QStringLiteral("TAG"));
        return out;
    }
    QTemporaryDir dir;
    MessageScript messages;
    TableDataset table;
};

} // namespace

TEST_F(TagAllTest, TagsEveryRecordTheFilterShows) {
    ASSERT_TRUE(table.setFilter(QStringLiteral("LNAME>=\"C\"")));
    ASSERT_TRUE(table.last());
    int scrolls = 0;
    QObject::connect(&table, &TableDataset::afterScroll, [&] { ++scrolls; });
    TTagAllRecords window(table);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tagging"));
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Tagging Records"));
    EXPECT_TRUE(window.okButton()->isHidden());
    window.run();
    EXPECT_EQ(window.taggedCount(), 3);
    EXPECT_FALSE(window.cancelled());
    EXPECT_EQ(window.statusLabel()->text(), QStringLiteral("Complete"));
    EXPECT_TRUE(window.progressLabel()->text().isEmpty());
    EXPECT_TRUE(window.cancelButton()->isHidden());
    EXPECT_FALSE(window.okButton()->isHidden());
    // Back on the first record, with the display suspended during the run.
    EXPECT_EQ(table.asString(QStringLiteral("LNAME")), QStringLiteral("Clark"));
    EXPECT_FALSE(table.controlsDisabled());
    EXPECT_LE(scrolls, 2);
    EXPECT_EQ(tags(), (QStringList{"Adams=OLD", "Baker=", "Clark=ID1", "Dunn=ID1", "Evans=ID1"}));
}

TEST_F(TagAllTest, CancelAsksAndStopsEarly) {
    struct Case {
        bool yes;
        int tagged;
        const char* status;
        QStringList after;
    } cases[] = {
        {true,
         1,
         "Cancelled before completion",
         {"Adams=YES", "Baker=", "Clark=", "Dunn=", "Evans="}},
        {false, 5, "Complete", {"Adams=NO", "Baker=NO", "Clark=NO", "Dunn=NO", "Evans=NO"}}};
    for (const Case& c : cases) {
        SetGlobalTagId(c.yes ? QStringLiteral("YES") : QStringLiteral("NO"));
        messages.clear();
        messages.answer(c.yes);
        TTagAllRecords window(table);
        // The click arrives while the run lets pending events through.
        QTimer::singleShot(0, &window, &TTagAllRecords::CancelButtonClick);
        window.run();
        EXPECT_EQ(window.taggedCount(), c.tagged);
        EXPECT_EQ(window.statusLabel()->text(), QString::fromLatin1(c.status));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, QStringLiteral("Cancel Tagging?"));
        EXPECT_EQ(messages.shown[0].title, QStringLiteral("CANCEL"));
        EXPECT_EQ(tags().join(','), c.after.join(',')) << c.yes;
    }
}

TEST_F(TagAllTest, TagAllFilterMatchesAsksFirst) {
    messages.answer(false);
    bool ran = false;
    EXPECT_FALSE(TagAllFilterMatches(table, nullptr, [&](TTagAllRecords&) { ran = true; }));
    EXPECT_FALSE(ran);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Tag all records matching filter?"));
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("TAG ALL"));

    ASSERT_TRUE(table.last());
    EXPECT_TRUE(TagAllFilterMatches(table, nullptr, [](TTagAllRecords& w) { w.run(); }));
    EXPECT_EQ(table.asString(QStringLiteral("LNAME")), QStringLiteral("Adams"));
    EXPECT_EQ(tags(),
              (QStringList{"Adams=ID1", "Baker=ID1", "Clark=ID1", "Dunn=ID1", "Evans=ID1"}));
}

TEST_F(TagAllTest, ClearTagsChangesTheIdWithoutWritingRecords) {
    ASSERT_TRUE(table.first());
    table.setString(QStringLiteral("TAG"), GlobalTagId());
    ASSERT_TRUE(table.post());
    ASSERT_TRUE(table.asBool(QStringLiteral("Tagged")));
    const QStringList before = tags();

    IniFile ini(dir.path() + QStringLiteral("/QUILLB.ini"));
    ClearAllTags(ini);
    EXPECT_NE(GlobalTagId(), QStringLiteral("ID1"));
    EXPECT_FALSE(GlobalTagId().isEmpty());
    EXPECT_EQ(ini.readString(QStringLiteral("Misc"), QStringLiteral("GlobalTagId")), GlobalTagId());
    EXPECT_EQ(tags(), before);
    table.first();
    table.resync();
    EXPECT_FALSE(table.asBool(QStringLiteral("Tagged")));
    EXPECT_TRUE(messages.shown.empty());
}
