// Damaged compact index files: every kind of broken pointer, count or bit
// layout must surface as a Corrupt error naming the file (or as a fault line
// from verify), never as a crash, a hang or a write to the file.
#include "xbase/error.h"
#include "xbase/index_tree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace xbase;
namespace fs = std::filesystem;

namespace {

const std::string kPeer = std::string(QB_SHARED_DIR) + "/fixtures/peer/";

std::vector<uint8_t> readFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}
void writeFile(const std::string& p, const std::vector<uint8_t>& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}
uint32_t rd32(const std::vector<uint8_t>& b, size_t o) {
    return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | uint32_t(b[o + 3]) << 24;
}
void wr32(std::vector<uint8_t>& b, size_t o, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[o + size_t(i)] = uint8_t(v >> (8 * i));
}
void wr32be(std::vector<uint8_t>& b, size_t o, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[o + size_t(i)] = uint8_t(v >> (8 * (3 - i)));
}

// Offsets in ADDRPEER.CDX: the header of tag NAME (the first tag) and its root.
struct Layout {
    uint32_t nameHeader, nameRoot;
};
Layout layoutOf(const std::vector<uint8_t>& b, const std::string& path) {
    auto cdx = CompoundIndex::open(path, true);
    (void)cdx;
    // The directory root leaf lists tags by name; walk it by hand for NAME.
    uint32_t dirRoot = rd32(b, 0);
    const uint8_t* leaf = b.data() + dirRoot;
    int n = leaf[2], recBits = leaf[20], bpe = leaf[23];
    uint32_t best = 0xFFFFFFFF;
    for (int i = 0; i < n; ++i) {
        uint64_t v = 0;
        for (int k = 0; k < bpe; ++k)
            v |= uint64_t(leaf[24 + i * bpe + k]) << (8 * k);
        best = std::min(best, uint32_t(v & ((uint64_t(1) << recBits) - 1)));
    }
    return {best, rd32(b, best)};
}

struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>&, const Layout&)> apply;
};

TEST(CdxDamage, BrokenFilesGiveCorruptOrFaultsNeverACrash) {
    const std::string src = kPeer + "ADDRPEER.CDX";
    const auto orig = readFile(src);
    char dir[] = "/tmp/qbcdxdmgXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/ADDRPEER.CDX";
    writeFile(path, orig);
    const Layout L = layoutOf(orig, path);
    ASSERT_EQ(L.nameRoot % 512, 0u);

    const Damage cases[] = {
        {"root pointer past the end",
         [](auto& b, auto& l) { wr32(b, l.nameHeader, uint32_t(b.size()) + 512); }},
        {"root pointer off a page boundary",
         [](auto& b, auto& l) { wr32(b, l.nameHeader, l.nameRoot + 3); }},
        {"root pointer at the file header", [](auto& b, auto& l) { wr32(b, l.nameHeader, 0); }},
        {"key length too large",
         [](auto& b, auto& l) {
             b[l.nameHeader + 12] = 0xF1;
             b[l.nameHeader + 13] = 0;
         }},
        {"key length zero",
         [](auto& b, auto& l) {
             b[l.nameHeader + 12] = 0;
             b[l.nameHeader + 13] = 0;
         }},
        {"directory root outside", [](auto& b, auto&) { wr32(b, 0, 0x7FFFFE00); }},
        {"interior child points to itself",
         [](auto& b, auto& l) { wr32be(b, l.nameRoot + 12 + 60 + 4, l.nameRoot); }},
        {"interior child outside the file",
         [](auto& b, auto& l) { wr32be(b, l.nameRoot + 12 + 60 + 4, 0xFFFFF000); }},
        {"interior key count beyond capacity", [](auto& b, auto& l) { b[l.nameRoot + 2] = 200; }},
        {"unknown node attributes", [](auto& b, auto& l) { b[l.nameRoot] = 9; }},
        {"truncated to the headers", [](auto& b, auto& l) { b.resize(l.nameHeader + 1024); }},
        {"too short for a header", [](auto& b, auto&) { b.resize(700); }},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        auto bytes = orig;
        d.apply(bytes, L);
        writeFile(path, bytes);
        bool reported = false;
        try {
            auto cdx = CompoundIndex::open(path, true);
            for (int i = 0; i < cdx->tagCount(); ++i) {
                IndexTree& t = cdx->tag(i);
                std::vector<std::string> faults;
                t.verify(faults);
                reported = reported || !faults.empty();
                try {
                    auto c = t.cursor();
                    for (bool ok = c->first(); ok; ok = c->next()) {
                    }
                    for (bool ok = c->last(); ok; ok = c->prev()) {
                    }
                    t.count();
                } catch (const Error& e) {
                    EXPECT_EQ(e.code(), Error::Code::Corrupt);
                    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
                    reported = true;
                }
            }
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::Corrupt) << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            reported = true;
        }
        EXPECT_TRUE(reported);
        EXPECT_EQ(readFile(path), bytes); // never written
    }
    fs::remove_all(dir);
}

// Leaf damage in a file of our own, where the leaf layout is known.
TEST(CdxDamage, LeafLayoutFaultsAreCaught) {
    char dir[] = "/tmp/qbcdxdmgXXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/L.CDX";
    {
        auto cdx = CompoundIndex::create(path);
        TagInfo info;
        info.name = "K";
        info.keyExpr = "K";
        info.keyLength = 20;
        IndexTree& t = cdx->addTag(info);
        for (uint32_t r = 1; r <= 4000; ++r) {
            std::string k = "KEY" + std::to_string(r * 7919 % 4000);
            k.resize(20, ' ');
            t.insert(Key(reinterpret_cast<const uint8_t*>(k.data()), 20), r);
        }
        cdx->close();
    }
    const auto orig = readFile(path);
    const uint32_t header = 1536;
    const uint32_t root = rd32(orig, header);
    ASSERT_EQ(orig[root], 1); // an interior root
    // Down the first children to the first leaf.
    uint32_t leaf = root;
    while (orig[leaf] != 2) {
        ASSERT_LE(orig[leaf], 1);
        const uint8_t* e = orig.data() + leaf + 12 + 20 + 4;
        leaf = uint32_t(e[0]) << 24 | e[1] << 16 | e[2] << 8 | e[3];
    }

    const Damage cases[] = {
        {"bit widths do not add up", [&](auto& b, auto&) { b[leaf + 20] += 1; }},
        {"bytes per entry zero", [&](auto& b, auto&) { b[leaf + 23] = 0; }},
        {"key count beyond the page",
         [&](auto& b, auto&) {
             b[leaf + 2] = 0xFF;
             b[leaf + 3] = 0x01;
         }},
        {"entry counts overrun the key length",
         [&](auto& b, auto&) {
             // Duplicate and trailing counts of the second entry set to their maximum.
             int bpe = b[leaf + 23], recBits = b[leaf + 20];
             uint64_t v = 0;
             for (int k = 0; k < bpe; ++k)
                 v |= uint64_t(b[leaf + 24 + bpe + k]) << (8 * k);
             v |= ~uint64_t(0) << recBits;
             for (int k = 0; k < bpe; ++k)
                 b[leaf + 24 + bpe + k] = uint8_t(v >> (8 * k));
         }},
        {"right sibling loops back", [&](auto& b, auto&) { wr32(b, leaf + 8, leaf); }},
        {"right sibling points into a header", [&](auto& b, auto&) { wr32(b, leaf + 8, header); }},
        {"keys out of order",
         [&](auto& b, auto&) {
             // The first entry's record number becomes huge: order by record breaks
             // only if the next key is equal, so swap in a bigger first key byte.
             b[leaf + 511] = 0xFF;
         }},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        auto bytes = orig;
        Layout none{};
        d.apply(bytes, none);
        writeFile(path, bytes);
        bool reported = false;
        try {
            auto cdx = CompoundIndex::open(path, true);
            IndexTree& t = cdx->tag(0);
            std::vector<std::string> faults;
            t.verify(faults);
            reported = !faults.empty();
            auto c = t.cursor();
            for (bool ok = c->first(); ok; ok = c->next()) {
            }
        } catch (const Error& ex) {
            EXPECT_EQ(ex.code(), Error::Code::Corrupt) << ex.what();
            reported = true;
        }
        EXPECT_TRUE(reported);
    }
    fs::remove_all(dir);
}

TEST(CdxDamage, MissingFileIsNotFound) {
    try {
        CompoundIndex::open("/nonexistent/dir/X.CDX", true);
        FAIL() << "opened a missing file";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::NotFound);
        EXPECT_NE(std::string(e.what()).find("X.CDX"), std::string::npos);
    }
}

} // namespace
