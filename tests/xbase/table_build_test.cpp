// Building many wide tags over a large table: the tags are built in several
// passes over the records, and every one of them still holds each record
// once, in key order. A single tag whose keys alone exceed the memory
// allowed is sorted in runs on scratch space, with the same result.
#include "table_support.h"
#include "xbase/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace xbase;
using tabletest::TempDir;

namespace {

TEST(TableBuild, WideTagsOverALargeTableAreBuiltExactly) {
    TempDir dir;
    const std::string path = dir.file("WIDE.DBF");
    Table::create(path, {{"A", 'C', 240, 0, 0}, {"B", 'C', 240, 0, 0}, {"C", 'C', 240, 0, 0}});
    const uint32_t records = 40000;
    std::vector<std::vector<std::string>> values(3);
    {
        auto t = Table::open(path);
        std::mt19937 rng(99);
        for (uint32_t i = 0; i < records; ++i) {
            t->appendBlank();
            for (int f = 0; f < 3; ++f) {
                // Few distinct values, so equal keys fall back on record order.
                std::string v = std::string(1, char('a' + rng() % 26)) + std::to_string(rng() % 500);
                t->putString(f, v);
                std::string up = v;
                std::transform(up.begin(), up.end(), up.begin(), ::toupper);
                values[size_t(f)].push_back(up);
            }
        }
        t->commit();
        t->createTag("A", "UPPER(A)");
        t->createTag("B", "UPPER(B)");
        t->createTag("C", "UPPER(C)");
        t->reindex();
        t->close();
    }
    auto t = Table::open(path);
    const char* names[] = {"A", "B", "C"};
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE(names[f]);
        std::vector<std::pair<std::string, uint32_t>> want;
        for (uint32_t i = 0; i < records; ++i)
            want.emplace_back(values[size_t(f)][i], i + 1);
        std::sort(want.begin(), want.end());
        t->setOrder(std::string_view(names[f]));
        t->goTop();
        std::vector<std::pair<std::string, uint32_t>> got;
        while (!t->eof()) {
            std::string v = t->getString(f);
            std::transform(v.begin(), v.end(), v.begin(), ::toupper);
            got.emplace_back(v, t->recno());
            t->skip();
        }
        EXPECT_EQ(got, want);
    }
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

TEST(TableBuild, ATagLargerThanTheMemoryAllowedIsBuiltExactly) {
    // 110,000 keys of 240 bytes: more than one build may hold in memory.
    TempDir dir;
    const std::string path = dir.file("HUGE.DBF");
    Table::create(path, {{"A", 'C', 240, 0, 0}, {"N", 'N', 6, 0, 0}});
    const uint32_t records = 110000;
    std::vector<std::string> values;
    {
        auto t = Table::open(path);
        std::mt19937 rng(5);
        for (uint32_t i = 0; i < records; ++i) {
            t->appendBlank();
            std::string v = std::string(1, char('a' + rng() % 26)) + std::to_string(rng() % 20000);
            t->putString(0, v);
            t->putNumber(1, double(i % 7));
            std::transform(v.begin(), v.end(), v.begin(), ::toupper);
            values.push_back(v);
        }
        t->commit();
    }
    struct Case {
        const char* tag;
        const char* forExpr;
        bool descending, unique;
    };
    const Case cases[] = {
        {"PLAIN", "", false, false},
        {"SOME", "N = 3", false, false},
        {"DOWN", "", true, false},
        {"ONCE", "", false, true},
    };
    auto t = Table::open(path);
    for (const Case& c : cases)
        t->createTag(c.tag, "UPPER(A)", c.forExpr, c.descending, c.unique);
    t->reindex(); // the same path again, over tags that already hold entries
    t->close();
    t = Table::open(path);
    EXPECT_TRUE(t->indexTrustworthy());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        std::vector<std::pair<std::string, uint32_t>> want;
        for (uint32_t i = 0; i < records; ++i) {
            if (*c.forExpr && i % 7 != 3)
                continue;
            want.emplace_back(values[i], i + 1);
        }
        std::stable_sort(want.begin(), want.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        // Unique: the lowest record number of each key.
        if (c.unique)
            want.erase(std::unique(want.begin(), want.end(),
                                   [](const auto& a, const auto& b) { return a.first == b.first; }),
                       want.end());
        if (c.descending)
            std::reverse(want.begin(), want.end());
        t->setOrder(std::string_view(c.tag));
        t->goTop();
        std::vector<std::pair<std::string, uint32_t>> got;
        while (!t->eof()) {
            std::string v = t->getString(0);
            std::transform(v.begin(), v.end(), v.begin(), ::toupper);
            got.emplace_back(v, t->recno());
            t->skip();
        }
        // Descending: read backwards, so equal keys by descending record number.
        EXPECT_EQ(got, want);
    }
    std::vector<std::string> faults;
    t->check(faults);
    EXPECT_TRUE(faults.empty()) << faults.front();
    // A key changed behind the index's back is found by the check, which
    // sorts this many keys on scratch space too.
    const int header = t->headerLength(), recLen = t->recordLength();
    t->close();
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff(header) + std::streamoff(recLen) * 499 + 1);
        f.write("~~~", 3);
    }
    t = Table::open(path);
    faults.clear();
    t->check(faults);
    ASSERT_EQ(faults.size(), 3u); // every tag but SOME, whose condition leaves record 500 out
    for (const std::string& f : faults)
        EXPECT_NE(f.find("disagree"), std::string::npos) << f;
}

} // namespace
