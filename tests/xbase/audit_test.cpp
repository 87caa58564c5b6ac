// Faults found by going over the engine operation by operation: a pack that
// meets a damaged memo, tags whose keys read memos, Visual FoxPro binary
// fields, and seeks on logical tags.
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace xbase;
using tabletest::TempDir;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

uint16_t le16(const std::string& s, size_t at) { return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }

// A memo that cannot be read must stop a pack before any record moves. The
// records are wide so that the table spans several of the chunks pack works
// in: the damaged memo sits in the last one.
TEST(AuditPack, UnreadableMemoLeavesTheTableAsItWas) {
    TempDir dir;
    std::string path = dir.file("WIDE.DBF");
    Table::create(path, {{"A", 'C', 250, 0, 0}, {"B", 'C', 250, 0, 0}, {"C", 'C', 250, 0, 0},
                         {"D", 'C', 250, 0, 0}, {"NOTES", 'M', 10, 0, 0}});
    const uint32_t n = 1000;
    {
        auto t = Table::open(path);
        for (uint32_t i = 1; i <= n; ++i) {
            t->appendBlank();
            t->putString(0, "row " + std::to_string(i));
            t->putMemo(4, "memo " + std::to_string(i));
            if (i % 10 == 1)
                t->deleteRecord();
        }
        t->close();
    }
    // Point the last record's memo past the end of the memo file.
    std::string dbf = readFile(path);
    const size_t notes = size_t(le16(dbf, 8)) + size_t(n - 1) * le16(dbf, 10) + 1 + 4 * 250;
    std::memcpy(&dbf[notes], "     99999", 10);
    writeFile(path, dbf);
    const std::string fpt = readFile(dir.file("WIDE.FPT"));

    {
        auto t = Table::open(path);
        try {
            t->pack();
            ADD_FAILURE() << "pack went through a memo past the end of the file";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::Corrupt);
            EXPECT_NE(std::string(e.what()).find("record 1000"), std::string::npos) << e.what();
        }
        t->close();
    }
    // Compared as a whole (a mismatch would print both files in full).
    EXPECT_TRUE(readFile(path) == dbf) << "the table file changed";
    EXPECT_TRUE(readFile(dir.file("WIDE.FPT")) == fpt) << "the memo file changed";
    EXPECT_FALSE(std::filesystem::exists(dir.file("WIDE.FPT.pack")));

    // Repaired by hand, the same table packs and every kept record keeps its memo.
    std::memcpy(&dbf[notes], "          ", 10);
    writeFile(path, dbf);
    auto t = Table::open(path);
    t->pack();
    ASSERT_EQ(t->recCount(), n - n / 10);
    uint32_t kept = 0;
    for (uint32_t i = 1; i <= n; ++i) {
        if (i % 10 == 1)
            continue;
        t->go(++kept);
        ASSERT_EQ(t->getString(0), "row " + std::to_string(i));
        ASSERT_EQ(t->getMemo(4), i == n ? "" : "memo " + std::to_string(i));
    }
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

// A memo is rewritten in place, outside the record: a tag keyed on it
// could not find its old entry after a change and would go stale. Such tags
// are refused; filters, evaluated afresh each time, still read memos.
TEST(AuditMemoKeys, MemoFieldsAreRefusedInTagsButWorkInFilters) {
    TempDir dir;
    std::string path = dir.file("NOTES.DBF");
    Table::create(path, {{"NAME", 'C', 8, 0, 0}, {"NOTES", 'M', 10, 0, 0}});
    auto t = Table::open(path);
    for (const char* memo : {"zebra", "apple"}) {
        t->appendBlank();
        t->putString(0, memo);
        t->putMemo(1, memo);
    }
    struct Case {
        const char* key;
        const char* cond;
    };
    const Case refused[] = {{"NOTES", ""}, {"UPPER(LEFT(notes, 5))", ""}, {"NAME", "\"pp\" $ NOTES"}};
    for (const Case& c : refused) {
        SCOPED_TRACE(c.key + std::string(" FOR ") + c.cond);
        try {
            t->createTag("MEMO", c.key, c.cond);
            ADD_FAILURE() << "tag created";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::Argument);
            EXPECT_NE(std::string(e.what()).find("memo"), std::string::npos) << e.what();
        }
        EXPECT_EQ(t->tagCount(), 0);
    }
    EXPECT_THROW(t->createTempIndex(dir.file("MEMO.IDX"), "NOTES"), Error);
    EXPECT_FALSE(std::filesystem::exists(dir.file("NOTES.CDX")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("MEMO.IDX")));

    t->setFilter("\"pp\" $ NOTES");
    t->goTop();
    EXPECT_EQ(t->recno(), 2u);
    t->putMemo(1, "pear"); // same blocks, new text: the filter sees it
    t->commit();
    EXPECT_EQ(t->countVisible(), 0u);
}

} // namespace
