// Tables written and read back through the work area: field formatting,
// memos, appends, deletion marks, pack, zap and the file bytes they leave.
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace xbase;
using tabletest::TempDir;
using tabletest::readFile;
using tabletest::writeFile;

namespace {

OpenOptions noIndex() {
    OpenOptions o;
    o.openProductionIndex = false;
    return o;
}

class People : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("PEOPLE.DBF");
        Table::create(path, tabletest::peopleFields());
    }
    TempDir dir;
    std::string path;
};

TEST_F(People, NewTableHeaderAndMemoFileAreFoxProBytes) {
    std::string dbf = readFile(path);
    ASSERT_EQ(dbf.size(), size_t(32 + 5 * 32 + 1 + 1));
    EXPECT_EQ(uint8_t(dbf[0]), 0xF5);         // memo: FoxPro 2.x with FPT
    EXPECT_EQ(uint8_t(dbf[29]), 0x03);        // Windows-1252
    EXPECT_EQ(uint8_t(dbf[28]), 0x00);        // no index yet
    EXPECT_EQ(uint8_t(dbf[8]) | uint8_t(dbf[9]) << 8, 32 + 5 * 32 + 1);
    EXPECT_EQ(uint8_t(dbf[10]), 1 + 20 + 8 + 8 + 1 + 10);
    EXPECT_EQ(uint8_t(dbf[32 + 5 * 32]), 0x0D);
    EXPECT_EQ(uint8_t(dbf.back()), 0x1A);
    std::string fpt = readFile(dir.file("PEOPLE.FPT"));
    ASSERT_EQ(fpt.size(), 512u);
    EXPECT_EQ(fpt.substr(0, 8), std::string("\0\0\0\x08\0\0\0\x40", 8));

    Table::create(dir.file("PLAIN.DBF"), {{"A", 'C', 3, 0, 0}});
    EXPECT_EQ(uint8_t(readFile(dir.file("PLAIN.DBF"))[0]), 0x03);
    EXPECT_THROW(Table::create(path, tabletest::peopleFields()), Error); // never replaces
}

TEST_F(People, ValuesAreFormattedCutAndReadBack) {
    struct Case {
        const char* field;
        double number;
        const char* stored;
    };
    // Numbers are right-aligned to width and decimals; ones that do not fit
    // become asterisks rather than losing digits.
    const Case numbers[] = {
        {"AMOUNT", 12.5, "   12.50"},   {"AMOUNT", -3.125, "   -3.13"}, {"AMOUNT", 99999.99, "99999.99"},
        {"AMOUNT", 100000, "********"}, {"AMOUNT", 0, "    0.00"},     {"AMOUNT", -9999.999, "********"},
        {"AMOUNT", -0.004, "    0.00"}, // rounds to zero: no minus sign
    };
    auto t = Table::open(path, noIndex());
    int amount = t->fieldIndex("amount");
    for (const Case& c : numbers) {
        SCOPED_TRACE(c.number);
        t->appendBlank();
        t->putNumber(amount, c.number);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(t->recordBuffer()) + t->fields()[amount].offset, 8),
                  c.stored);
    }
    t->appendBlank();
    t->putString(t->fieldIndex("NAME"), "A name longer than twenty characters");
    t->putString(t->fieldIndex("BORN"), "20000229");
    t->putLogical(t->fieldIndex("ACTIVE"), true);
    t->putString(amount, " 7.5 ");
    t->commit();
    uint32_t last = t->recno();
    t->close();

    auto r = Table::open(path, noIndex());
    r->go(last);
    EXPECT_EQ(r->getString(r->fieldIndex("NAME")), "A name longer than t");
    EXPECT_EQ(r->getString(r->fieldIndex("BORN")), "20000229");
    EXPECT_EQ(r->getString(r->fieldIndex("ACTIVE")), "T");
    EXPECT_TRUE(r->getLogical(r->fieldIndex("ACTIVE")));
    EXPECT_DOUBLE_EQ(r->getNumber(amount), 7.5);
    EXPECT_EQ(r->getString(amount), "7.50");
    // A zero reads as empty.
    r->go(5);
    EXPECT_TRUE(r->isEmpty(amount));
    r->go(1);
    EXPECT_FALSE(r->isEmpty(amount));
    EXPECT_EQ(r->getString(r->fieldIndex("NAME")), "");
    EXPECT_EQ(r->getString(r->fieldIndex("ACTIVE")), "");
    EXPECT_FALSE(r->getLogical(r->fieldIndex("ACTIVE")));
    EXPECT_TRUE(r->isEmpty(r->fieldIndex("NAME")));
    EXPECT_TRUE(r->isEmpty(r->fieldIndex("NOTES")));
}

TEST_F(People, MemosGrowIntoNewBlocksAndRewriteInPlaceWhenTheyFit) {
    auto t = Table::open(path, noIndex());
    int notes = t->fieldIndex("NOTES");
    t->appendBlank();
    t->putMemo(notes, std::string(56, 'a')); // header + 56 bytes = one 64-byte block
    t->commit();
    EXPECT_EQ(t->getString(notes).size(), 56u);
    std::string field(reinterpret_cast<const char*>(t->recordBuffer()) + t->fields()[notes].offset, 10);
    EXPECT_EQ(field, "         8");
    t->appendBlank();
    t->putMemo(notes, "second");
    t->commit();
    // Record 1's memo grows past its block: it moves to the end.
    t->go(1);
    t->putMemo(notes, std::string(57, 'b'));
    t->commit();
    field.assign(reinterpret_cast<const char*>(t->recordBuffer()) + t->fields()[notes].offset, 10);
    EXPECT_EQ(field, "        10");
    // Shorter text fits where it is.
    t->putMemo(notes, "short");
    t->commit();
    field.assign(reinterpret_cast<const char*>(t->recordBuffer()) + t->fields()[notes].offset, 10);
    EXPECT_EQ(field, "        10");
    t->go(2);
    t->putMemo(notes, "");
    t->commit();
    EXPECT_TRUE(t->isEmpty(notes));
    t->close();

    auto r = Table::open(path, noIndex());
    r->go(1);
    EXPECT_EQ(r->getMemo(notes), "short");
    r->go(2);
    EXPECT_EQ(r->getMemo(notes), "");
    std::string fpt = readFile(dir.file("PEOPLE.FPT"));
    EXPECT_EQ(uint8_t(fpt[3]), 12); // next free block after 8, 9 (record 2), 10-11
}

TEST_F(People, PackRemovesMarkedRecordsAndCompactsTheMemoFile) {
    auto t = Table::open(path, noIndex());
    int name = t->fieldIndex("NAME"), notes = t->fieldIndex("NOTES");
    for (int i = 1; i <= 10; ++i) {
        t->appendBlank();
        t->putString(name, "n" + std::to_string(i));
        t->putMemo(notes, std::string(size_t(100 * i), char('a' + i)));
        if (i % 3 == 0)
            t->deleteRecord();
        t->commit();
    }
    std::vector<int> progress;
    t->setProgressHook([&](int p) { progress.push_back(p); });
    size_t before = readFile(dir.file("PEOPLE.FPT")).size();
    t->pack();
    EXPECT_EQ(t->recCount(), 7u);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
    t->close();

    EXPECT_LT(readFile(dir.file("PEOPLE.FPT")).size(), before);
    std::string dbf = readFile(path);
    EXPECT_EQ(dbf.size(), size_t(193 + 7 * 48 + 1));
    auto r = Table::open(path, noIndex());
    std::vector<std::string> names;
    for (r->goTop(); !r->eof(); r->skip()) {
        names.push_back(r->getString(name));
        int i = std::stoi(names.back().substr(1));
        EXPECT_EQ(r->getMemo(notes), std::string(size_t(100 * i), char('a' + i)));
        EXPECT_FALSE(r->deleted());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"n1", "n2", "n4", "n5", "n7", "n8", "n10"}));
    r->zap();
    EXPECT_EQ(r->recCount(), 0u);
    EXPECT_TRUE(r->eof());
    r->close();
    EXPECT_EQ(readFile(path).size(), 193u + 1);
    EXPECT_EQ(readFile(dir.file("PEOPLE.FPT")).size(), 512u);
}

TEST_F(People, NavigationInPhysicalOrderHonoursHiddenDeletions) {
    auto t = Table::open(path, noIndex());
    for (int i = 1; i <= 5; ++i) {
        t->appendBlank();
        t->putNumber(t->fieldIndex("AMOUNT"), i);
        if (i == 1 || i == 3 || i == 5)
            t->deleteRecord();
    }
    t->setDeleted(true);
    t->goTop();
    EXPECT_EQ(t->recno(), 2u);
    t->skip();
    EXPECT_EQ(t->recno(), 4u);
    t->skip();
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(t->recno(), 6u);
    t->skip(-1);
    EXPECT_EQ(t->recno(), 4u);
    t->skip(-5);
    EXPECT_TRUE(t->bof());
    EXPECT_EQ(t->recno(), 2u);
    t->goBottom();
    EXPECT_EQ(t->recno(), 4u);
    EXPECT_EQ(t->countVisible(), 2u);
    t->setDeleted(false);
    EXPECT_EQ(t->countVisible(), 5u);
    t->go(3);
    EXPECT_TRUE(t->deleted());
    t->recall();
    t->go(99);
    EXPECT_TRUE(t->eof());
    t->close();
    auto r = Table::open(path, noIndex());
    r->go(3);
    EXPECT_FALSE(r->deleted());
    r->go(5);
    EXPECT_TRUE(r->deleted());
}

TEST_F(People, EmptyTableIsAtBothEnds) {
    auto t = Table::open(path, noIndex());
    EXPECT_TRUE(t->eof());
    EXPECT_TRUE(t->bof());
    EXPECT_EQ(t->recno(), 1u);
    t->skip();
    EXPECT_TRUE(t->eof());
    EXPECT_THROW(t->putString(0, "x"), Error);
    EXPECT_THROW(t->deleteRecord(), Error);
}

TEST_F(People, SecondExclusiveOpenIsRefusedEvenFromAnotherProcess) {
    auto t = Table::open(path, noIndex());
    pid_t child = fork();
    if (child == 0) {
        int code = 3;
        try {
            Table::open(path, noIndex());
            code = 0;
        } catch (const Error& e) {
            code = (e.code() == Error::Code::Locked &&
                    std::string(e.what()).find("is in use by another process") != std::string::npos)
                       ? 1
                       : 2;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    t->close();
    EXPECT_NO_THROW(Table::open(path, noIndex())); // released on close
}

TEST_F(People, SharedOpenersCoexistButExcludeAnExclusiveOne) {
    OpenOptions shared = noIndex();
    shared.exclusive = false;
    auto a = Table::open(path, shared);
    auto b = Table::open(path, shared);
    try {
        Table::open(path, noIndex());
        ADD_FAILURE() << "exclusive open succeeded";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::Locked);
    }
}

TEST_F(People, ReadOnlyTableRefusesChanges) {
    OpenOptions ro = noIndex();
    ro.readOnly = true;
    {
        auto w = Table::open(path, noIndex());
        w->appendBlank();
    }
    std::string before = readFile(path);
    auto t = Table::open(path, ro);
    t->goTop();
    EXPECT_THROW(t->appendBlank(), Error);
    EXPECT_THROW(t->putString(0, "x"), Error);
    EXPECT_THROW(t->deleteRecord(), Error);
    EXPECT_THROW(t->pack(), Error);
    t->close();
    EXPECT_EQ(readFile(path), before);
}

TEST_F(People, CopyStructureMakesAnEmptyTwin) {
    auto t = Table::open(path, noIndex());
    t->appendBlank();
    t->copyStructure(dir.file("COPY.DBF"));
    auto c = Table::open(dir.file("COPY.DBF"), noIndex());
    EXPECT_EQ(c->recCount(), 0u);
    ASSERT_EQ(c->fields().size(), t->fields().size());
    for (size_t i = 0; i < c->fields().size(); ++i) {
        EXPECT_EQ(c->fields()[i].name, t->fields()[i].name);
        EXPECT_EQ(c->fields()[i].width, t->fields()[i].width);
        EXPECT_EQ(c->fields()[i].offset, t->fields()[i].offset);
    }
}

TEST(TableCreate, RejectsBadFieldDefinitions) {
    TempDir dir;
    const std::vector<std::vector<FieldDef>> bad = {
        {},
        {{"", 'C', 5, 0, 0}},
        {{"TOOLONGNAME1", 'C', 5, 0, 0}},
        {{"1ST", 'C', 5, 0, 0}},
        {{"A", 'C', 0, 0, 0}},
        {{"A", 'C', 255, 0, 0}},
        {{"A", 'N', 5, 4, 0}},
        {{"A", 'X', 5, 0, 0}},
        {{"A", 'C', 5, 0, 0}, {"a", 'N', 5, 0, 0}},
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        std::string p = dir.file("BAD" + std::to_string(i) + ".DBF");
        EXPECT_THROW(Table::create(p, bad[i]), Error);
        EXPECT_FALSE(std::filesystem::exists(p));
    }
}

// Damaged files give an error naming the file, or a documented recovery,
// and are never written to.
TEST(TableCorrupt, DamagedHeadersAreRefusedWithoutTouchingTheFile) {
    TempDir dir;
    std::string good = dir.file("GOOD.DBF");
    Table::create(good, {{"NAME", 'C', 10, 0, 0}, {"N", 'N', 5, 0, 0}});
    {
        auto t = Table::open(good, noIndex());
        for (int i = 0; i < 3; ++i) {
            t->appendBlank();
            t->putString(0, "rec" + std::to_string(i));
        }
    }
    const std::string bytes = readFile(good);
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    auto put16 = [](std::string& s, size_t at, unsigned v) {
        s[at] = char(v & 0xFF);
        s[at + 1] = char(v >> 8);
    };
    const Case cases[] = {
        {"empty file", [](std::string& s) { s.clear(); }},
        {"cut inside the header", [](std::string& s) { s.resize(40); }},
        {"unknown version byte", [](std::string& s) { s[0] = 0x7F; }},
        {"header length beyond the file", [&](std::string& s) { put16(s, 8, 60000); }},
        {"header length too small", [&](std::string& s) { put16(s, 8, 20); }},
        {"record length disagrees", [&](std::string& s) { put16(s, 10, 99); }},
        {"record length zero", [&](std::string& s) { put16(s, 10, 0); }},
        {"field width zero", [](std::string& s) { s[32 + 16] = 0; }},
        {"field type unknown", [](std::string& s) { s[32 + 11] = 'Z'; }},
        {"field name garbage", [](std::string& s) { s[32] = char(0xFF); }},
        {"no terminator", [](std::string& s) { s[32 + 64] = 'X'; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = bytes;
        c.damage(damaged);
        std::string p = dir.file("BAD.DBF");
        writeFile(p, damaged);
        try {
            Table::open(p, noIndex());
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("BAD.DBF"), std::string::npos) << e.what();
        }
        EXPECT_EQ(readFile(p), damaged);
    }
}

TEST(TableCorrupt, RecordCountBeyondTheFileReadsTheWholeRecordsPresent) {
    TempDir dir;
    std::string p = dir.file("CUT.DBF");
    Table::create(p, {{"NAME", 'C', 10, 0, 0}});
    {
        auto t = Table::open(p, noIndex());
        for (int i = 0; i < 5; ++i) {
            t->appendBlank();
            t->putString(0, "rec" + std::to_string(i + 1));
        }
    }
    std::string bytes = readFile(p);
    bytes[4] = char(200); // claims 200 records
    bytes.resize(bytes.size() - 1 - 11 - 4); // last record cut in the middle, no end mark
    writeFile(p, bytes);
    OpenOptions ro = noIndex();
    ro.readOnly = true;
    auto t = Table::open(p, ro);
    EXPECT_EQ(t->recCount(), 3u);
    std::vector<std::string> got;
    for (t->goTop(); !t->eof(); t->skip())
        got.push_back(t->getString(0));
    EXPECT_EQ(got, (std::vector<std::string>{"rec1", "rec2", "rec3"}));
    t->close();
    EXPECT_EQ(readFile(p), bytes);
}

TEST(TableCorrupt, MemoPointersPastTheEndAreReportedPerRecord) {
    TempDir dir;
    std::string p = dir.file("MEMO.DBF");
    Table::create(p, {{"NAME", 'C', 4, 0, 0}, {"NOTES", 'M', 10, 0, 0}});
    {
        auto t = Table::open(p, noIndex());
        t->appendBlank();
        t->putMemo(1, "fine");
        t->appendBlank();
        t->putMemo(1, "will be cut");
        t->appendBlank();
        t->putString(1, "x");
    }
    std::string dbf = readFile(p);
    // Record 2 points far beyond the memo file; record 3 holds letters.
    size_t rec2 = 97 + 15 + 5;
    dbf.replace(rec2, 10, "    999999");
    dbf.replace(rec2 + 15, 10, "      abcd");
    writeFile(p, dbf);
    std::string fpt = readFile(dir.file("MEMO.FPT"));
    fpt[64 * 8 + 5] = char(0x7F); // record 1's memo claims 8 MB
    writeFile(dir.file("MEMO.FPT"), fpt);
    OpenOptions ro = noIndex();
    ro.readOnly = true;
    auto t = Table::open(p, ro);
    for (uint32_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        t->go(n);
        try {
            t->getMemo(1);
            ADD_FAILURE() << "read";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::Corrupt);
            EXPECT_NE(std::string(e.what()).find("MEMO."), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(t->getString(0), "");
}

TEST(TableOpen, MissingFilesAreNamed) {
    TempDir dir;
    try {
        Table::open(dir.file("NONE.DBF"));
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::NotFound);
        EXPECT_NE(std::string(e.what()).find("NONE.DBF"), std::string::npos);
    }
    std::string p = dir.file("NOMEMO.DBF");
    Table::create(p, {{"NOTES", 'M', 10, 0, 0}});
    std::filesystem::remove(dir.file("NOMEMO.FPT"));
    try {
        Table::open(p);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::NotFound);
        EXPECT_NE(std::string(e.what()).find("NOMEMO.FPT"), std::string::npos);
    }
}

} // namespace

namespace {

// A dBASE III table with a DBT memo file, built byte by byte: 512-byte
// blocks, text ending at 0x1A.
TEST(TableForeign, DBaseThreeMemoIsRead) {
    TempDir dir;
    std::string dbf = tabletest::nameAndMemoHeader(char(0x83));
    dbf += std::string(" first ") + "0000000001";
    dbf += std::string(" secnd ") + "          ";
    dbf += std::string("*third ") + "         2";
    dbf += '\x1A';
    writeFile(dir.file("OLD.DBF"), dbf);
    std::string dbt(512, '\0');
    dbt[0] = 3;
    dbt += "line one\r\nline two";
    dbt += "\x1A\x1A";
    dbt.resize(1024, '\0');
    dbt += "x";
    dbt += "\x1A\x1A";
    writeFile(dir.file("OLD.DBT"), dbt);

    OpenOptions ro;
    ro.readOnly = true;
    auto t = Table::open(dir.file("OLD.DBF"), ro);
    EXPECT_EQ(t->version(), TableVersion::DBase3Memo);
    t->goTop();
    EXPECT_EQ(t->getString(0), "first");
    EXPECT_EQ(t->getMemo(1), "line one\r\nline two"); // leading zeros accepted
    t->skip();
    EXPECT_EQ(t->getMemo(1), "");
    t->skip();
    EXPECT_TRUE(t->deleted());
    EXPECT_EQ(t->getMemo(1), "x");
}

} // namespace
