// A reopened tag must rebuild its compressed keys with the fill byte of its
// key type. The index file does not record the type, so a bare field of the
// width of a numeric key (8 bytes) must still read back as character keys
// padded with blanks, and a numeric tag as 8-byte numbers.
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace xbase;
using tabletest::TempDir;

namespace {

struct Row {
    const char* code;
    double amount;
};

std::vector<std::string> codesInOrder(Table& t, const char* tag) {
    t.setOrder(std::string_view(tag));
    std::vector<std::string> out;
    for (t.goTop(); !t.eof(); t.skip())
        out.push_back(t.getString(t.fieldIndex("CODE")));
    return out;
}

} // namespace

TEST(TableKeyType, ReopenedTagsKeepCharacterAndNumericKeysApart) {
    TempDir dir;
    const std::string path = dir.file("KEYS.DBF");
    Table::create(path, {{"CODE", 'C', 8, 0, 0}, {"AMOUNT", 'N', 8, 2, 0}});
    const std::vector<Row> rows = {{"MARY ANN", 3}, {"MARY", -1}, {"AB", 12.5}, {"ABC", 0}, {"", 7}};
    {
        auto t = Table::open(path);
        t->createTag("CODE", "CODE");
        t->createTag("AMOUNT", "AMOUNT");
        for (const Row& r : rows) {
            t->appendBlank();
            t->putString(0, r.code);
            t->putNumber(1, r.amount);
            t->commit();
        }
        t->close();
    }
    auto t = Table::open(path);
    const std::vector<std::string> byCode = {"", "AB", "ABC", "MARY", "MARY ANN"};
    EXPECT_EQ(codesInOrder(*t, "CODE"), byCode);
    EXPECT_EQ(codesInOrder(*t, "AMOUNT"), (std::vector<std::string>{"MARY", "ABC", "MARY ANN", "", "AB"}));
    t->setOrder(std::string_view("CODE"));
    EXPECT_TRUE(t->seek("MARY A"));
    EXPECT_EQ(t->getString(0), "MARY ANN");
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}
