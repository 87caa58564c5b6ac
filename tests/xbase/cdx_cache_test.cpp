// Seeks on an index much larger than its node cache: leaves outside the
// cache are read in place, and every answer (the entry landed on and the
// steps from it) must be what a fully cached tree gives, checked against a
// plain ordered model.
#include "xbase/error.h"
#include "xbase/index_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

using namespace xbase;
namespace fs = std::filesystem;

namespace {

using Entry = std::pair<std::vector<uint8_t>, uint32_t>;
using Model = std::set<Entry>;

constexpr int kLen = 20; // short enough that many keys fill it or nearly

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/qbcacheXXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(dir_); }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

std::vector<uint8_t> charKey(const std::string& s) {
    std::vector<uint8_t> k(size_t(kLen), ' ');
    std::memcpy(k.data(), s.data(), std::min(s.size(), size_t(kLen)));
    return k;
}

// Keys sharing long prefixes, keys ending in blanks that the next key
// continues, and runs of equal keys told apart by record number only.
std::string randomName(std::mt19937& rng) {
    static const char* stems[] = {"MARY", "MARY ANN", "MARYANN", "SMITH", "SMITHSON", "SMITH JOHN",
                                  "",     " LEADING", "ZOE",     "A",     "AB",       "ABC"};
    std::string s = stems[rng() % (sizeof stems / sizeof *stems)];
    for (int i = int(rng() % 12); i > 0; --i)
        s += char('A' + rng() % 26);
    if (rng() % 4 == 0)
        s += std::to_string(rng() % 1000);
    return s;
}

// What a seek must land on: the first entry whose key, over the sought key's
// length, is >= it (and, for a whole key with a record number, whose pair is
// >= the sought pair).
std::optional<Entry> expectSeek(const Model& m, const std::vector<uint8_t>& k, uint32_t rec) {
    // A shorter key sorts before every key it is a prefix of.
    auto it = m.lower_bound(Entry(k, k.size() < size_t(kLen) ? 0 : rec));
    return it == m.end() ? std::nullopt : std::optional<Entry>(*it);
}

// The last entry whose key, over the sought key's length, is <= it.
std::optional<Entry> expectSeekLast(const Model& m, const std::vector<uint8_t>& k) {
    std::vector<uint8_t> top = k;
    top.resize(size_t(kLen), 0xFF);
    auto it = m.upper_bound(Entry(top, UINT32_MAX));
    return it == m.begin() ? std::nullopt : std::optional<Entry>(*std::prev(it));
}

std::optional<Entry> at(IndexTree::Cursor& c, bool ok) {
    EXPECT_EQ(ok, c.valid());
    if (!ok)
        return std::nullopt;
    return Entry(std::vector<uint8_t>(c.key().begin(), c.key().end()), c.recno());
}

std::optional<Entry> neighbour(const Model& m, const Entry& e, bool forward) {
    auto it = m.find(e);
    if (forward) {
        ++it;
        return it == m.end() ? std::nullopt : std::optional<Entry>(*it);
    }
    return it == m.begin() ? std::nullopt : std::optional<Entry>(*std::prev(it));
}

struct Probe {
    std::vector<uint8_t> key; // kLen bytes or a shorter prefix
    uint32_t rec = 0;
};

std::vector<Probe> probesFor(const Model& m, std::mt19937& rng) {
    std::vector<Entry> all(m.begin(), m.end());
    std::vector<Probe> out;
    for (int i = 0; i < 1500; ++i) {
        const Entry& e = all[rng() % all.size()];
        switch (i % 6) {
        case 0: // present, first of its run
            out.push_back({e.first, 0});
            break;
        case 1: // exact pair
            out.push_back({e.first, e.second});
            break;
        case 2: // just past the pair
            out.push_back({e.first, e.second + 1});
            break;
        case 3: { // a prefix of a key
            size_t n = 1 + rng() % 8;
            out.push_back(
                {std::vector<uint8_t>(e.first.begin(), e.first.begin() + ptrdiff_t(n)), 0});
            break;
        }
        case 4: // mostly absent
            out.push_back({charKey(randomName(rng)), 0});
            break;
        default: { // between two keys
            std::vector<uint8_t> k = e.first;
            k[kLen - 1] = uint8_t(k[kLen - 1] + 1);
            out.push_back({k, 0});
        }
        }
    }
    out.push_back({charKey(""), 0});                              // before everything
    out.push_back({std::vector<uint8_t>(size_t(kLen), 0xFF), 0}); // after everything
    return out;
}

Model buildFile(const std::string& path, int entries, std::mt19937& rng) {
    TagInfo info;
    info.name = "NAME";
    info.keyExpr = "UPPER(NAME)";
    info.keyLength = kLen;
    Model m;
    auto idx = IdxFile::create(path, info);
    for (int i = 0; i < entries; ++i) {
        auto k = charKey(randomName(rng));
        uint32_t rec = 1 + rng() % 900000;
        if (m.emplace(k, rec).second)
            idx->tree().insert(Key(k.data(), k.size()), rec);
    }
    idx->close();
    return m;
}

TEST(CdxCache, SeeksOnLeavesOutsideTheCacheMatchTheModel) {
    TempDir dir;
    const std::string path = dir.file("BIG.IDX");
    std::mt19937 rng(2024);
    const Model m = buildFile(path, 30000, rng);

    // The same file read with the whole tree cached and with no room at all.
    auto roomy = IdxFile::open(path, true);
    auto tight = IdxFile::open(path, true);
    tight->setCacheBudget(0);
    for (const Probe& p : probesFor(m, rng)) {
        const auto want = expectSeek(m, p.key, p.rec);
        for (IdxFile* f : {roomy.get(), tight.get()}) {
            const bool isTight = f == tight.get();
            SCOPED_TRACE(std::string(isTight ? "no cache room, " : "cached, ") + "key \"" +
                         std::string(p.key.begin(), p.key.end()) + "\" rec " +
                         std::to_string(p.rec));
            auto c = f->tree().cursor();
            auto got = at(*c, c->seek(Key(p.key.data(), p.key.size()), p.rec));
            ASSERT_EQ(got, want);
            if (!want)
                continue;
            // Steps from a seek go on from the entry landed on.
            EXPECT_EQ(at(*c, c->next()), neighbour(m, *want, true));
            ASSERT_TRUE(c->seek(Key(p.key.data(), p.key.size()), p.rec));
            EXPECT_EQ(at(*c, c->prev()), neighbour(m, *want, false));

            auto last = at(*c, c->seekLast(Key(p.key.data(), p.key.size())));
            EXPECT_EQ(last, expectSeekLast(m, p.key));
        }
    }
    std::vector<std::string> faults;
    tight->tree().verify(faults);
    EXPECT_TRUE(faults.empty());
}

TEST(CdxCache, ChangesAfterASeekOnAnUncachedLeafAreSeenByTheNextStep) {
    TempDir dir;
    const std::string path = dir.file("CHG.IDX");
    std::mt19937 rng(77);
    Model m = buildFile(path, 8000, rng);
    auto idx = IdxFile::open(path, false);
    idx->setCacheBudget(0);
    IndexTree& t = idx->tree();
    std::vector<Entry> all(m.begin(), m.end());
    for (int i = 0; i < 200; ++i) {
        const Entry e = all[rng() % all.size()];
        if (!m.count(e))
            continue; // removed by an earlier round
        auto c = t.cursor();
        ASSERT_TRUE(c->seek(Key(e.first.data(), e.first.size()), e.second));
        ASSERT_EQ(c->recno(), e.second);
        if (i % 2 == 0) {
            // A new entry right after the one the cursor stands on.
            Entry added(e.first, e.second + 1000000 + uint32_t(i));
            t.insert(Key(added.first.data(), added.first.size()), added.second);
            m.insert(added);
            EXPECT_EQ(at(*c, c->next()), neighbour(m, e, true));
        } else {
            // The entry before it goes away.
            auto before = neighbour(m, e, false);
            if (!before)
                continue;
            ASSERT_TRUE(t.remove(Key(before->first.data(), before->first.size()), before->second));
            m.erase(*before);
            EXPECT_EQ(at(*c, c->prev()), neighbour(m, e, false));
        }
    }
    idx->close();
    auto again = IdxFile::open(path, true);
    std::vector<Entry> read;
    auto c = again->tree().cursor();
    for (bool ok = c->first(); ok; ok = c->next())
        read.emplace_back(std::vector<uint8_t>(c->key().begin(), c->key().end()), c->recno());
    EXPECT_EQ(read, std::vector<Entry>(m.begin(), m.end()));
}

} // namespace
