// Layout constants of compact index pages (compound CDX and single-order
// IDX files) shared by the reader/writer, the tests and the tools.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xbase::cdxfmt {

inline constexpr int kPage = 512;        // every node and half a header
inline constexpr int kHeaderSize = 1024; // index header: fields + expression pool
inline constexpr int kLeafEntries = 24;  // first entry byte of a leaf
inline constexpr int kLeafSpace = 488;   // entry + key bytes room of a leaf
inline constexpr int kMaxKeyLength = 240;
inline constexpr int kDirKeyLength = 10;       // tag directory key: the tag name
inline constexpr uint32_t kNone = 0xFFFFFFFFu; // no sibling
inline constexpr uint16_t kAttrRoot = 1;
inline constexpr uint16_t kAttrLeaf = 2;
inline constexpr uint8_t kOptUnique = 0x01;
inline constexpr uint8_t kOptFor = 0x08;
inline constexpr uint8_t kOptCompact = 0x20;
inline constexpr uint8_t kOptCompound = 0x40;
inline constexpr uint8_t kOptDirectory = 0x80;
inline constexpr int kMaxDepth = 64; // deeper than any real tree: a cycle
inline constexpr std::size_t kMaxCachedNodes = 65536;

// "Open for writing" mark in the reserved area of the file header. Set (and
// synced) before the first change reaches the file, cleared on a clean close.
inline constexpr int kDirtyMarkOffset = 32;
inline constexpr char kDirtyMark[4] = {'Q', 'B', 'W', 'R'};

// Interior entries: full key + record number + child pointer.
constexpr int interiorCapacity(int keyLength) {
    return 500 / (keyLength + 8);
}

// Bit layout of leaf entries for a key length and the greatest record number
// in the leaf: both counts get the bits the key length needs, the record
// number the rest, the entry grows by a byte while the record number does not fit.
struct LeafLayout {
    int bytesPerEntry = 3;
    int recBits = 0;
    int dupBits = 0;
    int trailBits = 0;
};
LeafLayout leafLayoutFor(int keyLength, uint32_t maxRecno);

} // namespace xbase::cdxfmt
