// Reading compound index files written by an independent engine: every tag's
// description and every entry, in order, must match what that engine reads
// back from the same files.
#include "xbase/cdx_format.h"
#include "xbase/error.h"
#include "xbase/index_tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace xbase;

namespace {

const std::string kPeer = std::string(QB_SHARED_DIR) + "/fixtures/peer/";

struct ExpectedTag {
    std::string name, keyExpr, forExpr, type;
    int order = 0, keyLength = 0, keys = 0;
    bool unique = false, descending = false;
    std::vector<std::pair<uint32_t, std::string>> entries; // reading order
};

std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        if (c == 'x' && i + 2 < s.size() + 1) {
            out += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else if (c == 'r') {
            out += '\r';
        } else if (c == 'n') {
            out += '\n';
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<ExpectedTag> readExpected(const std::string& file) {
    std::ifstream in(file);
    std::vector<ExpectedTag> tags;
    std::string line;
    bool inTag = false;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inTag = line.rfind("[tag ", 0) == 0;
            if (inTag) {
                tags.emplace_back();
                tags.back().name = line.substr(5, line.size() - 6);
            }
            continue;
        }
        if (!inTag)
            continue;
        ExpectedTag& t = tags.back();
        auto eq = line.find('=');
        auto bar = line.find('|');
        if (bar == std::string::npos && eq != std::string::npos) {
            std::string k = line.substr(0, eq), v = line.substr(eq + 1);
            if (k == "order")
                t.order = std::stoi(v);
            else if (k == "key")
                t.keyExpr = v;
            else if (k == "for")
                t.forExpr = v;
            else if (k == "key_type")
                t.type = v;
            else if (k == "key_length")
                t.keyLength = std::stoi(v);
            else if (k == "unique")
                t.unique = v == "T";
            else if (k == "descending")
                t.descending = v == "T";
            else if (k == "keys")
                t.keys = std::stoi(v);
        } else if (bar != std::string::npos) {
            t.entries.emplace_back(uint32_t(std::stoul(line.substr(0, bar))),
                                   unescape(line.substr(bar + 1)));
        }
    }
    return tags;
}

double decodeOrderedDouble(const uint8_t* k) {
    uint64_t bits = 0;
    for (int b = 0; b < 8; ++b)
        bits = (bits << 8) | k[b];
    bits = (bits & 0x8000000000000000ull) ? (bits & 0x7FFFFFFFFFFFFFFFull) : ~bits;
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

std::string dateFromJulianDay(long jd) {
    if (jd == 0)
        return "";
    // Fliegel and Van Flandern's conversion.
    long l = jd + 68569, n = 4 * l / 146097;
    l = l - (146097 * n + 3) / 4;
    long i = 4000 * (l + 1) / 1461001;
    l = l - 1461 * i / 4 + 31;
    long j = 80 * l / 2447, d = l - 2447 * j / 80;
    l = j / 11;
    long m = j + 2 - 12 * l, y = 100 * (n - 49) + i + l;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04ld%02ld%02ld", y, m, d);
    return buf;
}

// The key as the expectation files print it.
std::string keyText(Key k, const std::string& type) {
    if (type == "N") {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f", decodeOrderedDouble(k.data()));
        return buf;
    }
    if (type == "D")
        return dateFromJulianDay(std::lround(decodeOrderedDouble(k.data())));
    std::string s(reinterpret_cast<const char*>(k.data()), k.size());
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

class PeerFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(PeerFixture, EveryTagReadsAsTheWritingEngineReadsIt) {
    const std::string name = GetParam();
    auto expected = readExpected(kPeer + name + ".expected.txt");
    ASSERT_FALSE(expected.empty());
    auto cdx = CompoundIndex::open(kPeer + name + ".CDX", true);
    EXPECT_TRUE(cdx->trustworthy());
    ASSERT_EQ(cdx->tagCount(), int(expected.size()));
    for (const ExpectedTag& e : expected) {
        SCOPED_TRACE("tag " + e.name);
        int i = cdx->findTag(e.name);
        ASSERT_EQ(i + 1, e.order);
        IndexTree& t = cdx->tag(i);
        const TagInfo& info = t.info();
        EXPECT_EQ(info.name, e.name);
        EXPECT_EQ(info.keyExpr, e.keyExpr);
        EXPECT_EQ(info.forExpr, e.forExpr);
        EXPECT_EQ(info.keyLength, e.keyLength);
        EXPECT_EQ(std::string(1, char(info.type)), e.type);
        EXPECT_EQ(info.unique, e.unique);
        EXPECT_EQ(info.descending, e.descending);
        EXPECT_EQ(t.count(), uint64_t(e.keys));

        // Stored ascending; a descending tag is read backwards.
        std::vector<std::pair<uint32_t, std::string>> got;
        auto c = t.cursor();
        for (bool ok = info.descending ? c->last() : c->first(); ok;
             ok = info.descending ? c->prev() : c->next())
            got.emplace_back(c->recno(), keyText(c->key(), e.type));
        EXPECT_EQ(got, e.entries);

        // And the other way round.
        std::vector<std::pair<uint32_t, std::string>> back;
        for (bool ok = info.descending ? c->first() : c->last(); ok;
             ok = info.descending ? c->next() : c->prev())
            back.emplace_back(c->recno(), keyText(c->key(), e.type));
        std::reverse(back.begin(), back.end());
        EXPECT_EQ(back, e.entries);

        std::vector<std::string> faults;
        t.verify(faults);
        EXPECT_TRUE(faults.empty()) << faults.front();
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PeerFixture,
                         ::testing::Values("ADDRPEER", "ADDREMPT", "CSZ", "ENVELOPE", "KEYTYPES",
                                           "LABEL", "LETTER", "REPORT", "VFPSAMPL"));

TEST(CdxRead, FindTagIgnoresCaseAndOrderFollowsCreation) {
    auto cdx = CompoundIndex::open(kPeer + "ADDRPEER.CDX", true);
    EXPECT_EQ(cdx->findTag("lname"), 1);
    EXPECT_EQ(cdx->findTag("LName"), 1);
    EXPECT_EQ(cdx->findTag("notisdel"), 25);
    EXPECT_EQ(cdx->findTag("NOSUCH"), -1);
    EXPECT_EQ(cdx->tag(0).info().name, "NAME");
    EXPECT_EQ(cdx->tag(25).info().name, "NOTISDEL");
}

// The state tag's root leaf of CSZ.CDX, decoded by hand in the format notes.
TEST(CdxRead, WorkedExampleLeafByteForByte) {
    std::ifstream in(kPeer + "CSZ.CDX", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 0xA00u + 512);
    const uint8_t head[] = {0x03, 0x00, 0x0A, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xBA, 0x01, 0xFF, 0xFF, 0x03, 0x00, 0x07, 0x07, 0x12, 0x03, 0x03, 0x03};
    EXPECT_EQ(0, std::memcmp(bytes.data() + 0xA00, head, sizeof head));

    auto cdx = CompoundIndex::open(kPeer + "CSZ.CDX", true);
    IndexTree& t = cdx->tag(cdx->findTag("STATE"));
    std::vector<std::pair<uint32_t, std::string>> got;
    auto c = t.cursor();
    for (bool ok = c->first(); ok; ok = c->next())
        got.emplace_back(c->recno(),
                         std::string(reinterpret_cast<const char*>(c->key().data()), 4));
    ASSERT_GE(got.size(), 9u);
    EXPECT_EQ(got[0], std::make_pair(1u, std::string("IL  ")));
    EXPECT_EQ(got[2], std::make_pair(7u, std::string("ME  ")));
    EXPECT_EQ(got[7].second, "TX  ");
    EXPECT_EQ(got[8], std::make_pair(5u, std::string("TX  ")));
}

// The duplicate count may reach into the previous key's trailing blanks: the
// previous key must be rebuilt with its fill. Tag LNAME holds 76 such keys.
TEST(CdxRead, PrefixSharedWithPreviousFillIsRebuiltWithBlanks) {
    auto cdx = CompoundIndex::open(kPeer + "ADDRPEER.CDX", true);
    IndexTree& t = cdx->tag(cdx->findTag("LNAME"));
    auto c = t.cursor();
    int checked = 0;
    for (bool ok = c->first(); ok; ok = c->next()) {
        for (uint8_t b : c->key())
            ASSERT_NE(b, 0) << "record " << c->recno();
        ++checked;
    }
    EXPECT_EQ(checked, 300);
}

struct SeekCase {
    const char* tag;
    std::string key;
    bool found;
    uint32_t recno;
};

TEST(CdxRead, SeeksLandWhereTheWritingEngineLands) {
    auto cdx = CompoundIndex::open(kPeer + "ADDRPEER.CDX", true);
    const SeekCase cases[] = {
        {"LNAME", "SM", true, 0},    // prefix: first SMITH...
        {"LNAME", "", true, 1},      // empty key: first entry
        {"FNAME", "JO", true, 20},   // as the expectation's seek list says
        {"LNAME", "\xFF", false, 0}, // past the end
    };
    for (const SeekCase& sc : cases) {
        SCOPED_TRACE(std::string(sc.tag) + " '" + sc.key + "'");
        IndexTree& t = cdx->tag(cdx->findTag(sc.tag));
        auto c = t.cursor();
        bool ok = c->seek(Key(reinterpret_cast<const uint8_t*>(sc.key.data()), sc.key.size()));
        if (!sc.found) {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(c->valid());
            continue;
        }
        ASSERT_TRUE(ok);
        EXPECT_EQ(0, std::memcmp(c->key().data(), sc.key.data(), sc.key.size()));
        if (sc.recno) {
            EXPECT_EQ(c->recno(), sc.recno);
        }
        // Nothing before the landing entry starts with the key.
        if (c->prev() && !sc.key.empty()) {
            EXPECT_LT(std::memcmp(c->key().data(), sc.key.data(), sc.key.size()), 0);
        }
    }
}

TEST(CdxRead, SeekLastLandsOnTheLastEntryOfAPrefix) {
    auto cdx = CompoundIndex::open(kPeer + "ADDRPEER.CDX", true);
    IndexTree& t = cdx->tag(cdx->findTag("LNAME"));
    auto c = t.cursor();
    const std::string k = "SMITH";
    ASSERT_TRUE(c->seekLast(Key(reinterpret_cast<const uint8_t*>(k.data()), k.size())));
    EXPECT_EQ(0, std::memcmp(c->key().data(), k.data(), k.size()));
    if (c->next()) {
        EXPECT_GT(std::memcmp(c->key().data(), k.data(), k.size()), 0);
    }
    // Before every key: nothing.
    auto c2 = t.cursor();
    EXPECT_FALSE(c2->seekLast(Key(reinterpret_cast<const uint8_t*>("\x01"), 1)));
}

} // namespace
