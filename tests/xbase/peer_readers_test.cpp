// Tables, memos and the 26 address tags written by this engine, read back by
// independent readers: Perl XBase (records, memos, tag orders) and
// python3-dbfread (records and memos). Values and orders must agree.
#include "peer_fixture.h"
#include "table_support.h"

#include "xbase/table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sys/wait.h>

using namespace xbase;

namespace {

std::string hexed(const std::string& s) {
    static const char* d = "0123456789abcdef";
    std::string r;
    for (unsigned char c : s) {
        r.push_back(d[c >> 4]);
        r.push_back(d[c & 15]);
    }
    return r;
}

bool runScript(const std::string& cmd, std::vector<std::string>& out) {
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p)
        return false;
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    out = peer::split(text, '\n');
    if (!out.empty() && out.back().empty())
        out.pop_back();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string scriptDir() { return std::string(QB_SOURCE_DIR) + "/tests/xbase/peer/"; }

// Our own reading: one line per record in the Perl script's form.
std::vector<std::string> ourRecords(Table& t) {
    std::vector<std::string> lines;
    t.setOrder(0);
    for (t.goTop(); !t.eof(); t.skip()) {
        std::string l = "R|" + std::to_string(t.recno()) + "|" + (t.deleted() ? "*" : "");
        for (int i = 0; i < int(t.fields().size()); ++i)
            l += "|" + hexed(t.fields()[size_t(i)].type == 'M' ? t.getMemo(i) : t.getString(i));
        lines.push_back(l);
    }
    return lines;
}

class PeerReaders : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("ADDR.DBF");
        Table::create(path, tabletest::addressFields());
        auto t = Table::open(path);
        for (const auto& tag : tabletest::addressTags())
            t->createTag(tag.name, tag.expr);
        // The peer address records first (they hold the awkward cases), then
        // many more so that every tag grows interior levels.
        peer::Expected e = peer::load(peer::fixtureDir() + "/ADDRPEER.expected.txt");
        for (const peer::Record& r : e.records) {
            t->appendBlank();
            for (size_t i = 0; i < r.values.size(); ++i)
                if (!r.values[i].empty())
                    t->putString(int(i), r.values[i]);
            if (r.marked)
                t->deleteRecord();
            t->commit();
        }
        std::mt19937 rng(11);
        const std::string letters = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ\xE9\xFC\xC5\x9A\xE1";
        auto word = [&](size_t max) {
            std::string s;
            size_t n = rng() % (max + 1);
            for (size_t i = 0; i < n; ++i)
                s.push_back(letters[rng() % letters.size()]);
            return s;
        };
        for (int i = 0; i < 3000; ++i) {
            t->appendBlank();
            for (int f = 0; f < 20; ++f)
                if (rng() % 4)
                    t->putString(f, word(size_t(t->fields()[size_t(f)].width)));
            t->putLogical(20, rng() % 5 == 0);
            t->putString(21, word(8));
            if (rng() % 4 == 0)
                t->putMemo(22, word(300) + "\r\n" + word(50));
            if (rng() % 10 == 0)
                t->deleteRecord();
            t->commit();
        }
        t->close();
    }

    void compareWithPerl(Table& t) {
        std::string cmd = "perl " + scriptDir() + "read_xbase.pl " + path + " " + dir.file("ADDR.CDX");
        for (const auto& tag : tabletest::addressTags())
            cmd += std::string(" ") + tag.name;
        std::vector<std::string> out;
        ASSERT_TRUE(runScript(cmd, out)) << (out.empty() ? "" : out.front());
        std::vector<std::string> records, tags;
        for (const std::string& l : out)
            (l.rfind("R|", 0) == 0 ? records : tags).push_back(l);
        EXPECT_EQ(records, ourRecords(t));
        ASSERT_EQ(tags.size(), 26u);
        for (const std::string& l : tags) {
            auto parts = peer::split(l, '|');
            SCOPED_TRACE(parts[1]);
            t.setOrder(std::string_view(parts[1]));
            std::string ours;
            for (t.goTop(); !t.eof(); t.skip())
                ours += (ours.empty() ? "" : " ") + std::to_string(t.recno());
            EXPECT_EQ(parts[2], ours);
        }
    }

    tabletest::TempDir dir;
    std::string path;
};

TEST_F(PeerReaders, PerlXBaseReadsOurRecordsMemosAndTagOrders) {
    {
        auto t = Table::open(path);
        SCOPED_TRACE("tags maintained record by record");
        compareWithPerl(*t);
    }
    auto t = Table::open(path);
    t->pack(); // rebuilds every tag in one pass and compacts the memo file
    t->close();
    t = Table::open(path);
    SCOPED_TRACE("after pack");
    compareWithPerl(*t);
}

TEST_F(PeerReaders, DbfreadReadsOurRecordsAndMemos) {
    std::vector<std::string> out;
    ASSERT_TRUE(runScript("/usr/bin/python3 " + scriptDir() + "read_dbfread.py " + path, out))
        << (out.empty() ? "" : out.front());
    auto t = Table::open(path);
    std::vector<std::string> live, marked;
    for (t->goTop(); !t->eof(); t->skip()) {
        std::string l;
        for (int i = 0; i < int(t->fields().size()); ++i)
            l += "|" + hexed(t->fields()[size_t(i)].type == 'M' ? t->getMemo(i) : t->getString(i));
        (t->deleted() ? marked : live).push_back((t->deleted() ? "D" : "L") + l);
    }
    live.insert(live.end(), marked.begin(), marked.end());
    EXPECT_EQ(out, live);
}

} // namespace
