// Faults found by going over the engine operation by operation: a pack that
// meets a damaged memo, tags whose keys read memos, Visual FoxPro binary
// fields, and seeks on logical tags.
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace xbase;
using tabletest::TempDir;
using tabletest::readFile;
using tabletest::writeFile;

namespace {

uint16_t le16(const std::string& s, size_t at) {
    return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8);
}

// A memo that cannot be read must stop a pack before any record moves. The
// records are wide so that the table spans several of the chunks pack works
// in: the damaged memo sits in the last one.
TEST(AuditPack, UnreadableMemoLeavesTheTableAsItWas) {
    TempDir dir;
    std::string path = dir.file("WIDE.DBF");
    Table::create(path, {{"A", 'C', 250, 0, 0},
                         {"B", 'C', 250, 0, 0},
                         {"C", 'C', 250, 0, 0},
                         {"D", 'C', 250, 0, 0},
                         {"NOTES", 'M', 10, 0, 0}});
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
    const Case refused[] = {
        {"NOTES", ""}, {"UPPER(LEFT(notes, 5))", ""}, {"NAME", "\"pp\" $ NOTES"}};
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

// A Visual FoxPro table with the binary field types, built byte by byte:
// F float (text like N), I 4-byte integer, B 8-byte double, T datetime (Julian
// day and milliseconds), Y currency (integer of ten-thousandths), and the
// hidden _NullFlags system field that must not show as a field.
std::string visualFoxProTable() {
    struct Def {
        const char* name;
        char type;
        int width, decimals, flags;
    };
    const Def defs[] = {{"NAME", 'C', 6, 0, 0},  {"RATE", 'F', 8, 2, 0},
                        {"COUNT", 'I', 4, 0, 0}, {"SIZE", 'B', 8, 2, 0},
                        {"WHEN", 'T', 8, 0, 0},  {"PRICE", 'Y', 8, 4, 0},
                        {"FLAG", 'L', 1, 0, 0},  {"_NullFlags", '0', 1, 0, 0x05}};
    const int n = int(std::size(defs));
    const int headerLength = 32 + 32 * n + 1 + 263,
              recordLength = 1 + 6 + 8 + 4 + 8 + 8 + 8 + 1 + 1;
    std::string h(32, '\0');
    h[0] = char(0x30);
    h[1] = 26, h[2] = 12, h[3] = 10;
    h[4] = 2;
    h[8] = char(headerLength & 0xFF), h[9] = char(headerLength >> 8);
    h[10] = char(recordLength);
    h[29] = 3;
    int offset = 1;
    for (const Def& d : defs) {
        std::string f(32, '\0');
        std::memcpy(&f[0], d.name, std::strlen(d.name));
        f[11] = d.type;
        f[12] = char(offset);
        f[16] = char(d.width);
        f[17] = char(d.decimals);
        f[18] = char(d.flags);
        h += f;
        offset += d.width;
    }
    h += '\r';
    h += std::string(263, '\0');
    auto bytes = [](const auto& v) {
        return std::string(reinterpret_cast<const char*>(&v), sizeof v);
    };
    const int32_t count = -7;
    const double size = 2.5;
    const uint32_t when[2] = {2460370, 49530500}; // 2024-02-29 13:45:30.5
    const int64_t price = 123456;                 // 12.3456
    std::string r1 =
        " widget   12.50" + bytes(count) + bytes(size) + bytes(when) + bytes(price) + "T" + '\0';
    std::string r2 = "*" + std::string(6 + 8, ' ') + std::string(4 + 8 + 8 + 8, '\0') + " " + '\0';
    return h + r1 + r2 + '\x1A';
}

TEST(AuditForeign, VisualFoxProBinaryFieldsAreRead) {
    TempDir dir;
    writeFile(dir.file("VFP.DBF"), visualFoxProTable());
    OpenOptions ro;
    ro.readOnly = true;
    auto t = Table::open(dir.file("VFP.DBF"), ro);
    EXPECT_EQ(t->version(), TableVersion::VisualFoxPro);
    ASSERT_EQ(t->fields().size(), 7u); // _NullFlags hidden
    EXPECT_EQ(t->recCount(), 2u);

    struct Case {
        const char* field;
        const char* text;  // getString
        double number;     // getNumber (not used for T and L)
        const char* blank; // getString of the blank record
    };
    const Case cases[] = {
        {"RATE", "12.50", 12.5, ""},
        {"COUNT", "-7", -7, "0"},
        {"SIZE", "2.50", 2.5, "0.00"},
        {"WHEN", "20240229134530", 0, ""},
        {"PRICE", "12.3456", 12.3456, "0.0000"},
        {"FLAG", "T", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        int i = t->fieldIndex(c.field);
        ASSERT_GE(i, 0);
        t->go(1);
        EXPECT_EQ(t->getString(i), c.text);
        if (c.number != 0) {
            EXPECT_DOUBLE_EQ(t->getNumber(i), c.number);
        }
        EXPECT_FALSE(t->isEmpty(i));
        t->go(2);
        EXPECT_EQ(t->getString(i), c.blank);
        EXPECT_TRUE(t->isEmpty(i));
    }
    // The types in expressions: filters over each binary field.
    t->go(1);
    for (const char* cond :
         {"COUNT < 0 .and. COUNT = -7", "SIZE * 2 = 5", "PRICE > 12.34 .and. PRICE < 12.35",
          "RATE = 12.5", "DTOS(WHEN) = \"20240229\"", "FLAG"})
        EXPECT_TRUE(t->evalLogical(cond)) << cond;
    t->setFilter("COUNT <> 0");
    EXPECT_EQ(t->countVisible(), 1u);
}

// A table whose header says it has a production index that is gone opens
// (its records are all there) but does not check as sound: no tag followed
// the changes made since, and other engines refuse to open it.
TEST(AuditCheck, MissingProductionIndexIsAFault) {
    TempDir dir;
    std::string path = dir.file("LOST.DBF");
    Table::create(path, {{"NAME", 'C', 8, 0, 0}});
    {
        auto t = Table::open(path);
        t->appendBlank();
        t->putString(0, "one");
        t->createTag("NAME", "NAME");
        t->close();
    }
    std::filesystem::remove(dir.file("LOST.CDX"));
    auto t = Table::open(path);
    EXPECT_EQ(t->recCount(), 1u);
    std::vector<std::string> faults;
    t->check(faults);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("LOST.CDX is missing"), std::string::npos) << faults[0];
    // A new production index answers for the table again.
    t->createTag("NAME", "NAME");
    faults.clear();
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

// The header's date of last update (year modulo 100, month, day) changes
// when a session changes the table, and only then.
TEST(AuditHeader, DateOfLastUpdateFollowsChanges) {
    TempDir dir;
    std::string path = dir.file("DATED.DBF");
    Table::create(path, {{"NAME", 'C', 8, 0, 0}});
    auto setOld = [&] {
        std::string dbf = readFile(path);
        dbf[1] = 97, dbf[2] = 4, dbf[3] = 28;
        writeFile(path, dbf);
    };
    auto date = [&] { return readFile(path).substr(1, 3); };
    auto today = [] {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        return std::string{char((tm.tm_year + 1900) % 100), char(tm.tm_mon + 1), char(tm.tm_mday)};
    };
    setOld();
    const std::string old = date();
    {
        OpenOptions ro;
        ro.readOnly = true;
        auto t = Table::open(path, ro);
        t->goTop();
        t->close();
    }
    Table::open(path)->close(); // opened for writing, nothing changed
    EXPECT_EQ(date(), old);
    const std::string before = today();
    {
        auto t = Table::open(path);
        t->appendBlank();
        t->putString(0, "new");
        t->close();
    }
    const std::string after = today();
    EXPECT_TRUE(date() == before || date() == after) << "header date not updated";
    // A change to an existing record counts as well.
    setOld();
    {
        auto t = Table::open(path);
        t->go(1);
        t->putString(0, "changed");
        t->close();
    }
    EXPECT_NE(date(), old);
}

// Names of the visible records in the current order.
std::vector<std::string> names(Table& t) {
    std::vector<std::string> v;
    for (t.goTop(); !t.eof(); t.skip())
        v.push_back(t.getString(0));
    return v;
}

using Names = std::vector<std::string>;

class AuditTempIndex : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("TEMP.DBF");
        Table::create(path, {{"NAME", 'C', 8, 0, 0}});
        t = Table::open(path);
        for (const char* n : {"carol", "alice", "dave", "bob"}) {
            t->appendBlank();
            t->putString(0, n);
        }
        t->commit();
    }
    int tempOrder() const { return t->tagCount() + 1; }
    TempDir dir;
    std::string path;
    std::unique_ptr<Table> t;
};

// Built from the records, a temporary index is an index like any tag: it
// follows appends and changes, and reindex and pack rebuild it.
TEST_F(AuditTempIndex, BuiltFromTheRecordsItFollowsEveryChange) {
    t->createTempIndex(dir.file("BYNAME.IDX"), "NAME");
    EXPECT_EQ(names(*t), (Names{"alice", "bob", "carol", "dave"}));
    t->go(2);
    t->putString(0, "zoe"); // alice becomes zoe
    t->appendBlank();
    t->putString(0, "aaron");
    t->commit();
    t->setOrder(tempOrder());
    EXPECT_EQ(names(*t), (Names{"aaron", "bob", "carol", "dave", "zoe"}));
    t->go(3);
    t->deleteRecord(); // dave
    t->reindex();
    t->setOrder(tempOrder());
    EXPECT_EQ(names(*t), (Names{"aaron", "bob", "carol", "dave", "zoe"}));
    t->pack();
    t->setOrder(tempOrder());
    EXPECT_EQ(names(*t), (Names{"aaron", "bob", "carol", "zoe"}));
}

// Created empty, it holds only the records added to it, whatever happens to
// the table; after a pack it holds the same records under their new numbers.
TEST_F(AuditTempIndex, FilledKeyByKeyItHoldsOnlyTheRecordsGiven) {
    t->createTempIndex(dir.file("CHOSEN.IDX"), "NAME", true);
    // Current, it names its own file; in another order the production
    // index (none here) is named.
    EXPECT_EQ(t->indexFileName(), dir.file("CHOSEN.IDX"));
    t->setOrder(0);
    EXPECT_EQ(t->indexFileName(), "");
    for (uint32_t n : {4u, 3u, 1u}) { // bob, dave, carol
        t->go(n);
        t->tempKeyAdd();
    }
    t->appendBlank();
    t->putString(0, "aaron"); // not given to the index
    t->commit();
    t->setOrder(tempOrder());
    EXPECT_EQ(names(*t), (Names{"bob", "carol", "dave"}));
    t->reindex();
    t->setOrder(tempOrder());
    EXPECT_EQ(names(*t), (Names{"bob", "carol", "dave"}));
    // Record 2 (alice, not in the index) and record 3 (dave) are marked: the
    // pack moves bob from 4 to 2 and drops dave.
    t->setOrder(0);
    t->go(2);
    t->deleteRecord();
    t->go(3);
    t->deleteRecord();
    t->pack();
    t->setOrder(tempOrder());
    EXPECT_EQ(names(*t), (Names{"bob", "carol"}));
    std::vector<uint32_t> recnos;
    for (t->goTop(); !t->eof(); t->skip())
        recnos.push_back(t->recno());
    EXPECT_EQ(recnos, (std::vector<uint32_t>{2, 1}));
}

// A dBASE IV table (0x8B) with its DBT memo file: the block size stands in
// the memo header (bytes 20-21), each memo starts with FF FF 08 00 and its
// length counting those eight bytes, and its text may hold any byte.
TEST(AuditForeign, DBaseFourMemoIsReadByItsLength) {
    TempDir dir;
    std::string dbf = tabletest::nameAndMemoHeader(char(0x8B));
    dbf[1] = 97, dbf[2] = 4, dbf[3] = 28;
    dbf += std::string(" first ") + "         1";
    dbf += std::string(" none  ") + "          ";
    dbf += std::string("*third ") + "         3";
    dbf += '\x1A';
    writeFile(dir.file("FOUR.DBF"), dbf);

    const std::string one = "line one\r\nline two with \x1A inside", three(1500, 'x');
    auto memo = [](const std::string& text) {
        uint32_t length = uint32_t(text.size() + 8);
        std::string m = "\xFF\xFF\x08";
        m += '\0';
        for (int i = 0; i < 4; ++i)
            m += char(length >> (8 * i));
        return m + text;
    };
    std::string dbt(1024, '\0'); // header: next free block, block size 1024 at 20-21
    dbt[0] = 5;
    dbt[20] = 0x00, dbt[21] = 0x04;
    dbt += memo(one);
    dbt.resize(3 * 1024, '\0');
    dbt += memo(three); // blocks 3 and 4
    dbt.resize(5 * 1024, '\0');
    writeFile(dir.file("FOUR.DBT"), dbt);

    OpenOptions ro;
    ro.readOnly = true;
    auto t = Table::open(dir.file("FOUR.DBF"), ro);
    t->goTop();
    EXPECT_EQ(t->getMemo(1), one);
    t->skip();
    EXPECT_EQ(t->getMemo(1), "");
    t->skip();
    EXPECT_EQ(t->getMemo(1), three);
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

// Two openers sharing a table each count its records themselves: had both
// been allowed to append, the second record would have overwritten the
// first. Appending and emptying the table need it to oneself (as packing
// does); changing a record does not.
TEST(AuditShared, AppendingAndZapNeedAnExclusiveOpen) {
    TempDir dir;
    std::string path = dir.file("SHARED.DBF");
    Table::create(path, {{"NAME", 'C', 8, 0, 0}});
    {
        auto t = Table::open(path);
        t->appendBlank();
        t->putString(0, "first");
        t->close();
    }
    OpenOptions shared;
    shared.exclusive = false;
    auto a = Table::open(path, shared);
    auto b = Table::open(path, shared);
    try {
        a->appendBlank();
        ADD_FAILURE() << "a shared opener appended";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::State);
        EXPECT_NE(std::string(e.what()).find("SHARED.DBF"), std::string::npos) << e.what();
    }
    EXPECT_THROW(b->appendBlank(), Error);
    EXPECT_THROW(b->zap(), Error);
    b->go(1);
    b->putString(0, "changed");
    b->commit();
    a->go(1);
    EXPECT_EQ(a->getString(0), "changed");
    EXPECT_EQ(a->recCount(), 1u);
}

// With an index, a shared opener changes nothing: each opener keeps its own
// copies of the index pages, so a change would leave the others' tags wrong.
// Reading (in tag order too) still works for every opener.
TEST(AuditShared, AnIndexedTableIsChangedOnlyThroughAnExclusiveOpen) {
    TempDir dir;
    std::string path = dir.file("INDEXED.DBF");
    Table::create(path, {{"NAME", 'C', 8, 0, 0}});
    {
        auto t = Table::open(path);
        for (const char* name : {"carol", "alice", "bob"}) {
            t->appendBlank();
            t->putString(0, name);
        }
        t->createTag("NAME", "NAME");
    }
    OpenOptions shared;
    shared.exclusive = false;
    auto a = Table::open(path, shared);
    auto b = Table::open(path, shared);
    b->go(1);
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"field", [&] { b->putString(0, "zed"); }},
        {"delete", [&] { b->deleteRecord(); }},
        {"tag", [&] { b->createTag("UP", "UPPER(NAME)"); }},
        {"reindex", [&] { b->reindex(); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        try {
            change();
            ADD_FAILURE() << "a shared opener changed an indexed table";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::State);
            EXPECT_NE(std::string(e.what()).find("exclusively"), std::string::npos) << e.what();
        }
    }
    b.reset();
    a->setOrder(std::string_view("NAME"));
    std::vector<std::string> order;
    for (a->goTop(); !a->eof(); a->skip())
        order.push_back(a->getString(0));
    EXPECT_EQ(order, (std::vector<std::string>{"alice", "bob", "carol"}));
    a.reset();
    auto t = Table::open(path);
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

} // namespace
