// Counting the visible records must give the number navigation reaches, in
// every order: tags that hold every record, tags with a condition or unique
// keys (which hold fewer), scopes, filters and hidden deleted records.
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

using namespace xbase;
using tabletest::TempDir;

namespace {

uint32_t walk(Table& t) {
    uint32_t n = 0;
    for (t.goTop(); !t.eof(); t.skip())
        ++n;
    return n;
}

} // namespace

TEST(CountVisible, AgreesWithNavigationInEveryOrder) {
    TempDir dir;
    const std::string path = dir.file("C.DBF");
    Table::create(path, {{"NAME", 'C', 10, 0, 0}, {"AMT", 'N', 6, 0, 0}});
    auto t = Table::open(path);
    const char* names[] = {"smith", "jones", "smith", "brown", "smythe", "jones", "adams", "smith"};
    for (int i = 0; i < 8; ++i) {
        t->appendBlank();
        t->putString(0, names[i]);
        t->putNumber(1, i % 3 - 1);
    }
    t->go(3);
    t->deleteRecord();
    t->createTag("NAME", "UPPER(NAME)");
    t->createTag("POS", "UPPER(NAME)", "AMT > 0");
    t->createTag("ONCE", "UPPER(NAME)", "", false, true);
    t->createTag("DESC", "AMT", "", true);

    for (const char* tag : {"", "NAME", "POS", "ONCE", "DESC"}) {
        t->setOrder(std::string_view(tag));
        for (const char* filter : {"", "UPPER(NAME)=\"SM\"", "AMT >= 0 .and. !DELETED()"}) {
            t->setFilter(filter);
            for (bool hide : {false, true}) {
                t->setDeleted(hide);
                const uint32_t walked = walk(*t);
                t->go(2);
                EXPECT_EQ(t->countVisible(), walked) << tag << " / " << filter << " / " << hide;
                EXPECT_EQ(t->recno(), 2u) << "the count moved the record pointer";
            }
        }
        t->setDeleted(false);
        t->setFilter("");
    }
    // Without a filter the conditional and unique tags hold fewer records
    // than the file: the count must not fall back on the file's size.
    t->setOrder(std::string_view("POS"));
    EXPECT_EQ(t->countVisible(), 2u);
    t->setOrder(std::string_view("ONCE"));
    EXPECT_EQ(t->countVisible(), 5u);

    t->setOrder(std::string_view("NAME"));
    t->setFilter("AMT >= 0");
    t->setScope("S", "S");
    EXPECT_EQ(t->countVisible(), walk(*t));
}
