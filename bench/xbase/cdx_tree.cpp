// Index tree timings: 100,000 appended records inserted one by one into 26
// tags of the address file's key lengths, then the same tags bulk loaded,
// then a full forward walk of every tag.
#include "xbase/index_tree.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace xbase;
// CPU time of this process: the machines running it are often shared.
struct Clock {
    using time_point = double;
    static double now() { return double(std::clock()) / CLOCKS_PER_SEC; }
};

static double seconds(Clock::time_point a) {
    return Clock::now() - a;
}

int main(int argc, char** argv) {
    const uint32_t records = argc > 1 ? uint32_t(std::stoul(argv[1])) : 100000;
    // "random": every key of every tag scattered (the worst case); otherwise
    // a typical address file: names drawn from a few thousand, and the
    // rarely used fields (title, street 2, phone 2, fax, user fields, prefix,
    // codes, tag) blank in nine records of ten.
    const bool scattered = argc > 2 && std::string(argv[2]) == "random";
    const bool sparse[26] = {0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1,
                             0, 1, 1, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0};
    const int lengths[26] = {60, 60, 30, 30, 30, 40, 40, 50, 20, 10, 30, 30, 30,
                             30, 30, 40, 40, 15, 8,  30, 12, 1,  1,  30, 1,  1};
    char path[] = "/tmp/qbcdxbenchXXXXXX";
    int fd = mkstemp(path);
    close(fd);
    std::mt19937 rng(1);
    auto keyFor = [&](int tag, uint32_t rec, std::vector<uint8_t>& k) {
        int len = lengths[tag];
        k.assign(size_t(len), ' ');
        if (len == 1) {
            k[0] = (rec * 7 + uint32_t(tag)) % 5 ? 'F' : 'T';
            return;
        }
        uint64_t h = (uint64_t(rec) * 2654435761u + uint64_t(tag) * 97) % 1000003;
        if (!scattered && sparse[tag] && h % 10 != 0)
            return;
        std::string s = "NAME" + std::to_string(scattered ? h : h % 3000);
        std::memcpy(k.data(), s.data(), std::min(s.size(), size_t(len)));
    };
    std::vector<uint8_t> k;
    {
        auto cdx = CompoundIndex::create(path);
        for (int t = 0; t < 26; ++t) {
            TagInfo info;
            info.name = "T" + std::to_string(t);
            info.keyExpr = "F" + std::to_string(t);
            info.keyLength = lengths[t];
            cdx->addTag(info);
        }
        auto t0 = Clock::now();
        for (uint32_t r = 1; r <= records; ++r)
            for (int t = 0; t < 26; ++t) {
                keyFor(t, r, k);
                cdx->tag(t).insert(Key(k.data(), k.size()), r);
            }
        double ins = seconds(t0);
        t0 = Clock::now();
        cdx->close();
        std::printf(scattered ? "scattered keys\n" : "typical keys\n");
        std::printf("insert %u x 26: %.3f s (%.0f ns/insert), close %.3f s\n", records, ins,
                    ins * 1e9 / (double(records) * 26), seconds(t0));
    }
    {
        auto cdx = CompoundIndex::open(path, false);
        double total = 0;
        for (int t = 0; t < 26; ++t) {
            std::vector<std::pair<std::vector<uint8_t>, uint32_t>> entries;
            entries.reserve(records);
            for (uint32_t r = 1; r <= records; ++r) {
                keyFor(t, r, k);
                entries.emplace_back(k, r);
            }
            std::sort(entries.begin(), entries.end());
            auto t0 = Clock::now();
            size_t i = 0;
            cdx->tag(t).bulkLoad([&](std::vector<uint8_t>& key, uint32_t& rec) {
                if (i == entries.size())
                    return false;
                key = entries[i].first;
                rec = entries[i].second;
                ++i;
                return true;
            });
            total += seconds(t0);
        }
        auto t0 = Clock::now();
        cdx->close();
        std::printf("bulk load 26 tags: %.3f s (%.1f ms/tag), close %.3f s\n", total,
                    total * 1000 / 26, seconds(t0));
    }
    {
        auto cdx = CompoundIndex::open(path, true);
        auto t0 = Clock::now();
        uint64_t n = 0;
        for (int t = 0; t < 26; ++t) {
            auto c = cdx->tag(t).cursor();
            for (bool ok = c->first(); ok; ok = c->next())
                ++n;
        }
        std::printf("walk %llu entries: %.3f s\n", (unsigned long long)n, seconds(t0));
    }
    unlink(path);
    return 0;
}
