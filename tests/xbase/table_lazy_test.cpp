// Moving the record pointer does not read the record; its bytes are read the
// first time something looks at them. These tests run the same move sequences
// twice on identical tables: once looking at the current record after every
// step (so every record is read as soon as it becomes current) and once only
// at the marked points. What is seen at those points, the files left behind
// and the index check must not differ.
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace xbase;
using tabletest::TempDir;
using tabletest::readFile;

namespace {

// NAME C20, AMOUNT N8.2, BORN D, ACTIVE L, NOTES M; a tag on UPPER(NAME).
void makePeople(const std::string& path) {
    Table::create(path, tabletest::peopleFields());
    auto t = Table::open(path);
    const char* names[] = {"adams", "Baker", "clark", "Davis", "evans", "Frost", "green", "Hayes"};
    for (int i = 0; i < 8; ++i) {
        t->appendBlank();
        t->putString(0, names[i]);
        t->putNumber(1, (i + 1) * 10.5);
        t->putString(2, "1970010" + std::to_string(i + 1));
        t->putLogical(3, i % 2 == 0);
        if (i % 3 != 1)
            t->putMemo(4, std::string("memo of ") + names[i] + std::string(size_t(40 * i), '.'));
    }
    t->go(3);
    t->deleteRecord();
    t->go(6);
    t->deleteRecord();
    t->createTag("NAME", "UPPER(NAME)");
    t->close();
}

// Everything a caller can see of the current position and record. The key is
// left out between checkpoints: asking for it commits pending changes.
std::string observe(Table& t, bool withKey) {
    std::ostringstream o;
    o << "recno=" << t.recno() << " eof=" << t.eof() << " bof=" << t.bof();
    if (!t.eof()) {
        o << " del=" << t.deleted();
        for (int f = 0; f < 4; ++f)
            o << " [" << t.getString(f) << "]";
        o << " num=" << t.getNumber(1) << " log=" << t.getLogical(3) << " empty=" << t.isEmpty(4);
        o << " memo=[" << t.getMemo(4) << "]";
        o << " buf=["
          << std::string(reinterpret_cast<const char*>(t.recordBuffer()), size_t(t.recordLength()))
          << "]";
        if (withKey)
            o << " key=[" << t.currentKey() << "]";
    }
    return o.str();
}

// Runs one step written as a short token; returns false for the checkpoint
// token "r", which changes nothing.
bool step(Table& t, const std::string& tok, int& appended) {
    char op = tok[0];
    std::string arg = tok.substr(1);
    switch (op) {
    case 'g':
        t.go(uint32_t(std::stoul(arg)));
        break;
    case 's':
        t.skip(std::stol(arg));
        break;
    case 't':
        t.goTop();
        break;
    case 'b':
        t.goBottom();
        break;
    case 'k':
        t.seek(arg);
        break;
    case 'o':
        t.setOrder(std::stoi(arg));
        break;
    case 'w':
        t.putString(0, arg);
        break;
    case 'n':
        t.putNumber(1, std::stod(arg));
        break;
    case 'm':
        t.putMemo(4, arg);
        break;
    case 'x':
        t.deleteRecord();
        break;
    case 'u':
        t.recall();
        break;
    case 'a':
        t.appendBlank();
        t.putString(0, "NEW" + std::to_string(++appended));
        break;
    case 'D':
        t.setDeleted(arg == "1");
        break;
    case 'f':
        t.setFilter(arg);
        break;
    case 'P':
        t.pack();
        break;
    case 'Z':
        t.zap();
        break;
    case 'c':
        t.commit();
        break;
    case 'r':
        return false;
    default:
        ADD_FAILURE() << "unknown step " << tok;
    }
    return true;
}

std::vector<std::string> tokens(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string tok; std::getline(in, tok, '|');)
        if (!tok.empty())
            out.push_back(tok);
    return out;
}

struct Sequence {
    const char* name;
    const char* steps;     // tokens separated by '|'
    const char* finalName; // NAME at the last checkpoint ("" at end of file)
};

// Moves followed by reads, writes, deletions, appends and packs with no read
// in between: the cases where a record that was never read must still be
// the one changed, kept whole, or left alone.
const Sequence kSequences[] = {
    {"go then read", "g2|r|g7|r", "green"},
    {"seek then read", "o1|kDAV|r|kZZ|r|kCL|r", "clark"},
    {"skips in index order", "o1|t|s2|s3|r|s-4|r|b|s-1|r", "green"},
    {"skips in physical order", "t|s1|s1|s1|r|s-2|r|s0|r", "Baker"},
    {"write after a move keeps the other fields", "g4|wDORIS|g5|g4|r", "DORIS"},
    {"write after a seek moves the key", "o1|kEV|wAAA|t|r|kEV|r|kAAA|r", "AAA"},
    {"number after skips", "o1|t|s3|n99.5|t|s3|r", "Davis"},
    {"memo after a move reuses the record's memo", "g5|mshort|g1|g5|r|g2|mfirst memo|g2|r",
     "Baker"},
    {"delete and recall without reading", "g2|x|g7|x|g2|u|r|g7|r", "green"},
    {"hidden deleted records are skipped", "D1|t|r|s1|r|s1|r|o1|kCLA|r|b|s-2|r", "evans"},
    {"filter walks over records", "fAMOUNT > 40|t|r|s1|r|b|r|o1|t|s1|r", "evans"},
    {"append after a seek", "o1|kFR|a|g6|r|kFR|r|kNEW1|r", "NEW1"},
    {"append after skips then move back", "t|s2|a|n5|t|s2|r|b|r", "NEW1"},
    {"pack after moves", "g8|P|r|b|r|g3|wZED|t|r|g3|r", "ZED"},
    {"pack with order and hidden deleted", "o1|D1|b|P|t|r|s1|r|b|r", "Hayes"},
    {"move off the end and back", "g9|r|s-1|r|g0|r|b|s1|r|s-1|r", "Hayes"},
    {"zap after moves, then append", "o1|kGR|wX|Z|r|a|r|t|r", "NEW1"},
    {"commit with nothing changed", "g3|c|g4|c|x|c|g4|r", "Davis"},
};

class LazyRecord : public ::testing::TestWithParam<Sequence> {};

TEST_P(LazyRecord, SameAsReadingAfterEveryStep) {
    const Sequence& seq = GetParam();
    TempDir eagerDir, lazyDir;
    std::string eagerPath = eagerDir.file("PEOPLE.DBF");
    std::string lazyPath = lazyDir.file("PEOPLE.DBF");
    makePeople(eagerPath);
    makePeople(lazyPath);
    auto eager = Table::open(eagerPath);
    auto lazy = Table::open(lazyPath);

    int eagerAppended = 0, lazyAppended = 0;
    std::string lastEager, lastLazy;
    int checkpoint = 0;
    for (const std::string& tok : tokens(seq.steps)) {
        bool acted = step(*eager, tok, eagerAppended);
        std::string seen = observe(*eager, !acted); // reads the record at once
        step(*lazy, tok, lazyAppended);
        if (!acted) {
            ++checkpoint;
            lastLazy = observe(*lazy, true);
            lastEager = seen;
            ASSERT_EQ(lastEager, lastLazy) << seq.name << ", checkpoint " << checkpoint;
        }
    }
    ASSERT_GT(checkpoint, 0);
    // An independent look at the last checkpoint: the record named there.
    std::string finalName = seq.finalName;
    if (finalName.empty())
        EXPECT_TRUE(lazy->eof());
    else
        EXPECT_NE(lastLazy.find(" [" + finalName), std::string::npos) << lastLazy;

    std::vector<std::string> faults;
    lazy->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
    eager->close();
    lazy->close();

    // Same files, byte for byte (but the date of last update in the header).
    for (const auto& entry : std::filesystem::directory_iterator(eagerDir.path())) {
        std::string name = entry.path().filename().string();
        std::string a = readFile(entry.path().string());
        std::string b = readFile(lazyDir.file(name));
        if (name.ends_with(".DBF") && a.size() > 4 && b.size() > 4) {
            a.replace(1, 3, 3, '\0');
            b.replace(1, 3, 3, '\0');
        }
        EXPECT_TRUE(a == b) << seq.name << ": " << name << " differs";
    }
}

INSTANTIATE_TEST_SUITE_P(Moves, LazyRecord, ::testing::ValuesIn(kSequences),
                         [](const ::testing::TestParamInfo<Sequence>& info) {
                             std::string n;
                             for (char c : std::string(info.param.name))
                                 n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return n;
                         });

// A record changed on disk by a second opener after this one moved to it,
// but before it was read, is read as it stands when first looked at; a record
// already read is not read again behind the caller's back.
TEST(LazyRecordShared, ReadsTheRecordWhenFirstLookedAt) {
    TempDir dir;
    std::string path = dir.file("PEOPLE.DBF");
    makePeople(path);
    OpenOptions shared;
    shared.exclusive = false;
    shared.openProductionIndex = false;
    auto reader = Table::open(path, shared);
    auto writer = Table::open(path, shared);
    reader->go(4);
    EXPECT_EQ(reader->getString(0), "Davis");
    reader->go(5); // not read yet
    writer->go(5);
    writer->putString(0, "Eve");
    writer->commit();
    writer->go(4);
    writer->putString(0, "Dan");
    writer->commit();
    EXPECT_EQ(reader->getString(0), "Eve");
    EXPECT_EQ(reader->getString(0), "Eve");
    reader->go(4);
    EXPECT_EQ(reader->getString(0), "Dan");
}

// Moves alone never fail on a record's bytes; a damaged record is reported
// when it is read, and reading it again reports it again.
TEST(LazyRecordShared, RecordCutShortIsReportedWhenRead) {
    TempDir dir;
    std::string path = dir.file("PEOPLE.DBF");
    makePeople(path);
    OpenOptions o;
    o.openProductionIndex = false;
    auto t = Table::open(path, o);
    uint64_t size = std::filesystem::file_size(path);
    std::filesystem::resize_file(path, size - uint64_t(t->recordLength()) - 1);
    t->go(8);
    EXPECT_EQ(t->recno(), 8u);
    EXPECT_THROW(t->getString(0), Error);
    EXPECT_THROW(t->deleted(), Error);
    t->go(7);
    EXPECT_EQ(t->getString(0), "green");
}

} // namespace
