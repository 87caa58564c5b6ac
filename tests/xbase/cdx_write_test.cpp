// Writing compact index files: random inserts and removals checked against a
// plain ordered model, across close and reopen, with the structural check
// clean and freed pages reused.
#include "xbase/cdx_format.h"
#include "xbase/error.h"
#include "xbase/index_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace xbase;
namespace fs = std::filesystem;

namespace {

using Entry = std::pair<std::vector<uint8_t>, uint32_t>;
using Model = std::set<Entry>;

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/qbcdxXXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(dir_); }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

std::vector<uint8_t> charKey(const std::string& s, int len) {
    std::vector<uint8_t> k(size_t(len), ' ');
    std::memcpy(k.data(), s.data(), std::min(s.size(), size_t(len)));
    return k;
}

Key asKey(const std::vector<uint8_t>& k) {
    return Key(k.data(), k.size());
}

TagInfo charTag(const std::string& name, int len) {
    TagInfo t;
    t.name = name;
    t.keyExpr = "UPPER(" + name + ")";
    t.keyLength = len;
    return t;
}

std::vector<Entry> readAll(IndexTree& t) {
    std::vector<Entry> v;
    auto c = t.cursor();
    for (bool ok = c->first(); ok; ok = c->next())
        v.emplace_back(std::vector<uint8_t>(c->key().begin(), c->key().end()), c->recno());
    return v;
}

std::vector<Entry> readAllBackwards(IndexTree& t) {
    std::vector<Entry> v;
    auto c = t.cursor();
    for (bool ok = c->last(); ok; ok = c->prev())
        v.emplace_back(std::vector<uint8_t>(c->key().begin(), c->key().end()), c->recno());
    std::reverse(v.begin(), v.end());
    return v;
}

void expectMatches(IndexTree& t, const Model& m) {
    std::vector<Entry> want(m.begin(), m.end());
    EXPECT_EQ(readAll(t), want);
    EXPECT_EQ(readAllBackwards(t), want);
    EXPECT_EQ(t.count(), m.size());
    std::vector<std::string> faults;
    t.verify(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

// Names that share prefixes with each other and with the blank fill of the
// previous key ("MARY" then "MARY ANN"), all-blank keys and long equal runs.
std::string randomName(std::mt19937& rng) {
    static const char* stems[] = {"MARY",       "MARY ANN", "MARYANN",  "SMITH",    "SMITHSON",
                                  "SMITH JOHN", "",         " LEADING", "ZOE",      "\xC5STR\xD6M",
                                  "A",          "AB",       "ABC",      "M\xDCLLER"};
    std::string s = stems[rng() % (sizeof stems / sizeof *stems)];
    if (rng() % 3 == 0)
        s += char('A' + rng() % 26);
    if (rng() % 4 == 0)
        s += std::to_string(rng() % 1000);
    return s;
}

TEST(CdxWrite, RandomInsertsAndRemovalsMatchAModelAcrossReopen) {
    TempDir dir;
    const std::string path = dir.file("T.CDX");
    std::mt19937 rng(12345);
    Model mLong, mShort;
    {
        auto cdx = CompoundIndex::create(path);
        IndexTree& lng = cdx->addTag(charTag("LNAME", 60));
        IndexTree& sht = cdx->addTag(charTag("MIDDLE", 1));
        for (uint32_t i = 0; i < 20000; ++i) {
            // Record numbers spread up to two million so entries must widen.
            uint32_t rec = i < 15000 ? i + 1 : 1990000 + i;
            auto k = charKey(randomName(rng), 60);
            lng.insert(asKey(k), rec);
            mLong.emplace(k, rec);
            auto k1 = charKey(std::string(1, char('A' + rng() % 3)), 1);
            sht.insert(asKey(k1), rec);
            mShort.emplace(k1, rec);
        }
        // Remove a third of each, in random order.
        std::vector<Entry> all(mLong.begin(), mLong.end());
        std::shuffle(all.begin(), all.end(), rng);
        for (size_t i = 0; i < all.size() / 3; ++i) {
            EXPECT_TRUE(lng.remove(asKey(all[i].first), all[i].second));
            mLong.erase(all[i]);
        }
        EXPECT_FALSE(lng.remove(asKey(charKey("NOT THERE", 60)), 7));
        EXPECT_FALSE(lng.remove(asKey(all[0].first), all[0].second)); // already gone
        expectMatches(lng, mLong);
        expectMatches(sht, mShort);
        cdx->close();
    }
    EXPECT_EQ(fs::file_size(path) % 512, 0u);
    auto cdx = CompoundIndex::open(path, false);
    EXPECT_TRUE(cdx->trustworthy());
    ASSERT_EQ(cdx->tagCount(), 2);
    EXPECT_EQ(cdx->tag(0).info().name, "LNAME");
    EXPECT_EQ(cdx->tag(1).info().keyLength, 1);
    expectMatches(cdx->tag(0), mLong);
    expectMatches(cdx->tag(1), mShort);
}

TEST(CdxWrite, PrefixIntoPreviousFillIsNeverWritten) {
    // Every reader must rebuild the same keys, whatever fill it assumes: so a
    // written leaf never shares a byte of the previous key's trailing fill.
    TempDir dir;
    const std::string path = dir.file("F.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        IndexTree& t = cdx->addTag(charTag("NAME", 10));
        const char* names[] = {"MARY", "MARY ANN", "MARY  X", "MARYANN", "", "A", "A B"};
        uint32_t r = 1;
        for (const char* n : names)
            t.insert(asKey(charKey(n, 10)), r++);
        cdx->close();
    }
    // Walk the root leaf's entries by hand.
    auto cdx = CompoundIndex::open(path, true);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> bytes(fs::file_size(path));
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    // The tag header follows the directory; its root pointer leads to the leaf.
    uint32_t dirRoot = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24;
    (void)dirRoot;
    const uint8_t* hdr = bytes.data() + 1536; // file header 0-1023, directory root 1024
    uint32_t root = hdr[0] | hdr[1] << 8 | hdr[2] << 16 | uint32_t(hdr[3]) << 24;
    const uint8_t* leaf = bytes.data() + root;
    ASSERT_EQ(leaf[0], 3);
    const int n = leaf[2], recBits = leaf[20], dupBits = leaf[21], bpe = leaf[23];
    std::vector<std::string> keys;
    std::vector<int> trails;
    int end = 512;
    for (int i = 0; i < n; ++i) {
        uint64_t v = 0;
        for (int b = 0; b < bpe; ++b)
            v |= uint64_t(leaf[24 + i * bpe + b]) << (8 * b);
        int dup = int((v >> recBits) & ((1u << dupBits) - 1));
        int trail = int(v >> (recBits + dupBits));
        if (i > 0) {
            EXPECT_LE(dup, 10 - trails.back()) << "entry " << i;
        }
        int stored = 10 - dup - trail;
        end -= stored;
        std::string k = (i ? keys.back().substr(0, size_t(dup)) : "") +
                        std::string(reinterpret_cast<const char*>(leaf + end), size_t(stored)) +
                        std::string(size_t(trail), ' ');
        keys.push_back(k);
        trails.push_back(trail);
    }
    std::vector<std::string> want = {"          ", "A         ", "A B       ", "MARY      ",
                                     "MARY  X   ", "MARY ANN  ", "MARYANN   "};
    EXPECT_EQ(keys, want);
}

TEST(CdxWrite, BulkLoadBuildsTheSameOrderAndFullLeaves) {
    TempDir dir;
    const std::string path = dir.file("B.CDX");
    std::mt19937 rng(7);
    Model m;
    for (uint32_t r = 1; r <= 100000; ++r)
        m.emplace(charKey(randomName(rng), 30), r);
    {
        auto cdx = CompoundIndex::create(path);
        IndexTree& t = cdx->addTag(charTag("CITY", 30));
        t.insert(asKey(charKey("STALE", 30)), 5); // replaced by the load
        auto it = m.begin();
        t.bulkLoad([&](std::vector<uint8_t>& k, uint32_t& r) {
            if (it == m.end())
                return false;
            k = it->first;
            r = it->second;
            ++it;
            return true;
        });
        expectMatches(t, m);
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    expectMatches(cdx->tag(0), m);
    // Leaves are filled: far fewer pages than one per 20 entries.
    EXPECT_LT(fs::file_size(path) / 512, m.size() / 20);
}

TEST(CdxWrite, FailedBulkLoadLeavesAnEmptySoundTag) {
    TempDir dir;
    const std::string path = dir.file("U.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        IndexTree& t = cdx->addTag(charTag("A", 10));
        // Unsorted input, found after many leaves were written; and a key
        // source that fails part way.
        const uint32_t failAt[] = {20000, 15000};
        for (int round = 0; round < 2; ++round) {
            uint32_t r = 0;
            auto source = [&](std::vector<uint8_t>& k, uint32_t& rec) {
                ++r;
                if (r == failAt[round] && round == 1)
                    throw Error(Error::Code::Expression, "key failed");
                k = charKey(r == failAt[round] ? "0" : std::to_string(1000000 + r), 10);
                rec = r;
                return r <= 30000;
            };
            EXPECT_THROW(t.bulkLoad(source), Error);
            expectMatches(t, Model{});
        }
        t.insert(asKey(charKey("X", 10)), 1);
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    expectMatches(cdx->tag(0), Model{{charKey("X", 10), 1}});
    // The pages of the failed loads went back to the free list: the second
    // failure reused the first one's pages.
    EXPECT_LT(fs::file_size(path), 512u * 400);
}

TEST(CdxWrite, ChurnReusesFreedPagesInsteadOfGrowing) {
    TempDir dir;
    const std::string path = dir.file("C.CDX");
    auto cdx = CompoundIndex::create(path);
    IndexTree& t = cdx->addTag(charTag("ZIP", 10));
    std::mt19937 rng(99);
    std::vector<std::vector<uint8_t>> keys;
    for (int i = 0; i < 20000; ++i)
        keys.push_back(charKey(std::to_string(rng() % 100000), 10));
    Model m;
    auto fill = [&](uint32_t from, uint32_t to) {
        for (uint32_t r = from; r < to; ++r) {
            t.insert(asKey(keys[r - 1]), r);
            m.emplace(keys[r - 1], r);
        }
    };
    fill(1, 20001);
    cdx->flush();
    const auto size1 = fs::file_size(path);
    for (int round = 0; round < 3; ++round) {
        // Empty the tree completely in random order, then fill it again.
        std::vector<Entry> all(m.begin(), m.end());
        std::shuffle(all.begin(), all.end(), rng);
        for (const Entry& e : all)
            ASSERT_TRUE(t.remove(asKey(e.first), e.second));
        m.clear();
        EXPECT_EQ(t.count(), 0u);
        fill(1, 20001);
    }
    cdx->flush();
    expectMatches(t, m);
    EXPECT_EQ(fs::file_size(path), size1);
}

TEST(CdxWrite, EmptyTagIsOneRootLeafWithFirstKeyMasks) {
    TempDir dir;
    const std::string path = dir.file("E.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        cdx->addTag(charTag("NAME", 60));
        cdx->close();
    }
    std::vector<uint8_t> bytes(fs::file_size(path));
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    // File header: directory options, key length 10, signature.
    EXPECT_EQ(bytes[12], 10);
    EXPECT_EQ(bytes[14], 0xE0);
    EXPECT_EQ(bytes[15], 1);
    const uint8_t* hdr = bytes.data() + 1536;
    EXPECT_EQ(hdr[12], 60);
    EXPECT_EQ(hdr[14], 0x60);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(hdr + 512)), "UPPER(NAME)");
    EXPECT_EQ(hdr[504], 12);
    EXPECT_EQ(hdr[506], 1);
    EXPECT_EQ(hdr[510], 12);
    uint32_t root = hdr[0] | hdr[1] << 8 | hdr[2] << 16 | uint32_t(hdr[3]) << 24;
    const uint8_t want[] = {0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xE8, 0x01, 0xFF, 0x0F, 0x00, 0x00, 0x3F, 0x3F, 0x0C, 0x06, 0x06, 0x03};
    EXPECT_EQ(0, std::memcmp(bytes.data() + root, want, sizeof want));
}

TEST(CdxWrite, TagsAddRemoveAndKeepCreationOrder) {
    TempDir dir;
    const std::string path = dir.file("G.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        for (const char* n : {"ZIP", "city", "Name", "STATE"})
            cdx->addTag(charTag(n, 8));
        EXPECT_THROW(cdx->addTag(charTag("CITY", 8)), Error);        // exists
        EXPECT_THROW(cdx->addTag(charTag("TOOLONGNAME", 8)), Error); // 11 characters
        EXPECT_THROW(cdx->addTag(charTag("BAD", 241)), Error);       // key too long
        for (uint32_t r = 1; r <= 3000; ++r)
            cdx->tag(1).insert(asKey(charKey("C" + std::to_string(r), 8)), r);
        cdx->removeTag("city");
        EXPECT_THROW(cdx->removeTag("city"), Error);
        cdx->addTag(charTag("ORG", 8));
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    std::vector<std::string> names;
    for (int i = 0; i < cdx->tagCount(); ++i)
        names.push_back(cdx->tag(i).info().name);
    EXPECT_EQ(names, (std::vector<std::string>{"ZIP", "NAME", "STATE", "ORG"}));
    EXPECT_EQ(cdx->findTag("org"), 3);
    EXPECT_EQ(cdx->findTag("CITY"), -1);
}

TEST(CdxWrite, TagOptionsAndKeyTypesSurviveReopen) {
    TempDir dir;
    const std::string path = dir.file("O.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        TagInfo u = charTag("UNIQ", 1);
        u.unique = true;
        cdx->addTag(u);
        TagInfo d = charTag("DESC", 10);
        d.descending = true;
        d.forExpr = "AMOUNT>0";
        cdx->addTag(d);
        TagInfo n;
        n.name = "AMOUNT";
        n.keyExpr = "AMOUNT";
        n.type = KeyType::Numeric;
        n.keyLength = 8;
        IndexTree& nt = cdx->addTag(n);
        // Numbers encoded as ordered doubles: trailing zero bytes are the fill.
        const uint8_t one[8] = {0xBF, 0xF0, 0, 0, 0, 0, 0, 0};
        const uint8_t zero[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
        nt.insert(Key(one, 8), 1);
        nt.insert(Key(zero, 8), 2);
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    const TagInfo& u = cdx->tag(0).info();
    EXPECT_TRUE(u.unique);
    EXPECT_FALSE(u.descending);
    const TagInfo& d = cdx->tag(1).info();
    EXPECT_TRUE(d.descending);
    EXPECT_EQ(d.forExpr, "AMOUNT>0");
    EXPECT_EQ(d.keyExpr, "UPPER(DESC)");
    IndexTree& nt = cdx->tag(2);
    EXPECT_EQ(nt.info().type, KeyType::Numeric);
    auto all = readAll(nt);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].second, 2u);
    EXPECT_EQ(all[0].first, (std::vector<uint8_t>{0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(all[1].first, (std::vector<uint8_t>{0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
}

TEST(CdxWrite, CursorSeeksByPrefixAndRecordNumber) {
    TempDir dir;
    auto cdx = CompoundIndex::create(dir.file("S.CDX"));
    IndexTree& t = cdx->addTag(charTag("LNAME", 20));
    // Enough keys for several levels.
    for (uint32_t r = 1; r <= 5000; ++r)
        t.insert(asKey(charKey("K" + std::to_string(r % 500), 20)), r);
    auto c = t.cursor();
    auto k = charKey("K42", 20);
    struct Case {
        std::string key;
        uint32_t recno;
        bool found;
        std::string landKey;
        uint32_t landRec;
    };
    const Case cases[] = {
        {"K42", 0, true, "K42", 42}, // prefix: K42 before K420
        {std::string(reinterpret_cast<char*>(k.data()), 20), 43, true, "K42",
         542}, // full key, recno
        {std::string(reinterpret_cast<char*>(k.data()), 20), 4543, false, "",
         0},                          // past K42's last: K420
        {"K41A", 0, true, "K42", 42}, // soft landing: next greater key
        {"L", 0, false, "", 0},       // past everything
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.key + "/" + std::to_string(cs.recno));
        bool ok =
            c->seek(Key(reinterpret_cast<const uint8_t*>(cs.key.data()), cs.key.size()), cs.recno);
        if (cs.landKey.empty()) {
            if (cs.key == "L") {
                EXPECT_FALSE(ok);
            } else {
                ASSERT_TRUE(ok);
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->key().data()), 4), "K420");
            }
            continue;
        }
        ASSERT_TRUE(ok);
        EXPECT_EQ(c->key()[cs.landKey.size()], ' ');
        EXPECT_EQ(0, std::memcmp(c->key().data(), cs.landKey.data(), cs.landKey.size()));
        EXPECT_EQ(c->recno(), cs.landRec);
    }
    // seekLast: the last K42 entry (record 4542), then the next key is K420.
    ASSERT_TRUE(c->seekLast(asKey(k)));
    EXPECT_EQ(c->recno(), 4542u);
    ASSERT_TRUE(c->next());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->key().data()), 4), "K420");
}

TEST(CdxWrite, CursorSurvivesChangesToTheTree) {
    TempDir dir;
    auto cdx = CompoundIndex::create(dir.file("V.CDX"));
    IndexTree& t = cdx->addTag(charTag("A", 6));
    for (uint32_t r = 1; r <= 2000; ++r)
        t.insert(asKey(charKey(std::to_string(100000 + r), 6)), r);
    auto c = t.cursor();
    ASSERT_TRUE(c->seek(asKey(charKey("101000", 6))));
    EXPECT_EQ(c->recno(), 1000u);
    // The entry under the cursor goes away: next() lands on its successor.
    ASSERT_TRUE(t.remove(asKey(charKey("101000", 6)), 1000));
    ASSERT_TRUE(c->next());
    EXPECT_EQ(c->recno(), 1001u);
    // A new entry just before it: prev() finds it.
    t.insert(asKey(charKey("101000", 6)), 1000);
    ASSERT_TRUE(c->prev());
    EXPECT_EQ(c->recno(), 1000u);
}

TEST(IdxWrite, SingleOrderFileRoundTrip) {
    TempDir dir;
    const std::string path = dir.file("TEMP.IDX");
    TagInfo info = charTag("", 12);
    info.keyExpr = "UPPER(ZIP)";
    Model m;
    {
        auto idx = IdxFile::create(path, info);
        std::mt19937 rng(3);
        for (uint32_t r = 1; r <= 30000; ++r) {
            auto k = charKey(std::to_string(rng() % 50000), 12);
            idx->tree().insert(asKey(k), r);
            m.emplace(k, r);
        }
        idx->close();
    }
    EXPECT_EQ(fs::file_size(path) % 512, 0u);
    std::vector<uint8_t> head(16);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_EQ(std::fread(head.data(), 1, 16, f), 16u);
    std::fclose(f);
    EXPECT_EQ(head[14], 0x20); // compact, single order
    auto idx = IdxFile::open(path, true);
    EXPECT_EQ(idx->tree().info().keyExpr, "UPPER(ZIP)");
    EXPECT_EQ(idx->tree().info().keyLength, 12);
    expectMatches(idx->tree(), m);
}

TEST(CdxWrite, ReadOnlyOpenNeverWrites) {
    TempDir dir;
    const std::string path = dir.file("R.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        cdx->addTag(charTag("A", 4)).insert(asKey(charKey("X", 4)), 1);
        cdx->close();
    }
    const auto before = fs::last_write_time(path);
    const auto size = fs::file_size(path);
    {
        auto cdx = CompoundIndex::open(path, true);
        EXPECT_THROW(cdx->tag(0).insert(asKey(charKey("Y", 4)), 2), Error);
        EXPECT_THROW(cdx->addTag(charTag("B", 4)), Error);
        cdx->close();
    }
    EXPECT_EQ(fs::last_write_time(path), before);
    EXPECT_EQ(fs::file_size(path), size);
}

TEST(CdxWrite, UncleanCloseLeavesTheFileUntrusted) {
    TempDir dir;
    const std::string path = dir.file("D.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        cdx->addTag(charTag("A", 4)).insert(asKey(charKey("X", 4)), 1);
        cdx->close();
    }
    {
        auto cdx = CompoundIndex::open(path, false);
        EXPECT_TRUE(cdx->trustworthy());
        cdx->close(); // no change: still clean
    }
    // A writer dies after flushing a change, without closing.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        auto cdx = CompoundIndex::open(path, false);
        cdx->tag(0).insert(asKey(charKey("Y", 4)), 2);
        cdx->flush();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    {
        auto cdx = CompoundIndex::open(path, true);
        EXPECT_FALSE(cdx->trustworthy());
        EXPECT_EQ(cdx->tag(0).count(), 2u); // still readable
    }
    {
        // Opened for writing and closed without rebuilding: stays untrusted.
        auto cdx = CompoundIndex::open(path, false);
        EXPECT_FALSE(cdx->trustworthy());
        cdx->tag(0).insert(asKey(charKey("Z", 4)), 3);
        cdx->close();
    }
    {
        auto cdx = CompoundIndex::open(path, false);
        EXPECT_FALSE(cdx->trustworthy());
        cdx->tag(0).bulkLoad([](std::vector<uint8_t>&, uint32_t&) { return false; });
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    EXPECT_TRUE(cdx->trustworthy());
}

} // namespace

namespace {

// The address tags of the peer fixture, rebuilt from their listed entries by
// this writer, read back by an independent reader (Perl's XBase::Index) in the
// same order. Keys stay whole there too, because no written duplicate count
// reaches into the previous key's trailing blanks.
TEST(CdxWrite, IndependentReaderReadsRebuiltTagsInTheSameOrder) {
    if (std::system("perl -MXBase::Index -e 1 2>/dev/null") != 0)
        GTEST_SKIP() << "Perl XBase is not installed";
    const std::string peer = std::string(QB_SHARED_DIR) + "/fixtures/peer/";
    auto src = CompoundIndex::open(peer + "ADDRPEER.CDX", true);
    TempDir dir;
    const std::string path = dir.file("REBUILT.CDX");
    const char* tags[] = {"NAME", "LNAME", "FNAME", "CITY", "STATE", "ZIP"};
    std::map<std::string, std::vector<std::pair<uint32_t, std::string>>> want;
    {
        auto cdx = CompoundIndex::create(path);
        for (const char* name : tags) {
            IndexTree& from = src->tag(src->findTag(name));
            TagInfo info = from.info();
            IndexTree& to = cdx->addTag(info);
            std::vector<Entry> entries = readAll(from);
            for (auto& e : entries) {
                std::string k(e.first.begin(), e.first.end());
                while (!k.empty() && k.back() == ' ')
                    k.pop_back();
                want[name].emplace_back(e.second, k);
            }
            size_t i = 0;
            to.bulkLoad([&](std::vector<uint8_t>& k, uint32_t& r) {
                if (i == entries.size())
                    return false;
                k = entries[i].first;
                r = entries[i].second;
                ++i;
                return true;
            });
        }
        cdx->close();
    }
    for (const char* name : tags) {
        SCOPED_TRACE(name);
        const std::string out = dir.file(std::string(name) + ".txt");
        const std::string cmd =
            "perl -MXBase::Index -e '$i = XBase::Index->new($ARGV[0], tag => $ARGV[1], "
            "type => \"char\") or die XBase::Index->errstr; $i->prepare_select; "
            "binmode STDOUT; while (($k, $r) = $i->fetch) { $k =~ s/ +$//; print \"$r|$k\\n\" }' " +
            path + " " + name + " > " + out;
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::ifstream in(out, std::ios::binary);
        std::vector<std::pair<uint32_t, std::string>> got;
        std::string line;
        while (std::getline(in, line)) {
            auto bar = line.find('|');
            got.emplace_back(uint32_t(std::stoul(line.substr(0, bar))), line.substr(bar + 1));
        }
        EXPECT_EQ(got, want[name]);
    }
}

} // namespace

namespace {

TEST(CdxWrite, LeafEntryWidthGrowsWithRecordNumbers) {
    struct Case {
        int keyLength;
        uint32_t maxRecno;
        int bytes, recBits, dupBits, trailBits;
    };
    const Case cases[] = {
        {60, 300, 3, 12, 6, 6}, // as the peer engine writes them
        {60, 90000, 4, 20, 6, 6},
        {1, 300, 3, 22, 1, 1},
        {4, 10, 3, 18, 3, 3}, // the worked example's leaf
        {60, 0, 3, 12, 6, 6}, // an empty tag
        {10, 2000000, 4, 24, 4, 4},
        {1, 0xFFFFFFFFu, 5, 32, 4, 4}, // record field is at most 32 bits: counts take the rest
        {240, 0xFFFFFFFFu, 6, 32, 8, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.keyLength) + "/" + std::to_string(c.maxRecno));
        auto l = cdxfmt::leafLayoutFor(c.keyLength, c.maxRecno);
        EXPECT_EQ(l.bytesPerEntry, c.bytes);
        EXPECT_EQ(l.recBits, c.recBits);
        EXPECT_EQ(l.dupBits, c.dupBits);
        EXPECT_EQ(l.trailBits, c.trailBits);
    }
    // And the extreme record numbers survive a round trip through the file.
    TempDir dir;
    const std::string path = dir.file("W.CDX");
    Model m1, m240;
    {
        auto cdx = CompoundIndex::create(path);
        IndexTree& t1 = cdx->addTag(charTag("ONE", 1));
        IndexTree& t240 = cdx->addTag(charTag("LONG", 240));
        for (uint32_t i = 0; i < 3000; ++i) {
            uint32_t rec = i % 2 ? 0xFFFFFFFFu - i : i + 1;
            auto k1 = charKey(std::string(1, char('A' + i % 4)), 1);
            t1.insert(asKey(k1), rec);
            m1.emplace(k1, rec);
            auto k240 = charKey(std::string(size_t(i % 239), 'x') + std::to_string(i), 240);
            t240.insert(asKey(k240), rec);
            m240.emplace(k240, rec);
        }
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    expectMatches(cdx->tag(0), m1);
    expectMatches(cdx->tag(1), m240);
}

} // namespace

namespace {

// The file does not record key types. A bare 8-byte field name could be a
// number or text; the table layer's word settles it and decides the fill.
TEST(CdxWrite, KeyTypeFromTheTableLayerDecidesTheFill) {
    TempDir dir;
    const std::string path = dir.file("K.CDX");
    {
        auto cdx = CompoundIndex::create(path);
        TagInfo info = charTag("CODE8", 8);
        info.keyExpr = "CODE8";
        IndexTree& t = cdx->addTag(info);
        t.insert(asKey(charKey("AB", 8)), 1);
        t.insert(asKey(charKey("ABC", 8)), 2);
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, false);
    IndexTree& t = cdx->tag(0);
    EXPECT_EQ(t.info().type, KeyType::Numeric); // the guess from the expression alone
    t.setKeyType(KeyType::Character);
    EXPECT_EQ(t.info().type, KeyType::Character);
    Model m{{charKey("AB", 8), 1}, {charKey("ABC", 8), 2}};
    expectMatches(t, m);
    t.insert(asKey(charKey("A", 8)), 3);
    m.emplace(charKey("A", 8), 3);
    cdx->close();
    auto again = CompoundIndex::open(path, true);
    again->tag(0).setKeyType(KeyType::Character);
    expectMatches(again->tag(0), m);
}

} // namespace

TEST(CdxWrite, EntriesAreVisibleToEveryReadRightAfterTheirInsert) {
    // Inserts interleaved with seeks, removals and counts on the same tag
    // and on a second tag: each read sees every entry inserted before it.
    TempDir dir;
    const std::string path = dir.file("V.CDX");
    std::mt19937 rng(777);
    Model mA, mB;
    {
        auto cdx = CompoundIndex::create(path);
        IndexTree& a = cdx->addTag(charTag("A", 20));
        IndexTree& b = cdx->addTag(charTag("B", 20));
        auto seeker = a.cursor(); // made before any entry exists
        for (uint32_t rec = 1; rec <= 6000; ++rec) {
            auto k = charKey(randomName(rng), 20);
            a.insert(asKey(k), rec);
            mA.emplace(k, rec);
            auto kb = charKey(std::to_string(rng() % 50), 20);
            b.insert(asKey(kb), rec);
            mB.emplace(kb, rec);
            if (rec % 7 == 0) {
                ASSERT_TRUE(seeker->seek(asKey(k), rec)) << rec;
                EXPECT_EQ(seeker->recno(), rec);
                EXPECT_EQ(std::vector<uint8_t>(seeker->key().begin(), seeker->key().end()), k);
            }
            if (rec % 11 == 0) {
                // The entry just inserted, or an older one.
                Entry gone = rng() % 2 ? Entry(k, rec) : *mA.begin();
                EXPECT_TRUE(a.remove(asKey(gone.first), gone.second)) << rec;
                mA.erase(gone);
            }
            if (rec % 997 == 0) {
                EXPECT_EQ(a.count(), mA.size());
                EXPECT_EQ(readAll(b), std::vector<Entry>(mB.begin(), mB.end()));
            }
        }
        // The last inserts reach the file on close without a read before it.
        for (uint32_t rec = 6001; rec <= 6100; ++rec) {
            auto k = charKey("LAST" + std::to_string(rec), 20);
            a.insert(asKey(k), rec);
            mA.emplace(k, rec);
        }
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    EXPECT_TRUE(cdx->trustworthy());
    expectMatches(cdx->tag(0), mA);
    expectMatches(cdx->tag(1), mB);
}

namespace {

TEST(CdxWrite, LongKeysInsertedInOrderStayShallow) {
    // Two long keys fill an interior node: ordered growth must still give a
    // balanced tree, in ascending and in descending order.
    TempDir dir;
    const std::string path = dir.file("O.CDX");
    Model up, down;
    {
        auto cdx = CompoundIndex::create(path);
        IndexTree& a = cdx->addTag(charTag("UP", 240));
        IndexTree& d = cdx->addTag(charTag("DOWN", 240));
        for (uint32_t i = 0; i < 5000; ++i) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%06u", i);
            auto k = charKey(std::string(200, 'k') + buf, 240);
            a.insert(asKey(k), i + 1);
            up.emplace(k, i + 1);
            std::snprintf(buf, sizeof buf, "%06u", 5000 - i);
            auto kd = charKey(std::string(200, 'k') + buf, 240);
            d.insert(asKey(kd), i + 1);
            down.emplace(kd, i + 1);
        }
        expectMatches(a, up);
        expectMatches(d, down);
        cdx->close();
    }
    auto cdx = CompoundIndex::open(path, true);
    expectMatches(cdx->tag(0), up);
    expectMatches(cdx->tag(1), down);
}

} // namespace

namespace {

// Loads a tag from a model in one go.
void loadFrom(IndexTree& t, const Model& m) {
    auto it = m.begin();
    t.bulkLoad([&](std::vector<uint8_t>& k, uint32_t& r) {
        if (it == m.end())
            return false;
        k = it->first;
        r = it->second;
        ++it;
        return true;
    });
}

TEST(CdxWrite, LargeInsertBatchesKeepTheTreeExact) {
    // Batches far beyond what is held in memory: into an empty tag, into a
    // large tag (a small batch next to it), and into a tag of comparable
    // size; with equal keys on both sides so record numbers decide the
    // order, and a read, a removal and a reopen after each.
    struct Case {
        const char* name;
        int keyLength;
        uint32_t existing; // entries loaded before the batch
        uint32_t batch;    // entries inserted one by one
    };
    const Case cases[] = {
        {"into an empty tag", 20, 0, 120000},
        {"small batch, large tag", 240, 120000, 9000},
        {"batch as large as the tag", 240, 20000, 30000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("L.CDX");
        std::mt19937 rng(c.batch);
        auto makeKey = [&] {
            return charKey(randomName(rng) + std::to_string(rng() % 50), c.keyLength);
        };
        Model m;
        for (uint32_t r = 1; r <= c.existing; ++r)
            m.emplace(makeKey(), r * 2);
        {
            auto cdx = CompoundIndex::create(path);
            IndexTree& t = cdx->addTag(charTag("NAME", c.keyLength));
            IndexTree& other = cdx->addTag(charTag("OTHER", 10));
            loadFrom(t, m);
            // Odd record numbers between the loaded even ones.
            for (uint32_t i = 0; i < c.batch; ++i) {
                const uint32_t r = 2 * (rng() % (c.existing + c.batch)) + 1;
                auto k = makeKey();
                if (m.emplace(k, r).second)
                    t.insert(asKey(k), r);
            }
            other.insert(asKey(charKey("ONE", 10)), 1);
            // A removal sees every entry inserted before it.
            const Entry last = *m.rbegin();
            EXPECT_TRUE(t.remove(asKey(last.first), last.second));
            m.erase(last);
            expectMatches(t, m);
            EXPECT_EQ(other.count(), 1u);
            // A second batch, applied only by closing.
            for (uint32_t i = 0; i < c.batch / 2; ++i) {
                const uint32_t r = 2 * (c.existing + c.batch) + 1 + i;
                auto k = makeKey();
                m.emplace(k, r);
                t.insert(asKey(k), r);
            }
            cdx->close();
        }
        auto cdx = CompoundIndex::open(path, false);
        EXPECT_TRUE(cdx->trustworthy());
        expectMatches(cdx->tag(0), m);
        cdx->close();
    }
}

TEST(CdxWrite, RepeatedLargeBatchesReuseTheFreedPages) {
    // Each large batch replaces the tag's pages by a new packed tree: the
    // old pages must go back to the file, not pile up at its end.
    TempDir dir;
    const std::string path = dir.file("R.CDX");
    std::mt19937 rng(99);
    Model m;
    auto cdx = CompoundIndex::create(path);
    IndexTree& t = cdx->addTag(charTag("NAME", 40));
    uint32_t rec = 0;
    std::vector<uintmax_t> sizes;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 36000; ++i) {
            auto k = charKey(randomName(rng), 40);
            m.emplace(k, ++rec);
            t.insert(asKey(k), rec);
        }
        cdx->flush();
        sizes.push_back(fs::file_size(path));
    }
    expectMatches(t, m);
    // Six batches of equal size: at most the last two trees' pages (11
    // batches' worth) are in the file, not a dead copy per batch (21).
    EXPECT_LT(sizes[5], sizes[0] * 14) << sizes[0] << " " << sizes[5];
    // Loading the tag again and again frees every page of the tree it
    // replaces: from the second load on, the file stays the same size.
    std::vector<uintmax_t> loads;
    for (int i = 0; i < 3; ++i) {
        loadFrom(t, m);
        cdx->flush();
        loads.push_back(fs::file_size(path));
    }
    EXPECT_EQ(loads[1], loads[2]);
    expectMatches(t, m);
    cdx->close();
    auto again = CompoundIndex::open(path, true);
    expectMatches(again->tag(0), m);
}

} // namespace
