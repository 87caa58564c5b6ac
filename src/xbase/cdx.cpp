// Compact B+-tree index files: the compound CDX file (a tag directory plus one
// tree per tag) and the single-order compact IDX file. Both share the page
// layout, the node formats and the page cache implemented here.
//
// Pages are 512 bytes, every pointer is the byte offset of a page. Nodes are
// decoded once into `Node` objects held by a bounded cache and encoded again
// only when written back (on flush, close or eviction), so that a long run of
// single-key inserts does not re-encode a leaf for every key.
#include "xbase/cdx_format.h"
#include "xbase/error.h"
#include "xbase/index_tree.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace xbase {

using namespace cdxfmt;

namespace {

// Bits needed to hold v (at least 1).
int bitsFor(uint64_t v) {
    int b = 1;
    while (b < 64 && (v >> b) != 0)
        ++b;
    return b;
}

uint16_t rd16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t rd32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint32_t rd32be(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
void wr16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void wr32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
void wr32be(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * (3 - i)));
}

int compareEntry(const uint8_t* a, uint32_t ra, const uint8_t* b, uint32_t rb, int klen) {
    int c = std::memcmp(a, b, size_t(klen));
    if (c != 0)
        return c;
    return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

} // namespace

LeafLayout cdxfmt::leafLayoutFor(int keyLength, uint32_t maxRecno) {
    const int b = bitsFor(uint64_t(keyLength));
    int bytes = b <= 8 ? 3 : (b <= 12 ? 4 : 5);
    const int recNeeded = bitsFor(maxRecno);
    while (bytes * 8 - 2 * b < recNeeded)
        ++bytes;
    LeafLayout l;
    l.bytesPerEntry = bytes;
    l.recBits = std::min(32, bytes * 8 - 2 * b);
    const int rest = bytes * 8 - l.recBits; // >= 2b; extra bits go to the counts
    l.dupBits = rest / 2;
    l.trailBits = rest - l.dupBits;
    return l;
}

// ---------------------------------------------------------------------------
// Decoded nodes

struct Node {
    uint32_t off = 0;
    uint16_t attr = 0;
    uint32_t left = kNone, right = kNone;
    int klen = 0;
    uint8_t fill = 0x20;
    bool dirty = false;
    uint64_t lastUse = 0;
    // Keys, `stride` bytes each. Interior nodes keep whole keys; leaves keep
    // only as many leading bytes as their longest key needs (the rest is
    // fill), which keeps mostly-blank keys small in the cache.
    std::vector<uint8_t> keys;
    int stride = 0;
    std::vector<uint32_t> recs;  // n
    std::vector<uint32_t> kids;  // interior only
    std::vector<uint8_t> trails; // leaf only: trailing fill count of each key
    int keyBytes = 0;            // leaf only: stored key bytes in encoded form
    uint32_t maxRec = 0;         // leaf only: upper bound of the record numbers

    bool leaf() const { return (attr & kAttrLeaf) != 0; }
    bool root() const { return (attr & kAttrRoot) != 0; }
    int n() const { return int(recs.size()); }
    const uint8_t* raw(int i) const { return keys.data() + size_t(i) * size_t(stride); }
    // Entry i's whole key. For a narrowed leaf it is built in one of a few
    // rotating buffers, valid until a few more calls.
    const uint8_t* key(int i) const {
        if (stride == klen)
            return raw(i);
        static thread_local uint8_t ring[4][kMaxKeyLength];
        static thread_local int next = 0;
        uint8_t* out = ring[next++ & 3];
        std::memcpy(out, raw(i), size_t(stride));
        std::memset(out + stride, fill, size_t(klen - stride));
        return out;
    }
    // Entry i against a whole key and record number, without building the key.
    int compareTo(int i, const uint8_t* k, uint32_t r) const {
        int c = std::memcmp(raw(i), k, size_t(stride));
        if (c == 0 && stride < klen) {
            static const auto blanks = [] {
                std::array<uint8_t, kMaxKeyLength> a;
                a.fill(0x20);
                return a;
            }();
            static const std::array<uint8_t, kMaxKeyLength> zeros{};
            // Fill bytes are blanks (character keys) or zeros (the others).
            c = std::memcmp(fill == 0x20 ? blanks.data() : zeros.data(), k + stride,
                            size_t(klen - stride));
        }
        if (c != 0)
            return c;
        return recs[size_t(i)] < r ? -1 : (recs[size_t(i)] > r ? 1 : 0);
    }
    std::vector<uint8_t> keyVec(int i) const {
        const uint8_t* k = key(i);
        return std::vector<uint8_t>(k, k + klen);
    }
    // Leaf keys stored in `width` bytes each (width >= the longest key's
    // significant length).
    void restride(int width) {
        if (width == stride)
            return;
        std::vector<uint8_t> nk(recs.size() * size_t(width), fill);
        const int common = std::min(width, stride);
        for (size_t i = 0; i < recs.size(); ++i)
            std::memcpy(nk.data() + i * size_t(width), keys.data() + i * size_t(stride),
                        size_t(common));
        keys = std::move(nk);
        stride = width;
    }
    // Narrows a leaf to its longest key.
    void compact() {
        int width = 1;
        for (int i = 0; i < n(); ++i)
            width = std::max(width, klen - trails[size_t(i)]);
        restride(std::min(width, klen));
    }
    size_t memory() const {
        return sizeof(Node) + 64 + keys.capacity() + recs.capacity() * 4 + kids.capacity() * 4 +
               trails.capacity();
    }

    int trailOfRaw(int i) const {
        const uint8_t* k = raw(i);
        int t = klen - stride;
        while (t < klen && k[klen - 1 - t] == fill)
            ++t;
        return t;
    }
    int trailOf(const uint8_t* k) const {
        int t = 0;
        while (t < klen && k[klen - 1 - t] == fill)
            ++t;
        return t;
    }
    // Shared leading bytes of entry i with entry i-1 as written: never into
    // the previous key's trailing fill, so every reader rebuilds it alike.
    int dupOf(int i) const {
        if (i == 0)
            return 0;
        const uint8_t* a = raw(i - 1);
        const uint8_t* b = raw(i);
        int limit = std::min(klen - trails[i - 1], klen - trails[i]);
        int d = 0;
        while (d < limit && a[d] == b[d])
            ++d;
        return d;
    }
    int storedOf(int i) const { return klen - dupOf(i) - trails[i]; }
    // The shared prefix as other writers count it: it may run into the
    // previous key's trailing fill. Never longer encodings than the strict
    // one, so a leaf written that way always re-encodes into its page.
    int looseDupOf(int i) const {
        if (i == 0)
            return 0;
        const uint8_t* a = raw(i - 1);
        const uint8_t* b = raw(i);
        int limit = klen - trails[i];
        int d = 0;
        while (d < limit && a[d] == b[d])
            ++d;
        return d;
    }
    int looseKeyBytes() const {
        int total = 0;
        for (int i = 0; i < n(); ++i)
            total += klen - looseDupOf(i) - trails[i];
        return total;
    }
    void recomputeLeaf() {
        trails.resize(recs.size());
        keyBytes = 0;
        maxRec = 0;
        for (int i = 0; i < n(); ++i) {
            trails[i] = uint8_t(trailOfRaw(i));
            maxRec = std::max(maxRec, recs[i]);
        }
        for (int i = 0; i < n(); ++i)
            keyBytes += storedOf(i);
    }
    int leafSize(uint32_t maxR) const {
        return n() * leafLayoutFor(klen, maxR).bytesPerEntry + keyBytes;
    }
    bool leafFits() const { return leafSize(maxRec) <= kLeafSpace; }

    void leafInsert(int pos, const uint8_t* k, uint32_t r) {
        if (pos < n())
            keyBytes -= storedOf(pos);
        const int trail = trailOf(k);
        if (klen - trail > stride)
            restride(klen - trail);
        if (stride == 0)
            restride(1);
        keys.insert(keys.begin() + ptrdiff_t(pos) * stride, k, k + stride);
        recs.insert(recs.begin() + pos, r);
        trails.insert(trails.begin() + pos, uint8_t(trail));
        keyBytes += storedOf(pos);
        if (pos + 1 < n())
            keyBytes += storedOf(pos + 1);
        maxRec = std::max(maxRec, r);
    }
    void leafErase(int pos) {
        keyBytes -= storedOf(pos);
        if (pos + 1 < n())
            keyBytes -= storedOf(pos + 1);
        keys.erase(keys.begin() + ptrdiff_t(pos) * stride,
                   keys.begin() + ptrdiff_t(pos + 1) * stride);
        recs.erase(recs.begin() + pos);
        trails.erase(trails.begin() + pos);
        if (pos < n())
            keyBytes += storedOf(pos);
    }
};

using NodePtr = std::shared_ptr<Node>;

// Page offset -> cached node: open addressing with linear probing, so that a
// lookup touches one slot array instead of chasing bucket lists.
class NodeMap {
public:
    NodeMap() { slots_.resize(1024); }
    size_t size() const { return count_; }
    NodePtr* find(uint32_t off) {
        for (size_t i = home(off);; i = (i + 1) & mask()) {
            Slot& sl = slots_[i];
            if (!sl.val)
                return nullptr;
            if (sl.off == off)
                return &sl.val;
        }
    }
    void put(uint32_t off, NodePtr v) {
        if (NodePtr* p = find(off)) {
            *p = std::move(v);
            return;
        }
        if ((count_ + 1) * 2 > slots_.size())
            grow();
        place(off, std::move(v));
        ++count_;
    }
    // Removes and returns the node (null when absent).
    NodePtr take(uint32_t off) {
        size_t i = home(off);
        for (;; i = (i + 1) & mask()) {
            if (!slots_[i].val)
                return nullptr;
            if (slots_[i].off == off)
                break;
        }
        NodePtr out = std::move(slots_[i].val);
        --count_;
        // Shift later members of the probe run back into the hole.
        size_t hole = i;
        for (size_t j = (i + 1) & mask(); slots_[j].val; j = (j + 1) & mask()) {
            size_t h = home(slots_[j].off);
            bool movable = hole <= j ? (h <= hole || h > j) : (h <= hole && h > j);
            if (movable) {
                slots_[hole] = std::move(slots_[j]);
                slots_[j].val.reset();
                hole = j;
            }
        }
        return out;
    }
    void clear() {
        for (Slot& sl : slots_)
            sl.val.reset();
        count_ = 0;
    }
    template <class F> void forEach(F f) {
        for (Slot& sl : slots_)
            if (sl.val)
                f(sl.off, sl.val);
    }

private:
    struct Slot {
        uint32_t off = 0;
        NodePtr val;
    };
    std::vector<Slot> slots_;
    size_t count_ = 0;
    size_t mask() const { return slots_.size() - 1; }
    size_t home(uint32_t off) const { return size_t((off / 512u) * 2654435761u) & mask(); }
    void place(uint32_t off, NodePtr v) {
        size_t i = home(off);
        while (slots_[i].val)
            i = (i + 1) & mask();
        slots_[i].off = off;
        slots_[i].val = std::move(v);
    }
    void grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.clear();
        slots_.resize(old.size() * 2);
        for (Slot& sl : old)
            if (sl.val)
                place(sl.off, std::move(sl.val));
    }
};

namespace {

void encodeNode(const Node& nd, uint8_t* page) {
    std::memset(page, 0, kPage);
    wr16(page, nd.attr);
    wr16(page + 2, uint16_t(nd.n()));
    wr32(page + 4, nd.left);
    wr32(page + 8, nd.right);
    if (!nd.leaf()) {
        uint8_t* p = page + 12;
        for (int i = 0; i < nd.n(); ++i) {
            std::memcpy(p, nd.key(i), size_t(nd.klen));
            wr32be(p + nd.klen, nd.recs[i]);
            wr32be(p + nd.klen + 4, nd.kids[i]);
            p += nd.klen + 8;
        }
        return;
    }
    uint32_t maxR = 0;
    for (uint32_t r : nd.recs)
        maxR = std::max(maxR, r);
    const LeafLayout l = leafLayoutFor(nd.klen, maxR);
    const bool loose = nd.n() * l.bytesPerEntry + nd.keyBytes > kLeafSpace;
    const uint64_t recMask = (uint64_t(1) << l.recBits) - 1;
    wr32(page + 14, uint32_t(recMask));
    page[18] = uint8_t((1u << l.dupBits) - 1);
    page[19] = uint8_t((1u << l.trailBits) - 1);
    page[20] = uint8_t(l.recBits);
    page[21] = uint8_t(l.dupBits);
    page[22] = uint8_t(l.trailBits);
    page[23] = uint8_t(l.bytesPerEntry);
    int end = kPage;
    int total = 0;
    for (int i = 0; i < nd.n(); ++i) {
        const int dup = loose ? nd.looseDupOf(i) : nd.dupOf(i);
        const int trail = nd.trails[i];
        const int stored = nd.klen - dup - trail;
        end -= stored;
        total += stored;
        std::memcpy(page + end, nd.raw(i) + dup, size_t(stored));
        uint64_t v = uint64_t(nd.recs[i]) | (uint64_t(dup) << l.recBits) |
                     (uint64_t(trail) << (l.recBits + l.dupBits));
        uint8_t* e = page + kLeafEntries + i * l.bytesPerEntry;
        for (int b = 0; b < l.bytesPerEntry; ++b)
            e[b] = uint8_t(v >> (8 * b));
    }
    const int freeBytes = kLeafSpace - nd.n() * l.bytesPerEntry - total;
    if (freeBytes < 0)
        throw Error(Error::Code::State, "index node overflow");
    wr16(page + 12, uint16_t(freeBytes));
}

} // namespace

// The packed entries of a leaf page, read in order. Each entry holds its
// record number, how many leading bytes it shares with the key before it and
// how many trailing fill bytes it drops; its own key bytes are stored from
// the end of the page backwards.
class LeafEntries {
public:
    enum class Fault { None, Widths, Count, Entry, Overlap };
    struct Entry {
        uint32_t rec;
        int dup, trail, stored;
        const uint8_t* bytes; // the `stored` bytes after the shared ones
    };
    // Checks the page header's bit widths and entry count.
    LeafEntries(const uint8_t* page, int klen) : page_(page), klen_(klen), n_(rd16(page + 2)) {
        const int recBits = page[20], dupBits = page[21], trailBits = page[22];
        bpe_ = page[23];
        if (bpe_ < 1 || bpe_ > 8 || recBits > 32 || dupBits > 8 || trailBits > 8 ||
            recBits + dupBits + trailBits != bpe_ * 8)
            fault_ = Fault::Widths;
        else if (n_ * bpe_ > kLeafSpace)
            fault_ = Fault::Count;
        if (fault_ != Fault::None)
            return; // the widths cannot be used, not even to make masks
        recShift_ = recBits;
        trailShift_ = recBits + dupBits;
        rm_ = recBits == 0 ? 0 : ((uint64_t(1) << recBits) - 1);
        dm_ = (uint64_t(1) << dupBits) - 1;
        tm_ = (uint64_t(1) << trailBits) - 1;
        entriesEnd_ = kLeafEntries + n_ * bpe_;
    }
    int n() const { return n_; }
    Fault fault() const { return fault_; }
    // Entry i; call in order from 0 (the stored bytes are found by walking
    // back from the end of the page). None, or what is wrong with it.
    Fault next(int i, Entry& out) {
        const uint8_t* e = page_ + kLeafEntries + i * bpe_;
        uint64_t v = 0;
        for (int b = 0; b < bpe_; ++b)
            v |= uint64_t(e[b]) << (8 * b);
        out.rec = uint32_t(v & rm_);
        out.dup = int((v >> recShift_) & dm_);
        out.trail = int((v >> trailShift_) & tm_);
        if (out.dup + out.trail > klen_ || (i == 0 && out.dup != 0))
            return Fault::Entry;
        out.stored = klen_ - out.dup - out.trail;
        end_ -= out.stored;
        if (end_ < entriesEnd_)
            return Fault::Overlap;
        out.bytes = page_ + end_;
        return Fault::None;
    }

private:
    const uint8_t* page_;
    int klen_, n_, bpe_ = 0;
    Fault fault_ = Fault::None;
    int recShift_ = 0, trailShift_ = 0;
    uint64_t rm_ = 0, dm_ = 0, tm_ = 0;
    int end_ = kPage, entriesEnd_ = 0;
};

// Decodes a page into `nd` (off/klen/fill already set). Returns an empty string
// or the cause of the damage.
std::string decodeNode(const uint8_t* page, Node& nd, bool narrow = true) {
    nd.attr = rd16(page);
    const int n = rd16(page + 2);
    nd.left = rd32(page + 4);
    nd.right = rd32(page + 8);
    nd.keys.clear();
    nd.recs.clear();
    nd.kids.clear();
    nd.trails.clear();
    const int klen = nd.klen;
    nd.stride = klen;
    if (nd.attr > 3)
        return "node at " + std::to_string(nd.off) + " has unknown attributes " +
               std::to_string(nd.attr);
    if (!nd.leaf()) {
        if (n > interiorCapacity(klen))
            return "interior node at " + std::to_string(nd.off) + " claims " + std::to_string(n) +
                   " keys";
        if (n == 0)
            return "interior node at " + std::to_string(nd.off) + " has no keys";
        nd.keys.resize(size_t(n) * size_t(klen));
        nd.recs.resize(size_t(n));
        nd.kids.resize(size_t(n));
        const uint8_t* p = page + 12;
        for (int i = 0; i < n; ++i) {
            std::memcpy(nd.keys.data() + size_t(i) * klen, p, size_t(klen));
            nd.recs[i] = rd32be(p + klen);
            nd.kids[i] = rd32be(p + klen + 4);
            p += klen + 8;
        }
        return {};
    }
    LeafEntries entries(page, klen);
    const std::string where = "leaf at " + std::to_string(nd.off);
    if (entries.fault() == LeafEntries::Fault::Widths)
        return where + " has bit widths that do not add up";
    if (entries.fault() == LeafEntries::Fault::Count)
        return where + " claims " + std::to_string(n) + " keys";
    // Keys are rebuilt whole in a scratch buffer, then kept only as wide as
    // the longest one needs (one allocation, no second copy).
    static thread_local std::vector<uint8_t> whole;
    whole.resize(size_t(n) * size_t(klen));
    nd.recs.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        LeafEntries::Entry e;
        switch (entries.next(i, e)) {
        case LeafEntries::Fault::None:
            break;
        case LeafEntries::Fault::Overlap:
            return where + " has key bytes overlapping its entries";
        default:
            return where + " has a bad entry " + std::to_string(i);
        }
        uint8_t* k = whole.data() + size_t(i) * klen;
        if (e.dup > 0)
            std::memcpy(k, k - klen, size_t(e.dup));
        std::memcpy(k + e.dup, e.bytes, size_t(e.stored));
        std::memset(k + klen - e.trail, nd.fill, size_t(e.trail));
        nd.recs[i] = e.rec;
    }
    // Each key's actual trailing fill (it may run past the stored count).
    nd.trails.resize(size_t(n));
    int width = 1;
    for (int i = 0; i < n; ++i) {
        const uint8_t* k = whole.data() + size_t(i) * klen;
        int t = 0;
        while (t < klen && k[klen - 1 - t] == nd.fill)
            ++t;
        nd.trails[size_t(i)] = uint8_t(t);
        width = std::max(width, klen - t);
    }
    if (!narrow)
        width = klen;
    width = std::min(width, klen);
    nd.stride = width;
    nd.keys.resize(size_t(n) * size_t(width));
    if (n == 0) {
        // An empty leaf (an empty tag's root): no keys to copy.
    } else if (width == klen) {
        std::memcpy(nd.keys.data(), whole.data(), whole.size());
    } else {
        for (int i = 0; i < n; ++i)
            std::memcpy(nd.keys.data() + size_t(i) * size_t(width), whole.data() + size_t(i) * klen,
                        size_t(width));
    }
    nd.keyBytes = 0;
    nd.maxRec = 0;
    for (int i = 0; i < n; ++i) {
        nd.maxRec = std::max(nd.maxRec, nd.recs[size_t(i)]);
        nd.keyBytes += nd.storedOf(i);
    }
    return {};
}

// Reads a leaf page only as far as a seek needs: entries are rebuilt one by
// one (each key is stored relative to the one before it) up to the first for
// which `ge(key, recno)` holds. Nothing is allocated and the rest of the page
// is not touched, which makes a seek on a leaf outside the node cache cost
// little more than the read. Sets `idx` (n when no entry qualifies), the
// entry's whole key in `keyOut` (klen bytes) and its record number. False
// when the page is not a leaf that decodes cleanly so far: the caller then
// takes the full path, which reports the damage.
struct LeafScan {
    int n = 0;
    int idx = 0;
    uint32_t rec = 0;
};
template <class Pred>
bool scanLeafPage(const uint8_t* page, int klen, uint8_t fill, Pred ge, uint8_t* keyOut,
                  LeafScan& out) {
    const uint16_t attr = rd16(page);
    if (attr > 3 || (attr & kAttrLeaf) == 0)
        return false;
    LeafEntries entries(page, klen);
    const int n = entries.n();
    if (entries.fault() != LeafEntries::Fault::None || n == 0)
        return false;
    // keyOut holds the key before the current one, so that the shared
    // leading bytes are already in place.
    for (int i = 0; i < n; ++i) {
        LeafEntries::Entry e;
        if (entries.next(i, e) != LeafEntries::Fault::None)
            return false;
        std::memcpy(keyOut + e.dup, e.bytes, size_t(e.stored));
        std::memset(keyOut + klen - e.trail, fill, size_t(e.trail));
        if (ge(static_cast<const uint8_t*>(keyOut), e.rec)) {
            out.n = n;
            out.idx = i;
            out.rec = e.rec;
            return true;
        }
    }
    out.n = n;
    out.idx = n;
    return true;
}

// ---------------------------------------------------------------------------
// The file: raw pages, page allocation, node cache, crash mark.

class IndexFileCore {
public:
    std::string path;
    int fd = -1;
    bool readOnly = true;
    bool marked = false;   // our open-for-writing mark is on disk
    bool wasDirty = false; // the mark was there when the file was opened
    uint64_t fileSize = 0; // logical size (pages allocated)
    uint32_t freeHead = 0;
    bool headerDirty = false;
    uint64_t tick = 0;
    size_t cacheBytes = 0;
    size_t cacheLimit = 32u << 20;
    NodeMap cache;
    uint64_t version = 0; // bumped on every tree change

    ~IndexFileCore() {
        if (fd >= 0) {
            // Only reached without a clean close (after an error): the file
            // keeps its open-for-writing mark, so pages still held here are
            // written for what they are worth and failures are ignored.
            try {
                flushPending();
            } catch (...) {
            }
            ::close(fd);
        }
    }

    [[noreturn]] void corrupt(const std::string& cause) const {
        throw Error(Error::Code::Corrupt, path + ": " + cause);
    }
    [[noreturn]] void ioError(const std::string& what) const {
        throw Error(Error::Code::Io, path + ": " + what + ": " + std::strerror(errno));
    }

    void openFile(bool ro, bool create) {
        readOnly = ro;
        int flags = ro ? O_RDONLY : O_RDWR;
        if (create)
            flags |= O_CREAT | O_TRUNC;
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == ENOENT)
                throw Error(Error::Code::NotFound, path + ": file not found");
            ioError("cannot open");
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            ioError("cannot read file size");
        fileSize = uint64_t(st.st_size);
    }

    void readRaw(uint64_t off, uint8_t* buf, size_t len) const {
        if (off + len > fileSize)
            corrupt("read past the end of the file at " + std::to_string(off));
        if (!pending_.empty() && off < pendingOff_ + pending_.size() && pendingOff_ < off + len)
            flushPending();
        size_t done = 0;
        while (done < len) {
            ssize_t r = ::pread(fd, buf + done, len - done, off_t(off + done));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                ioError("read failed");
            }
            if (r == 0) {
                // Logically allocated but never written: reads as zeros.
                std::memset(buf + done, 0, len - done);
                return;
            }
            done += size_t(r);
        }
    }
    // Page writes that follow one another in the file are gathered and
    // written together: a tree built or rewritten in one pass then costs a
    // few large writes instead of one system call per page (a 512-byte
    // write past the end of the file also makes the kernel clear the rest
    // of its block each time). Nothing is held before the open-for-writing
    // mark is on disk, and everything is written before any sync, any
    // change of the file's length and any read of the same bytes.
    static constexpr size_t kWriteBatch = 256u << 10;
    mutable std::vector<uint8_t> pending_;
    mutable uint64_t pendingOff_ = 0;

    void writeRaw(uint64_t off, const uint8_t* buf, size_t len) {
        if (readOnly)
            throw Error(Error::Code::State, path + ": opened read-only");
        ensureMarked();
        if (!pending_.empty() && off == pendingOff_ + pending_.size() &&
            pending_.size() + len <= kWriteBatch) {
            pending_.insert(pending_.end(), buf, buf + len);
            return;
        }
        flushPending();
        if (len >= kWriteBatch) {
            writeNow(off, buf, len);
            return;
        }
        pending_.reserve(kWriteBatch);
        pending_.assign(buf, buf + len);
        pendingOff_ = off;
    }
    void flushPending() const {
        if (pending_.empty())
            return;
        // Emptied first: a failed write is reported once, not again by
        // every later call.
        std::vector<uint8_t> out;
        out.swap(pending_);
        writeNow(pendingOff_, out.data(), out.size());
        out.clear();
        pending_.swap(out); // keeps the buffer's capacity
    }
    // Everything written so far on the disk.
    void sync() {
        flushPending();
        if (::fdatasync(fd) != 0)
            ioError("cannot sync");
    }
    void writeNow(uint64_t off, const uint8_t* buf, size_t len) const {
        size_t done = 0;
        while (done < len) {
            ssize_t r = ::pwrite(fd, buf + done, len - done, off_t(off + done));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                ioError("write failed");
            }
            done += size_t(r);
        }
    }
    void ensureMarked() {
        if (marked)
            return;
        marked = true;
        uint8_t m[4];
        std::memcpy(m, kDirtyMark, 4);
        writeNow(kDirtyMarkOffset, m, 4);
        if (::fdatasync(fd) != 0)
            ioError("cannot sync");
    }
    void beginChange() {
        if (readOnly)
            throw Error(Error::Code::State, path + ": opened read-only");
        ensureMarked();
        ++version;
    }

    bool validPage(uint32_t off) const {
        return off != kNone && off % kPage == 0 && off >= kHeaderSize &&
               uint64_t(off) + kPage <= fileSize;
    }

    uint32_t allocPage() {
        if (freeHead != 0 && freeHead != kNone) {
            if (!validPage(freeHead))
                corrupt("free-page list points outside the file");
            uint32_t off = freeHead;
            uint8_t b[4];
            readRaw(off, b, 4);
            uint32_t next = rd32(b);
            if (next == off)
                next = 0;
            freeHead = next;
            headerDirty = true;
            return off;
        }
        if (fileSize + kPage > 0xFFFFFE00ull)
            throw Error(Error::Code::Io, path + ": index file too large");
        uint32_t off = uint32_t(fileSize);
        fileSize += kPage;
        return off;
    }
    uint32_t allocHeader() {
        if (fileSize + kHeaderSize > 0xFFFFFE00ull)
            throw Error(Error::Code::Io, path + ": index file too large");
        uint32_t off = uint32_t(fileSize);
        fileSize += kHeaderSize;
        return off;
    }
    void freePage(uint32_t off) {
        if (NodePtr gone = cache.take(off)) {
            cacheBytes -= gone->memory();
            gone->dirty = false;
        }
        uint8_t page[kPage] = {};
        wr32(page, freeHead == kNone ? 0 : freeHead);
        writeRaw(off, page, kPage);
        freeHead = off;
        headerDirty = true;
    }

    NodePtr load(uint32_t off, int klen, uint8_t fill) {
        if (NodePtr hit = cached(off, klen))
            return hit;
        uint8_t page[kPage];
        readPage(off, page);
        return install(off, klen, fill, page);
    }
    // The cached node at `off`, or null when it is not in the cache.
    NodePtr cached(uint32_t off, int klen) {
        NodePtr* hit = cache.find(off);
        if (!hit)
            return nullptr;
        touch(**hit, klen);
        return *hit;
    }
    // The same without taking a reference: valid until the cache is next
    // trimmed (a descent that trims nothing on its way down needs no more,
    // and spares the shared count's atomic updates on every level).
    Node* cachedNode(uint32_t off, int klen) {
        NodePtr* hit = cache.find(off);
        if (!hit)
            return nullptr;
        touch(**hit, klen);
        return hit->get();
    }
    void touch(Node& nd, int klen) {
        nd.lastUse = ++tick;
        if (nd.klen != klen)
            corrupt("page " + std::to_string(nd.off) + " is shared by two trees");
    }
    void readPage(uint32_t off, uint8_t* page) const {
        if (!validPage(off))
            corrupt("node pointer " + std::to_string(off) + " outside the file");
        readRaw(off, page, kPage);
    }
    // True while another decoded leaf fits below the level trim() brings the
    // cache down to. Above it, leaves found by seeks are scanned in place:
    // the headroom is left to interior nodes, so that a long run of seeks
    // does not keep filling the cache and emptying it again.
    bool hasRoom() const {
        return cacheBytes + 2 * kPage <= cacheLimit * 3 / 4 &&
               cache.size() < kMaxCachedNodes * 3 / 4;
    }
    // Decodes a page just read and keeps it in the cache.
    NodePtr install(uint32_t off, int klen, uint8_t fill, const uint8_t* page) {
        auto nd = std::make_shared<Node>();
        nd->off = off;
        nd->klen = klen;
        nd->fill = fill;
        std::string err = decodeNode(page, *nd);
        if (!err.empty())
            corrupt(err);
        nd->lastUse = ++tick;
        cacheBytes += nd->memory();
        cache.put(off, nd);
        return nd;
    }
    NodePtr fresh(uint32_t off, int klen, uint8_t fill, uint16_t attr) {
        auto nd = std::make_shared<Node>();
        nd->off = off;
        nd->klen = klen;
        nd->fill = fill;
        nd->attr = attr;
        nd->stride = (attr & kAttrLeaf) ? 0 : klen;
        nd->dirty = true;
        nd->lastUse = ++tick;
        cacheBytes += nd->memory();
        cache.put(off, nd);
        return nd;
    }
    void writeNode(Node& nd) {
        uint8_t page[kPage];
        encodeNode(nd, page);
        writeRaw(nd.off, page, kPage);
        nd.dirty = false;
    }
    // Keeps the cache within its budget: writes back and drops the least
    // recently used nodes. Called between operations only, so no node in use
    // by an operation is dropped.
    void trim() {
        if (cacheBytes <= cacheLimit && cache.size() <= kMaxCachedNodes)
            return;
        std::vector<std::pair<uint64_t, uint32_t>> order;
        order.reserve(cache.size());
        cache.forEach([&](uint32_t off, NodePtr& nd) { order.emplace_back(nd->lastUse, off); });
        std::sort(order.begin(), order.end());
        size_t targetBytes = cacheLimit * 3 / 4, targetCount = kMaxCachedNodes * 3 / 4;
        size_t count = cache.size();
        for (auto& [use, off] : order) {
            if (cacheBytes <= targetBytes && count <= targetCount)
                break;
            NodePtr nd = cache.take(off);
            if (nd->dirty)
                writeNode(*nd);
            cacheBytes -= nd->memory();
            --count;
        }
    }
    void recount(const NodePtr& nd, size_t before) {
        cacheBytes = cacheBytes - before + nd->memory();
    }
    void flushNodes() {
        std::vector<Node*> dirty;
        cache.forEach([&](uint32_t, NodePtr& nd) {
            if (nd->dirty)
                dirty.push_back(nd.get());
        });
        std::sort(dirty.begin(), dirty.end(), [](Node* a, Node* b) { return a->off < b->off; });
        for (Node* nd : dirty)
            writeNode(*nd);
    }
    void dropCache() {
        flushNodes();
        cache.clear();
        cacheBytes = 0;
    }
};

// ---------------------------------------------------------------------------
// One tree (a tag, the tag directory, or the tree of an IDX file).

class TreeImpl final : public IndexTree {
public:
    TreeImpl(IndexFileCore& f, uint32_t headerOff) : f_(f), header_(headerOff) {}

    IndexFileCore& f_;
    uint32_t header_;
    uint32_t root_ = 0;
    bool rootDirty_ = false;
    TagInfo info_;
    uint8_t fill_ = 0x20;
    bool typeKnown_ = false;
    bool rebuilt_ = false; // cleared or rebuilt since the file was opened
    // A tag whose tree cannot be reached (its root outside the file, its
    // first leaf unreadable) is kept with its definition, so that the rest
    // of the index stays usable and a rebuild can make it anew; until then
    // every use of it is an error naming the damage.
    std::string damage_; // the cause, empty while the tree is sound
    std::string damageText() const { return damage_.empty() ? damage_ : "tag " + info_.name + ": " + damage_; }
    void requireSound() const {
        if (!damage_.empty())
            throw Error(Error::Code::Corrupt, f_.path + ": " + damageText() + "; rebuild the index");
    }

    int klen() const { return info_.keyLength; }
    const TagInfo& info() const override { return info_; }

    NodePtr load(uint32_t off) { return f_.load(off, klen(), fill_); }

    void setRoot(uint32_t off) {
        root_ = off;
        rootDirty_ = true;
    }
    void writeRootIfNeeded() {
        if (!rootDirty_)
            return;
        uint8_t b[4];
        wr32(b, root_);
        f_.writeRaw(header_, b, 4);
        rootDirty_ = false;
    }

    void setKeyType(KeyType t) override {
        applyHeld();
        uint8_t fill = t == KeyType::Character ? 0x20 : 0x00;
        info_.type = t;
        typeKnown_ = true;
        if (fill != fill_) {
            // Cached nodes were decoded with the other fill byte.
            f_.dropCache();
            fill_ = fill;
        }
    }

    // Descends to the leaf holding the first entry satisfying `ge` (a predicate
    // monotone in index order). Returns the leaf and fills `path` with
    // (interior node, child index) pairs from the root down.
    template <class Pred> NodePtr descend(Pred ge, std::vector<std::pair<NodePtr, int>>* path) {
        uint32_t off = root_;
        for (int depth = 0;; ++depth) {
            if (depth > kMaxDepth)
                f_.corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels (a cycle?)");
            NodePtr nd = load(off);
            if (nd->leaf())
                return nd;
            // First entry satisfying the predicate (binary search: the entries
            // are in order and the predicate is monotone over them).
            int lo = 0, hi = nd->n();
            while (lo < hi) {
                int mid = (lo + hi) / 2;
                if (ge(nd->raw(mid), nd->recs[size_t(mid)]))
                    hi = mid;
                else
                    lo = mid + 1;
            }
            int i = lo;
            if (i == nd->n())
                i = nd->n() - 1;
            if (path)
                path->emplace_back(nd, i);
            off = nd->kids[i];
        }
    }

    // Insertions are held back and applied in key order: a run of records
    // with scattered keys then visits each leaf once per batch instead of
    // once per key, which keeps a large set of tags from thrashing the node
    // cache. Every other operation applies the held entries first, so
    // nothing outside this class sees the difference. The file carries its
    // open-for-writing mark from the first held entry on, so a killed process
    // leaves an index that is known to need rebuilding.
    //
    // When the held entries outgrow their memory allowance they are sorted
    // and written to a scratch file as a run, and memory is reused. Once the
    // runs are applied, a batch that is large next to the tree is merged
    // with the tree's leaves into a freshly packed tree in one sequential
    // pass; a small one is inserted entry by entry. Either way the cost no
    // longer depends on how much of a large tree the node cache can hold,
    // while memory stays bounded. The scratch file is unnamed: it vanishes
    // with the process, and a killed process leaves the index marked.
    static constexpr size_t kHeldEntries = 32768;
    static constexpr size_t kHeldBytes = 1u << 20;
    static constexpr size_t kMaxRuns = 64;
    static constexpr size_t kRunBuffer = 64u << 10;
    std::vector<uint8_t> heldKeys_;
    std::vector<uint32_t> heldRecs_;
    struct Run {
        uint64_t off;
        uint64_t count;
    };
    std::vector<Run> runs_;
    uint64_t runEntries_ = 0;
    int spillFd_ = -1;
    bool spillUnavailable_ = false;
    uint64_t spillEnd_ = 0;

    ~TreeImpl() override {
        if (spillFd_ >= 0)
            ::close(spillFd_);
    }

    void insert(Key key, uint32_t recno) override {
        checkKey(key);
        requireSound();
        f_.beginChange();
        heldKeys_.insert(heldKeys_.end(), key.begin(), key.end());
        heldRecs_.push_back(recno);
        if (loading_) {
            if (heldKeys_.size() + heldRecs_.size() * 4 >= loadBytes_ && !spillHeld())
                throw Error(Error::Code::Io, f_.path + ": cannot write held index entries for tag " +
                                                 info_.name + ": " + std::strerror(errno));
            return;
        }
        if (heldRecs_.size() >= kHeldEntries || heldKeys_.size() >= kHeldBytes) {
            if (runs_.size() >= kMaxRuns || !spillHeld())
                applyHeld();
        }
    }

    // A load: larger in-memory runs, no limit on their number, and the tree
    // built in one pass at the end.
    bool loading_ = false;
    size_t loadBytes_ = 0;

    bool beginLoad(size_t memory) override {
        clear();
        if (!openSpill())
            return false;
        loading_ = true;
        const size_t entry = size_t(klen()) + 4;
        loadBytes_ = std::max(memory, entry * 1024);
        heldKeys_.reserve(loadBytes_ / entry * size_t(klen()) + size_t(klen()));
        heldRecs_.reserve(loadBytes_ / entry + 1);
        return true;
    }

    void finishLoad(bool unique) override {
        loading_ = false;
        struct Drop {
            TreeImpl& t;
            ~Drop() {
                t.dropHeld();
                std::vector<uint8_t>().swap(t.heldKeys_);
                std::vector<uint32_t>().swap(t.heldRecs_);
            }
        } drop{*this};
        NodePtr root = load(root_);
        if (!root->leaf() || root->n() != 0) {
            // Something read the tag during the load: entries are already in it.
            applyHeld();
            return;
        }
        f_.beginChange();
        HeldStream in(*this);
        const uint32_t firstLeaf = root_;
        if (NodePtr gone = f_.cache.take(firstLeaf))
            f_.cacheBytes -= gone->memory();
        root.reset();
        std::vector<uint8_t> prev;
        bool havePrev = false;
        auto next = [&](std::vector<uint8_t>& key, uint32_t& rec) {
            for (; in.valid(); in.advance()) {
                const uint8_t* k = in.key();
                // Unique: the lowest record number of each key (it comes first).
                if (unique && havePrev && std::memcmp(prev.data(), k, size_t(klen())) == 0)
                    continue;
                key.assign(k, k + klen());
                rec = in.rec();
                if (unique) {
                    prev = key;
                    havePrev = true;
                }
                in.advance();
                return true;
            }
            return false;
        };
        std::vector<uint32_t> allocated;
        try {
            buildFrom(next, firstLeaf, allocated);
        } catch (...) {
            for (uint32_t off : allocated)
                f_.freePage(off);
            f_.fresh(firstLeaf, klen(), fill_, kAttrLeaf | kAttrRoot);
            setRoot(firstLeaf);
            throw;
        }
    }

    // The held entries' positions in (key, recno) order. The first eight key
    // bytes are compared as one integer, the rest only where those agree;
    // entries are held in arrival order, so ties fall back to the record
    // numbers.
    std::vector<uint32_t> heldOrder() const {
        const size_t len = size_t(klen()), plen = std::min<size_t>(8, len);
        struct Item {
            uint64_t prefix;
            uint32_t pos;
        };
        std::vector<Item> items(heldRecs_.size());
        for (size_t i = 0; i < items.size(); ++i) {
            const uint8_t* k = heldKeys_.data() + i * len;
            uint64_t p = 0;
            for (size_t j = 0; j < 8; ++j)
                p = (p << 8) | (j < plen ? k[j] : 0);
            items[i] = {p, uint32_t(i)};
        }
        std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            if (len > 8) {
                int c = std::memcmp(heldKeys_.data() + size_t(a.pos) * len + 8,
                                    heldKeys_.data() + size_t(b.pos) * len + 8, len - 8);
                if (c != 0)
                    return c < 0;
            }
            return heldRecs_[a.pos] != heldRecs_[b.pos] ? heldRecs_[a.pos] < heldRecs_[b.pos] : a.pos < b.pos;
        });
        std::vector<uint32_t> order(items.size());
        for (size_t i = 0; i < items.size(); ++i)
            order[i] = items[i].pos;
        return order;
    }

    bool openSpill() {
        if (spillFd_ >= 0)
            return true;
        if (spillUnavailable_)
            return false;
        std::string dir = f_.path;
        size_t slash = dir.find_last_of('/');
        dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash + 1);
        if (dir.empty())
            dir = "/";
#ifdef O_TMPFILE
        spillFd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
        if (spillFd_ < 0) {
            std::string name = dir + (dir.back() == '/' ? "" : "/") + ".qbheldXXXXXX";
            spillFd_ = ::mkstemp(name.data());
            if (spillFd_ >= 0) {
                ::unlink(name.c_str());
                ::fcntl(spillFd_, F_SETFD, FD_CLOEXEC);
            }
        }
        if (spillFd_ < 0) {
            // No room for a scratch file (read-only directory, no space):
            // held entries are then applied in memory-sized batches.
            spillUnavailable_ = true;
            return false;
        }
        return true;
    }

    // Writes the held entries as one sorted run; false when there is no
    // scratch file to write to (the caller applies them instead).
    bool spillHeld() {
        if (!openSpill())
            return false;
        const size_t len = size_t(klen()), entry = len + 4;
        std::vector<uint32_t> order = heldOrder();
        std::vector<uint8_t> buf;
        buf.reserve(kRunBuffer + entry);
        uint64_t at = spillEnd_;
        auto drain = [&] {
            size_t done = 0;
            while (done < buf.size()) {
                ssize_t w = ::pwrite(spillFd_, buf.data() + done, buf.size() - done, off_t(at + done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    return false;
                done += size_t(w);
            }
            at += buf.size();
            buf.clear();
            return true;
        };
        for (uint32_t i : order) {
            const uint8_t* k = heldKeys_.data() + size_t(i) * len;
            buf.insert(buf.end(), k, k + len);
            uint8_t r[4];
            wr32(r, heldRecs_[i]);
            buf.insert(buf.end(), r, r + 4);
            if (buf.size() >= kRunBuffer && !drain())
                return spillFailed();
        }
        if (!drain())
            return spillFailed();
        runs_.push_back({spillEnd_, heldRecs_.size()});
        runEntries_ += heldRecs_.size();
        spillEnd_ = at;
        heldKeys_.clear();
        heldRecs_.clear();
        return true;
    }
    // A failed scratch write (disk full): the runs already written stay
    // readable and the held entries are still in memory; the caller applies.
    bool spillFailed() {
        spillUnavailable_ = true;
        return false;
    }

    // Reads one run back in order, a buffer at a time.
    struct RunReader {
        int fd = -1;
        uint64_t pos = 0, left = 0; // next file position, entries not yet read
        size_t entry = 0;           // bytes per entry: key and record number
        size_t bufBytes = kRunBuffer;
        std::vector<uint8_t> buf;
        size_t at = 0, have = 0;    // bytes
        const std::string* path = nullptr;
        bool valid() const { return at < have; }
        const uint8_t* key() const { return buf.data() + at; }
        uint32_t rec() const { return rd32(buf.data() + at + entry - 4); }
        void advance() {
            at += entry;
            if (at >= have)
                refill();
        }
        void refill() {
            at = have = 0;
            if (left == 0)
                return;
            const uint64_t n = std::min<uint64_t>(left, std::max<size_t>(1, bufBytes / entry));
            const size_t bytes = size_t(n) * entry;
            buf.resize(bytes);
            size_t done = 0;
            while (done < bytes) {
                ssize_t r = ::pread(fd, buf.data() + done, bytes - done, off_t(pos + done));
                if (r < 0 && errno == EINTR)
                    continue;
                if (r <= 0)
                    throw Error(Error::Code::Io, *path + ": cannot read back held index entries: " +
                                                     (r < 0 ? std::strerror(errno) : "short read"));
                done += size_t(r);
            }
            pos += bytes;
            left -= n;
            have = bytes;
        }
    };

    // Every held entry, spilled or in memory, in (key, recno) order. The
    // sources (the runs and the sorted in-memory entries) meet in a
    // tournament tree that keeps the loser of each match: the next entry
    // costs one comparison per level, half of what a heap needs, which
    // matters when a large table's load merges dozens of runs.
    class HeldStream {
    public:
        explicit HeldStream(TreeImpl& t) : t_(t), len_(size_t(t.klen())), order_(t.heldOrder()) {
            readers_.resize(t.runs_.size());
            // Read buffers shrink when there are many runs, so that merging
            // stays within a few megabytes.
            const size_t per = std::max<size_t>(4096, std::min(kRunBuffer, (size_t(8) << 20) / (readers_.size() + 1)));
            for (size_t i = 0; i < readers_.size(); ++i) {
                RunReader& r = readers_[i];
                r.fd = t.spillFd_;
                r.pos = t.runs_[i].off;
                r.left = t.runs_[i].count;
                r.entry = len_ + 4;
                r.bufBytes = per;
                r.path = &t.f_.path;
                r.refill();
            }
            // Source k_-1 is the in-memory entries, the others are runs.
            k_ = int(readers_.size()) + 1;
            losers_.assign(size_t(k_), 0);
            winner_ = play(1);
        }
        bool valid() const { return !done(winner_); }
        const uint8_t* key() const { return keyOf(winner_); }
        uint32_t rec() const { return recOf(winner_); }
        void advance() {
            int w = winner_;
            if (w == memory())
                ++mem_;
            else
                readers_[size_t(w)].advance();
            // The new head of w replays w's matches on the way to the root.
            for (int node = (w + k_) / 2; node >= 1; node /= 2)
                if (before(losers_[size_t(node)], w))
                    std::swap(losers_[size_t(node)], w);
            winner_ = w;
        }

    private:
        int memory() const { return k_ - 1; }
        bool done(int src) const {
            return src == memory() ? mem_ >= order_.size() : !readers_[size_t(src)].valid();
        }
        const uint8_t* keyOf(int src) const {
            return src == memory() ? t_.heldKeys_.data() + size_t(order_[mem_]) * len_ : readers_[size_t(src)].key();
        }
        uint32_t recOf(int src) const {
            return src == memory() ? t_.heldRecs_[order_[mem_]] : readers_[size_t(src)].rec();
        }
        // True when a's head comes before b's; an exhausted source comes
        // after everything.
        bool before(int a, int b) const {
            if (done(a))
                return false;
            if (done(b))
                return true;
            const int c = compareEntry(keyOf(a), recOf(a), keyOf(b), recOf(b), int(len_));
            return c < 0 || (c == 0 && a < b);
        }
        // Plays the matches below `node` (leaves are nodes k_..2k_-1) and
        // returns the winner, keeping each match's loser at its node.
        int play(int node) {
            if (node >= k_)
                return node - k_;
            const int a = play(2 * node), b = play(2 * node + 1);
            if (before(a, b)) {
                losers_[size_t(node)] = b;
                return a;
            }
            losers_[size_t(node)] = a;
            return b;
        }
        TreeImpl& t_;
        size_t len_;
        std::vector<uint32_t> order_;
        size_t mem_ = 0;
        std::vector<RunReader> readers_;
        int k_ = 1;
        std::vector<int> losers_; // nodes 1..k_-1
        int winner_ = 0;
    };

    void dropHeld() {
        heldKeys_.clear();
        heldRecs_.clear();
        runs_.clear();
        runEntries_ = 0;
        const bool used = spillEnd_ != 0;
        spillEnd_ = 0;
        if (used && spillFd_ >= 0 && ::ftruncate(spillFd_, 0) != 0) {
            ::close(spillFd_);
            spillFd_ = -1;
        }
    }

    void applyHeld() {
        if (heldRecs_.empty() && runs_.empty())
            return;
        if (runs_.empty()) {
            std::vector<uint32_t> order = heldOrder();
            std::vector<uint8_t> keys = std::move(heldKeys_);
            std::vector<uint32_t> recs = std::move(heldRecs_);
            dropHeld();
            const size_t len = size_t(klen());
            for (uint32_t i : order)
                insertNow(keys.data() + i * len, recs[i]);
            return;
        }
        // Held entries are consumed even when applying them fails: the file
        // carries its open-for-writing mark and is rebuilt when reopened.
        struct Drop {
            TreeImpl& t;
            ~Drop() { t.dropHeld(); }
        } drop{*this};
        const uint64_t batch = runEntries_ + heldRecs_.size();
        HeldStream in(*this);
        if (batch * 8 >= estimateEntries()) {
            mergeRebuild(in);
        } else {
            for (; in.valid(); in.advance())
                insertNow(in.key(), in.rec());
        }
    }

    // A rough entry count from the leftmost path (a node's fill times the
    // fill below it), enough to tell a small batch from a large one.
    uint64_t estimateEntries() {
        uint64_t est = 1;
        uint32_t off = root_;
        for (int depth = 0; depth <= kMaxDepth; ++depth) {
            NodePtr nd = load(off);
            est *= uint64_t(std::max(1, nd->n()));
            if (nd->leaf() || nd->kids.empty())
                return nd->n() == 0 ? 0 : est;
            off = nd->kids[0];
        }
        f_.corrupt("tree of tag " + info_.name + " deeper than " + std::to_string(kMaxDepth) + " levels");
    }

    // The tree's entries merged with the held ones, written as a new packed
    // tree; the old tree's pages are freed afterwards.
    void mergeRebuild(HeldStream& in) {
        f_.beginChange();
        const uint32_t oldRoot = root_;
        int height = 1;
        NodePtr leaf;
        {
            uint32_t off = root_;
            for (;; ++height) {
                if (height > kMaxDepth)
                    f_.corrupt("tree of tag " + info_.name + " contains a cycle");
                NodePtr nd = load(off);
                if (nd->leaf()) {
                    leaf = nd;
                    break;
                }
                if (nd->kids.empty())
                    f_.corrupt("empty interior node in tag " + info_.name);
                off = nd->kids[0];
            }
        }
        int pos = 0;
        uint64_t hops = 0;
        const uint64_t maxHops = f_.fileSize / kPage + 1;
        auto next = [&](std::vector<uint8_t>& key, uint32_t& rec) {
            while (leaf && pos >= leaf->n()) {
                if (leaf->right == kNone || leaf->right == 0) {
                    leaf.reset();
                    break;
                }
                if (++hops > maxHops)
                    f_.corrupt("leaf chain of tag " + info_.name + " loops");
                leaf = load(leaf->right);
                pos = 0;
                f_.trim(); // only reading the old tree: nothing held is changed
            }
            const bool haveOld = leaf != nullptr, haveNew = in.valid();
            if (!haveOld && !haveNew)
                return false;
            key.resize(size_t(klen()));
            if (haveOld && (!haveNew || compareEntry(leaf->key(pos), leaf->recs[size_t(pos)], in.key(),
                                                     in.rec(), klen()) <= 0)) {
                std::memcpy(key.data(), leaf->key(pos), size_t(klen()));
                rec = leaf->recs[size_t(pos)];
                ++pos;
            } else {
                std::memcpy(key.data(), in.key(), size_t(klen()));
                rec = in.rec();
                in.advance();
            }
            return true;
        };
        const uint32_t firstLeaf = f_.allocPage();
        std::vector<uint32_t> allocated{firstLeaf};
        try {
            buildFrom(next, firstLeaf, allocated);
        } catch (...) {
            // The old tree is untouched until the new one is complete.
            leaf.reset();
            setRoot(oldRoot);
            for (uint32_t off : allocated)
                f_.freePage(off);
            throw;
        }
        leaf.reset();
        std::unordered_set<uint32_t> seen;
        freeTreePages(oldRoot, 1, height, seen);
        f_.trim();
    }

    // Frees a tree's pages; leaves (at depth `height`) are freed unread.
    void freeTreePages(uint32_t off, int depth, int height, std::unordered_set<uint32_t>& seen) {
        if (depth > kMaxDepth || !seen.insert(off).second)
            f_.corrupt("tree of tag " + info_.name + " contains a cycle");
        if (depth < height) {
            NodePtr nd = load(off);
            std::vector<uint32_t> kids = nd->kids; // none in a leaf found higher up
            for (uint32_t c : kids)
                freeTreePages(c, depth + 1, height, seen);
        } else if (!validPageOf(off)) {
            f_.corrupt("node pointer " + std::to_string(off) + " outside the file");
        }
        f_.freePage(off);
    }
    bool validPageOf(uint32_t off) const { return f_.validPage(off); }

    void insertNow(const uint8_t* k, uint32_t recno) {
        f_.beginChange();
        std::vector<std::pair<NodePtr, int>> path;
        NodePtr leaf =
            descend([&](const uint8_t* ek,
                        uint32_t er) { return compareEntry(ek, er, k, recno, klen()) >= 0; },
                    &path);
        int pos = lowerBound(*leaf, k, recno);
        size_t before = leaf->memory();
        leaf->leafInsert(pos, k, recno);
        leaf->dirty = true;
        f_.recount(leaf, before);
        if (leaf->leafFits()) {
            if (pos == leaf->n() - 1)
                propagateLast(path, leaf->key(pos), recno);
        } else {
            splitLeaf(leaf, path, pos);
        }
        f_.trim();
    }

    bool remove(Key key, uint32_t recno) override {
        checkKey(key);
        requireSound();
        applyHeld();
        if (f_.readOnly)
            throw Error(Error::Code::State, f_.path + ": opened read-only");
        const uint8_t* k = key.data();
        std::vector<std::pair<NodePtr, int>> path;
        NodePtr leaf =
            descend([&](const uint8_t* ek,
                        uint32_t er) { return compareEntry(ek, er, k, recno, klen()) >= 0; },
                    &path);
        int pos = lowerBound(*leaf, k, recno);
        if (pos >= leaf->n() ||
            compareEntry(leaf->key(pos), leaf->recs[pos], k, recno, klen()) != 0)
            return false;
        f_.beginChange();
        size_t before = leaf->memory();
        leaf->leafErase(pos);
        leaf->dirty = true;
        f_.recount(leaf, before);
        if (!leaf->leafFits() &&
            leaf->n() * leafLayoutFor(klen(), leaf->maxRec).bytesPerEntry + leaf->looseKeyBytes() >
                kLeafSpace) {
            // A leaf packed by another writer can need more room after an
            // entry goes: split it like an overfull leaf.
            if (pos == leaf->n() && leaf->n() > 0)
                propagateLast(path, leaf->key(pos - 1), leaf->recs[size_t(pos - 1)]);
            splitLeaf(leaf, path, -1);
        } else if (leaf->n() == 0 && !leaf->root()) {
            removeNode(leaf, path);
        } else if (pos == leaf->n() && leaf->n() > 0) {
            propagateLast(path, leaf->key(pos - 1), leaf->recs[pos - 1]);
            mergeRight(leaf, path);
        } else {
            mergeRight(leaf, path);
        }
        f_.trim();
        return true;
    }

    void bulkLoad(const std::function<bool(std::vector<uint8_t>&, uint32_t&)>& next) override {
        clear(); // entries still held would be replaced anyway
        f_.beginChange();
        // The empty root leaf clear() left is rebuilt from scratch.
        const uint32_t firstLeaf = root_;
        if (NodePtr gone = f_.cache.take(firstLeaf))
            f_.cacheBytes -= gone->memory();
        std::vector<uint32_t> allocated;
        try {
            buildFrom(next, firstLeaf, allocated);
        } catch (...) {
            // A failed load (a key that could not be computed, unsorted
            // input) leaves an empty tag, not a half-written one.
            for (uint32_t off : allocated)
                f_.freePage(off);
            f_.fresh(firstLeaf, klen(), fill_, kAttrLeaf | kAttrRoot);
            setRoot(firstLeaf);
            throw;
        }
    }

    void buildFrom(const std::function<bool(std::vector<uint8_t>&, uint32_t&)>& next,
                   uint32_t firstLeaf, std::vector<uint32_t>& allocated) {
        struct Up {
            std::vector<uint8_t> key;
            uint32_t rec;
            uint32_t child;
        };
        std::vector<Up> level;
        Node cur;
        cur.klen = klen();
        cur.fill = fill_;
        cur.attr = kAttrLeaf;
        cur.off = firstLeaf;
        uint32_t prevOff = kNone;
        std::vector<uint8_t> key;
        uint32_t rec = 0;
        std::vector<uint8_t> lastKey(size_t(klen()), 0);
        uint32_t lastRec = 0;
        bool haveLast = false;
        auto emit = [&](uint32_t rightOff) {
            cur.left = prevOff;
            cur.right = rightOff;
            f_.writeNode(cur);
            level.push_back({cur.keyVec(cur.n() - 1), cur.recs.back(), cur.off});
            prevOff = cur.off;
        };
        while (next(key, rec)) {
            if (int(key.size()) != klen())
                throw Error(Error::Code::Argument,
                            f_.path + ": key of wrong length for tag " + info_.name);
            if (haveLast && compareEntry(key.data(), rec, lastKey.data(), lastRec, klen()) < 0)
                throw Error(Error::Code::Argument,
                            f_.path + ": entries for tag " + info_.name + " are not sorted");
            std::memcpy(lastKey.data(), key.data(), size_t(klen()));
            lastRec = rec;
            haveLast = true;
            cur.leafInsert(cur.n(), key.data(), rec);
            if (!cur.leafFits()) {
                cur.leafErase(cur.n() - 1);
                cur.maxRec = 0;
                for (uint32_t r : cur.recs)
                    cur.maxRec = std::max(cur.maxRec, r);
                uint32_t nextOff = f_.allocPage();
                allocated.push_back(nextOff);
                emit(nextOff);
                cur.keys.clear();
                cur.stride = 0;
                cur.recs.clear();
                cur.trails.clear();
                cur.keyBytes = 0;
                cur.maxRec = 0;
                cur.off = nextOff;
                cur.leafInsert(0, key.data(), rec);
            }
        }
        if (level.empty()) {
            // Everything fits in one root leaf (possibly empty).
            cur.attr = kAttrLeaf | kAttrRoot;
            cur.left = cur.right = kNone;
            f_.writeNode(cur);
            setRoot(cur.off);
            return;
        }
        emit(kNone);
        // Interior levels, bottom-up.
        const int cap = interiorCapacity(klen());
        while (level.size() > 1) {
            std::vector<Up> upper;
            // Nodes of nearly equal size: none above capacity, none empty.
            const size_t groups = (level.size() + size_t(cap) - 1) / size_t(cap);
            uint32_t prev = kNone;
            std::vector<uint32_t> offs(groups);
            for (size_t g = 0; g < groups; ++g) {
                offs[g] = f_.allocPage();
                allocated.push_back(offs[g]);
            }
            for (size_t g = 0; g < groups; ++g) {
                Node in;
                in.stride = klen();
                in.klen = klen();
                in.off = offs[g];
                in.attr = groups == 1 ? kAttrRoot : 0;
                in.left = prev;
                in.right = g + 1 < groups ? offs[g + 1] : kNone;
                const size_t from = g * level.size() / groups, to = (g + 1) * level.size() / groups;
                for (size_t j = from; j < to; ++j) {
                    in.keys.insert(in.keys.end(), level[j].key.begin(), level[j].key.end());
                    in.recs.push_back(level[j].rec);
                    in.kids.push_back(level[j].child);
                }
                f_.writeNode(in);
                upper.push_back({level[to - 1].key, level[to - 1].rec, in.off});
                prev = in.off;
            }
            level = std::move(upper);
        }
        setRoot(level[0].child);
    }

    void clear() override {
        dropHeld();
        loading_ = false;
        f_.beginChange();
        rebuilt_ = true;
        freeAllPages();
        uint32_t off = f_.allocPage();
        NodePtr nd = f_.fresh(off, klen(), fill_, kAttrLeaf | kAttrRoot);
        setRoot(off);
        damage_.clear();
        f_.trim();
    }

    // Frees every page of the tree. Leaves are freed unread: they are most
    // of a large tree, and only interior nodes say where pages are. A
    // damaged tree's pages cannot be told apart from others': they are left
    // unused rather than risk freeing a page that is in use.
    void freeAllPages() {
        if (!damage_.empty())
            return;
        std::unordered_set<uint32_t> seen;
        freeTreePages(root_, 1, treeHeight(), seen);
    }
    // Levels from the root to the leaves along the leftmost path (1: the
    // root is a leaf).
    int treeHeight() {
        uint32_t off = root_;
        for (int height = 1; height <= kMaxDepth; ++height) {
            NodePtr nd = load(off);
            if (nd->leaf() || nd->kids.empty())
                return height;
            off = nd->kids[0];
        }
        f_.corrupt("tree of tag " + info_.name + " contains a cycle");
    }

    class CursorImpl;
    std::unique_ptr<Cursor> cursor() override;

    uint64_t count() override {
        requireSound();
        applyHeld();
        uint64_t total = 0;
        NodePtr nd = leftmostLeaf();
        uint64_t hops = 0;
        const uint64_t maxHops = f_.fileSize / kPage + 1;
        while (nd) {
            total += uint64_t(nd->n());
            if (nd->right == kNone || nd->right == 0)
                break;
            if (++hops > maxHops)
                f_.corrupt("leaf chain of tag " + info_.name + " loops");
            nd = load(nd->right);
            f_.trim(); // reading only: nothing held here is changed
        }
        return total;
    }

    void verify(std::vector<std::string>& faults) override;

    // --- helpers ---
    void checkKey(Key key) const {
        if (int(key.size()) != klen())
            throw Error(Error::Code::Argument, f_.path + ": key of " + std::to_string(key.size()) +
                                                   " bytes for tag " + info_.name +
                                                   " of key length " + std::to_string(klen()));
    }
    int lowerBound(const Node& nd, const uint8_t* k, uint32_t r) const {
        int lo = 0, hi = nd.n();
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (nd.compareTo(mid, k, r) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    NodePtr leftmostLeaf() {
        return descend([](const uint8_t*, uint32_t) { return true; }, nullptr);
    }
    NodePtr rightmostLeaf() {
        return descend([](const uint8_t*, uint32_t) { return false; }, nullptr);
    }

    // The child at path level gained a new greatest entry: the interior entries
    // describing it (and its ancestors while they are last) must follow.
    void propagateLast(std::vector<std::pair<NodePtr, int>>& path, const uint8_t* k, uint32_t r) {
        std::vector<uint8_t> kk(k, k + klen());
        for (int lvl = int(path.size()) - 1; lvl >= 0; --lvl) {
            auto& [nd, i] = path[size_t(lvl)];
            std::memcpy(nd->keys.data() + size_t(i) * klen(), kk.data(), size_t(klen()));
            nd->recs[size_t(i)] = r;
            nd->dirty = true;
            if (i != nd->n() - 1)
                break;
        }
    }

    // Splits an overfull leaf into two (or, with very long keys, more) leaves.
    void splitLeaf(NodePtr leaf, std::vector<std::pair<NodePtr, int>>& path, int insertedAt) {
        const int n = leaf->n();
        // Entry sizes as they would be in separate nodes: each piece's first
        // key is stored whole.
        std::vector<int> cut; // start indexes of pieces after the first
        // Sizes use the whole node's entry width (never smaller than a
        // piece's own) and prefix sums of the stored key bytes.
        const int bpe = leafLayoutFor(klen(), leaf->maxRec).bytesPerEntry;
        std::vector<int> sum(size_t(n) + 1, 0);
        for (int i = 0; i < n; ++i)
            sum[size_t(i) + 1] = sum[size_t(i)] + leaf->storedOf(i);
        auto pieceSize = [&](int from, int to) {
            int bytes =
                leaf->klen - leaf->trails[size_t(from)] + sum[size_t(to)] - sum[size_t(from) + 1];
            return (to - from) * bpe + bytes;
        };
        if (insertedAt == n - 1 && leaf->right == kNone && pieceSize(0, n - 1) <= kLeafSpace) {
            cut.push_back(n - 1); // appending in order: keep the left leaf full
        } else {
            int best = -1, bestDiff = 1 << 30;
            for (int s = 1; s < n; ++s) {
                int a = pieceSize(0, s), b = pieceSize(s, n);
                if (a <= kLeafSpace && b <= kLeafSpace && std::abs(a - b) < bestDiff) {
                    best = s;
                    bestDiff = std::abs(a - b);
                }
            }
            if (best > 0) {
                cut.push_back(best);
            } else {
                int from = 0;
                while (from < n) {
                    int to = from + 1;
                    while (to < n && pieceSize(from, to + 1) <= kLeafSpace)
                        ++to;
                    if (to < n)
                        cut.push_back(to);
                    from = to;
                }
            }
        }
        // Build the new right-hand pieces; `leaf` keeps the first piece.
        std::vector<NodePtr> pieces{leaf};
        std::vector<int> bounds{0};
        bounds.insert(bounds.end(), cut.begin(), cut.end());
        bounds.push_back(n);
        const bool wasRoot = leaf->root();
        size_t before = leaf->memory();
        std::vector<uint8_t> allKeys = leaf->keys;
        const int allStride = leaf->stride;
        std::vector<uint32_t> allRecs = leaf->recs;
        uint32_t oldRight = leaf->right;
        for (size_t p = 0; p + 1 < bounds.size(); ++p) {
            NodePtr nd = p == 0 ? leaf : f_.fresh(f_.allocPage(), klen(), fill_, kAttrLeaf);
            size_t b0 = size_t(bounds[p]), b1 = size_t(bounds[p + 1]);
            size_t nb = nd->memory();
            const size_t st = size_t(allStride);
            nd->stride = allStride;
            nd->keys.assign(allKeys.begin() + ptrdiff_t(b0 * st),
                            allKeys.begin() + ptrdiff_t(b1 * st));
            nd->recs.assign(allRecs.begin() + ptrdiff_t(b0), allRecs.begin() + ptrdiff_t(b1));
            nd->recomputeLeaf();
            nd->attr = kAttrLeaf;
            nd->dirty = true;
            if (p > 0) {
                f_.recount(nd, nb);
                pieces.back()->right = nd->off;
                nd->left = pieces.back()->off;
                pieces.push_back(nd);
            }
        }
        f_.recount(leaf, before);
        pieces.back()->right = oldRight;
        if (oldRight != kNone) {
            NodePtr r = load(oldRight);
            r->left = pieces.back()->off;
            r->dirty = true;
        }
        insertPieces(pieces, path, wasRoot);
    }

    // `pieces[0]` is the node the parent already points at; the others follow
    // it. Updates the parent (splitting it if needed) or grows a new root.
    void insertPieces(std::vector<NodePtr>& pieces, std::vector<std::pair<NodePtr, int>>& path,
                      bool wasRoot) {
        if (wasRoot) {
            // Grow a new root describing the first piece; the others are
            // added below like in any parent.
            pieces[0]->attr &= uint16_t(~kAttrRoot);
            pieces[0]->left = kNone;
            NodePtr r = f_.fresh(f_.allocPage(), klen(), fill_, kAttrRoot);
            size_t before = r->memory();
            const NodePtr& p0 = pieces[0];
            r->keys = p0->keyVec(p0->n() - 1);
            r->recs.push_back(p0->recs.back());
            r->kids.push_back(p0->off);
            f_.recount(r, before);
            setRoot(r->off);
            path.clear();
            path.emplace_back(r, 0);
        }
        auto [parent, idx] = path.back();
        path.pop_back();
        size_t before = parent->memory();
        // Entry idx now describes pieces[0]; the other pieces follow it.
        std::memcpy(parent->keys.data() + size_t(idx) * klen(), pieces[0]->key(pieces[0]->n() - 1),
                    size_t(klen()));
        parent->recs[size_t(idx)] = pieces[0]->recs.back();
        for (size_t p = 1; p < pieces.size(); ++p) {
            const NodePtr& nd = pieces[p];
            size_t at = size_t(idx) + p;
            {
                auto kv = nd->keyVec(nd->n() - 1);
                parent->keys.insert(parent->keys.begin() + ptrdiff_t(at * klen()), kv.begin(),
                                    kv.end());
            }
            parent->recs.insert(parent->recs.begin() + ptrdiff_t(at), nd->recs.back());
            parent->kids.insert(parent->kids.begin() + ptrdiff_t(at), nd->off);
        }
        parent->dirty = true;
        f_.recount(parent, before);
        // A new greatest key of this subtree must reach the ancestors.
        if (size_t(idx) + pieces.size() == size_t(parent->n()) && !path.empty())
            propagateLast(path, parent->key(parent->n() - 1), parent->recs.back());
        const int cap = interiorCapacity(klen());
        if (parent->n() <= cap)
            return;
        // Split the interior node. Growth at the right-hand end of the tree
        // (entries arriving in key order) keeps the left node full; otherwise
        // the left node takes the larger half. Leaving the left node the
        // smaller half would, with long keys (two or three per node), turn
        // ordered runs into chains of single-child nodes.
        const bool parentRoot = parent->root();
        const bool atEnd = size_t(idx) + pieces.size() == size_t(parent->n()) &&
                           (parentRoot || parent->right == kNone);
        NodePtr right = f_.fresh(f_.allocPage(), klen(), fill_, 0);
        int n = parent->n(), half = atEnd ? cap : (n + 1) / 2;
        size_t pb = parent->memory(), rb = right->memory();
        right->keys.assign(parent->keys.begin() + ptrdiff_t(half * klen()), parent->keys.end());
        right->recs.assign(parent->recs.begin() + half, parent->recs.end());
        right->kids.assign(parent->kids.begin() + half, parent->kids.end());
        parent->keys.resize(size_t(half) * klen());
        parent->recs.resize(size_t(half));
        parent->kids.resize(size_t(half));
        parent->attr = 0;
        right->right = parentRoot ? kNone : parent->right;
        right->left = parent->off;
        if (right->right != kNone) {
            NodePtr rr = load(right->right);
            rr->left = right->off;
            rr->dirty = true;
        }
        parent->right = right->off;
        if (parentRoot)
            parent->left = kNone;
        f_.recount(parent, pb);
        f_.recount(right, rb);
        std::vector<NodePtr> up{parent, right};
        insertPieces(up, path, parentRoot);
    }

    // Unlinks and frees an emptied node, removing its entry from the parent.
    void removeNode(NodePtr nd, std::vector<std::pair<NodePtr, int>>& path) {
        if (nd->left != kNone) {
            NodePtr l = load(nd->left);
            l->right = nd->right;
            l->dirty = true;
        }
        if (nd->right != kNone) {
            NodePtr r = load(nd->right);
            r->left = nd->left;
            r->dirty = true;
        }
        f_.freePage(nd->off);
        auto [parent, idx] = path.back();
        path.pop_back();
        size_t before = parent->memory();
        parent->keys.erase(parent->keys.begin() + ptrdiff_t(size_t(idx) * klen()),
                           parent->keys.begin() + ptrdiff_t(size_t(idx + 1) * klen()));
        parent->recs.erase(parent->recs.begin() + idx);
        parent->kids.erase(parent->kids.begin() + idx);
        parent->dirty = true;
        f_.recount(parent, before);
        if (parent->n() == 0) {
            if (parent->root()) {
                // Cannot happen (a root with one child collapses below), but
                // leave a valid empty tree if it does.
                parent->attr = kAttrRoot | kAttrLeaf;
                parent->kids.clear();
                parent->recomputeLeaf();
                return;
            }
            removeNode(parent, path);
            return;
        }
        if (idx == parent->n() && !path.empty())
            propagateLast(path, parent->key(idx - 1), parent->recs[size_t(idx - 1)]);
        collapseRoot();
    }

    // A root with a single child hands the root role down.
    void collapseRoot() {
        for (int guard = 0; guard < kMaxDepth; ++guard) {
            NodePtr r = load(root_);
            if (r->leaf() || r->n() != 1)
                return;
            NodePtr child = load(r->kids[0]);
            child->attr |= kAttrRoot;
            child->left = child->right = kNone;
            child->dirty = true;
            f_.freePage(r->off);
            setRoot(child->off);
        }
    }

    // Merges a thin leaf with its right neighbour under the same parent when
    // both fit in one page, so deletions give pages back to the free list.
    void mergeRight(NodePtr leaf, std::vector<std::pair<NodePtr, int>>& path) {
        if (path.empty() || leaf->leafSize(leaf->maxRec) > kLeafSpace / 3)
            return;
        auto [parent, idx] = path.back();
        if (idx + 1 >= parent->n())
            return;
        NodePtr right = load(parent->kids[size_t(idx + 1)]);
        if (!right->leaf() || right->off != leaf->right)
            return;
        Node probe;
        probe.klen = klen();
        probe.fill = fill_;
        probe.attr = kAttrLeaf;
        for (const Node* from : {leaf.get(), right.get()})
            for (int i = 0; i < from->n(); ++i)
                probe.leafInsert(probe.n(), from->key(i), from->recs[size_t(i)]);
        if (!probe.leafFits())
            return;
        // Move the right leaf's entries into `leaf`, then drop `right`.
        size_t before = leaf->memory();
        leaf->keys = std::move(probe.keys);
        leaf->stride = probe.stride;
        leaf->recs = std::move(probe.recs);
        leaf->trails = std::move(probe.trails);
        leaf->keyBytes = probe.keyBytes;
        leaf->maxRec = probe.maxRec;
        leaf->dirty = true;
        f_.recount(leaf, before);
        // leaf's parent entry takes over the right leaf's greatest key.
        std::memcpy(parent->keys.data() + size_t(idx) * klen(), parent->key(idx + 1),
                    size_t(klen()));
        parent->recs[size_t(idx)] = parent->recs[size_t(idx + 1)];
        parent->dirty = true;
        auto rightPath = path;
        rightPath.back().second = idx + 1;
        // removeNode fixes the sibling links and the parent entry.
        right->keys.clear();
        right->recs.clear();
        removeNode(right, rightPath);
    }

    void readHeader(bool directory);
    bool looksLikeDates();
    bool looksLogical() {
        NodePtr leaf = leftmostLeaf();
        for (int i = 0; i < leaf->n(); ++i)
            if (leaf->key(i)[0] != 'T' && leaf->key(i)[0] != 'F')
                return false;
        return true;
    }
};

// ---------------------------------------------------------------------------
// Cursor

class TreeImpl::CursorImpl final : public IndexTree::Cursor {
public:
    explicit CursorImpl(TreeImpl& t) : t_(t) {}

    bool first() override {
        t_.applyHeld();
        hops_ = 0;
        return settle(t_.leftmostLeaf(), 0, true);
    }
    bool last() override {
        t_.applyHeld();
        hops_ = 0;
        NodePtr nd = t_.rightmostLeaf();
        return settle(nd, nd->n() - 1, false);
    }
    bool next() override {
        t_.applyHeld();
        if (!valid_)
            return false;
        if (stale() || !node_) {
            std::vector<uint8_t> k = key_;
            uint32_t r = rec_;
            if (!seekFull(k.data(), r))
                return false;
            if (compareEntry(key_.data(), rec_, k.data(), r, t_.klen()) > 0)
                return true; // the entry we stood on is gone: this is the next one
        }
        return settle(node_, idx_ + 1, true);
    }
    bool prev() override {
        t_.applyHeld();
        if (!valid_)
            return false;
        if (stale() || !node_) {
            std::vector<uint8_t> k = key_;
            uint32_t r = rec_;
            if (!seekFull(k.data(), r))
                return last();
        }
        return settle(node_, idx_ - 1, false);
    }
    bool seek(Key key, uint32_t recno) override {
        t_.applyHeld();
        const size_t m = std::min(key.size(), size_t(t_.klen()));
        const uint8_t* k = key.data();
        const bool full = m == size_t(t_.klen());
        auto ge = [&](const uint8_t* ek, uint32_t er) {
            int c = std::memcmp(ek, k, m);
            if (c != 0)
                return c > 0;
            return !full || er >= recno;
        };
        return seekPred(ge, true);
    }
    bool seekLast(Key key) override {
        t_.applyHeld();
        const size_t m = std::min(key.size(), size_t(t_.klen()));
        const uint8_t* k = key.data();
        auto gt = [&](const uint8_t* ek, uint32_t) { return std::memcmp(ek, k, m) > 0; };
        if (seekPred(gt, true))
            return prev();
        return last();
    }
    bool valid() const override { return valid_; }
    Key key() const override { return Key(key_.data(), key_.size()); }
    uint32_t recno() const override { return rec_; }

private:
    TreeImpl& t_;
    NodePtr node_;
    int idx_ = 0;
    bool valid_ = false;
    std::vector<uint8_t> key_;
    uint32_t rec_ = 0;
    uint64_t version_ = 0;
    uint64_t hops_ = 0;
    bool forward_ = true;

    bool stale() const { return version_ != t_.f_.version; }

    bool seekFull(const uint8_t* k, uint32_t r) {
        return seekPred([&](const uint8_t* ek, uint32_t er) {
            return compareEntry(ek, er, k, r, t_.klen()) >= 0;
        });
    }
    // Descends to the first entry satisfying `ge` (monotone in index order).
    // With `mayScan`, a leaf that is not in the node cache while the cache
    // is full is read and scanned in place instead of being decoded into the
    // cache: on a tree much larger than the cache, random seeks then cost a
    // page read each instead of a decode plus an eviction. The cursor keeps
    // the entry's key and record number; a later step re-seeks it through
    // the cache.
    template <class Pred> bool seekPred(Pred ge, bool mayScan = false) {
        hops_ = 0;
        IndexFileCore& f = t_.f_;
        uint32_t off = t_.root_;
        for (int depth = 0;; ++depth) {
            if (depth > kMaxDepth)
                f.corrupt("tree deeper than " + std::to_string(kMaxDepth) + " levels (a cycle?)");
            Node* nd = f.cachedNode(off, t_.klen());
            if (!nd) {
                uint8_t page[kPage];
                f.readPage(off, page);
                if (mayScan && !f.hasRoom() && scanInPlace(page, ge))
                    return true;
                nd = f.install(off, t_.klen(), t_.fill_, page).get(); // the cache keeps it
            }
            if (nd->leaf()) {
                int i = 0;
                while (i < nd->n() && !ge(nd->key(i), nd->recs[size_t(i)]))
                    ++i;
                return settle(*f.cache.find(off), i, true);
            }
            int lo = 0, hi = nd->n();
            while (lo < hi) {
                int mid = (lo + hi) / 2;
                if (ge(nd->raw(mid), nd->recs[size_t(mid)]))
                    hi = mid;
                else
                    lo = mid + 1;
            }
            off = nd->kids[size_t(std::min(lo, nd->n() - 1))];
        }
    }
    // Stands on the first entry of the leaf page satisfying `ge` without
    // caching the leaf. False (nothing changed) when the page is not a leaf,
    // does not decode cleanly or has no such entry: the caller then decodes
    // it the ordinary way.
    template <class Pred> bool scanInPlace(const uint8_t* page, Pred ge) {
        uint8_t k[kMaxKeyLength];
        LeafScan sc;
        if (!scanLeafPage(page, t_.klen(), t_.fill_, ge, k, sc) || sc.idx >= sc.n)
            return false;
        t_.f_.trim(); // between operations: no node is held here
        node_.reset();
        idx_ = sc.idx;
        valid_ = true;
        key_.assign(k, k + t_.klen());
        rec_ = sc.rec;
        version_ = t_.f_.version;
        forward_ = true;
        return true;
    }
    // Stands on entry i of `nd`, moving along the leaf chain over the ends of
    // nodes (and over empty leaves) in the given direction.
    bool settle(NodePtr nd, int i, bool forward) {
        // A walk in one direction crosses each leaf once: more hops than the
        // file has pages means the chain loops.
        if (forward != forward_) {
            forward_ = forward;
            hops_ = 0;
        }
        const uint64_t maxHops = t_.f_.fileSize / kPage + 1;
        while (true) {
            if (i >= 0 && i < nd->n()) {
                t_.f_.trim(); // between operations: the cursor keeps its own node
                node_ = nd;
                idx_ = i;
                valid_ = true;
                const uint8_t* k = nd->key(i);
                key_.assign(k, k + t_.klen());
                rec_ = nd->recs[size_t(i)];
                version_ = t_.f_.version;
                return true;
            }
            uint32_t nextOff = forward ? nd->right : nd->left;
            if (nextOff == kNone || nextOff == 0) {
                valid_ = false;
                node_.reset();
                return false;
            }
            if (++hops_ > maxHops)
                t_.f_.corrupt("leaf chain of tag " + t_.info_.name + " loops");
            NodePtr nn = t_.load(nextOff);
            if (!nn->leaf())
                t_.f_.corrupt("sibling link of a leaf points at an interior node");
            if ((forward ? nn->left : nn->right) != nd->off)
                t_.f_.corrupt("sibling links of leaves " + std::to_string(nd->off) + " and " +
                              std::to_string(nn->off) + " disagree");
            nd = nn;
            i = forward ? 0 : nd->n() - 1;
        }
    }
};

std::unique_ptr<IndexTree::Cursor> TreeImpl::cursor() {
    requireSound();
    applyHeld();
    return std::make_unique<CursorImpl>(*this);
}

// ---------------------------------------------------------------------------
// Structural check

void TreeImpl::verify(std::vector<std::string>& faults) {
    if (!damage_.empty()) {
        faults.push_back(damage_);
        return;
    }
    applyHeld();
    const std::string who = "tag " + info_.name + ": ";
    std::unordered_set<uint32_t> visited;
    std::vector<std::vector<uint32_t>> levels; // node offsets per depth, in order
    std::vector<uint8_t> prevKey;
    uint32_t prevRec = 0;
    bool havePrev = false;
    int leafDepth = -1;
    size_t faultLimit = faults.size() + 200;
    auto fault = [&](const std::string& s) {
        if (faults.size() < faultLimit)
            faults.push_back(who + s);
    };
    struct Item {
        uint32_t off;
        int depth;
        bool hasExpect;
        std::vector<uint8_t> expectKey;
        uint32_t expectRec;
    };
    // Depth-first, left to right, so leaves come in key order.
    std::vector<Item> stack{{root_, 0, false, {}, 0}};
    while (!stack.empty()) {
        Item it = std::move(stack.back());
        stack.pop_back();
        const std::string where = "node " + std::to_string(it.off) + ": ";
        if (!f_.validPage(it.off)) {
            fault(where + "pointer outside the file or not on a page boundary");
            continue;
        }
        if (!visited.insert(it.off).second) {
            fault(where + "reached twice (cycle or shared page)");
            continue;
        }
        if (it.depth > kMaxDepth) {
            fault(where + "tree too deep");
            continue;
        }
        uint8_t page[kPage];
        Node nd;
        nd.off = it.off;
        nd.klen = klen();
        nd.fill = fill_;
        try {
            // Pages changed in memory are checked as they will be written.
            NodePtr* c = f_.cache.find(it.off);
            if (c && (*c)->klen == klen() && (*c)->dirty) {
                encodeNode(**c, page);
            } else {
                f_.readRaw(it.off, page, kPage);
            }
        } catch (const std::exception& e) {
            fault(where + e.what());
            continue;
        }
        std::string err = decodeNode(page, nd, false);
        if (!err.empty()) {
            fault(err);
            continue;
        }
        if (nd.leaf()) {
            const int bits[3] = {page[20], page[21], page[22]};
            const uint64_t masks[3] = {rd32(page + 14), page[18], page[19]};
            for (int k = 0; k < 3; ++k)
                if (masks[k] != (uint64_t(1) << bits[k]) - 1)
                    fault(where + "leaf mask does not match its bit count");
            const int bpe = page[23];
            if ((uint64_t(1) << page[21]) - 1 < uint64_t(klen()) ||
                (uint64_t(1) << page[22]) - 1 < uint64_t(klen()))
                fault(where + "count fields too narrow for the key length");
            int freeBytes = kLeafSpace - nd.n() * bpe;
            // Recount the stored bytes as this page holds them.
            int stored = 0;
            for (int i = 0; i < nd.n(); ++i) {
                const uint8_t* e = page + kLeafEntries + i * bpe;
                uint64_t v = 0;
                for (int b = 0; b < bpe; ++b)
                    v |= uint64_t(e[b]) << (8 * b);
                int dup = int((v >> page[20]) & ((1u << page[21]) - 1));
                int trail = int((v >> (page[20] + page[21])) & ((1u << page[22]) - 1));
                stored += klen() - dup - trail;
            }
            freeBytes -= stored;
            if (rd16(page + 12) != freeBytes)
                fault(where + "free-byte count " + std::to_string(rd16(page + 12)) + " should be " +
                      std::to_string(freeBytes));
            if (leafDepth < 0)
                leafDepth = it.depth;
            else if (leafDepth != it.depth)
                fault(where + "leaves at different depths");
        } else if (nd.n() > interiorCapacity(klen())) {
            fault(where + "too many keys");
        }
        if (((nd.attr & kAttrRoot) != 0) != (it.depth == 0))
            fault(where + "root flag wrong");
        if (it.depth == 0 && (nd.left != kNone || nd.right != kNone))
            fault(where + "root has siblings");
        if (levels.size() <= size_t(it.depth))
            levels.resize(size_t(it.depth) + 1);
        levels[size_t(it.depth)].push_back(it.off);
        for (int i = 1; i < nd.n(); ++i)
            if (compareEntry(nd.key(i - 1), nd.recs[size_t(i - 1)], nd.key(i), nd.recs[size_t(i)],
                             klen()) > 0)
                fault(where + "keys out of order at entry " + std::to_string(i));
        if (it.hasExpect && nd.n() > 0 &&
            compareEntry(nd.key(nd.n() - 1), nd.recs.back(), it.expectKey.data(), it.expectRec,
                         klen()) != 0)
            fault(where + "parent entry differs from the node's last key");
        if (it.hasExpect && nd.n() == 0)
            fault(where + "empty node below the root");
        if (nd.leaf()) {
            for (int i = 0; i < nd.n(); ++i) {
                if (havePrev && compareEntry(prevKey.data(), prevRec, nd.key(i), nd.recs[size_t(i)],
                                             klen()) > 0)
                    fault(where + "key out of order with the previous leaf");
                prevKey = nd.keyVec(i);
                prevRec = nd.recs[size_t(i)];
                havePrev = true;
            }
        } else {
            for (int i = nd.n() - 1; i >= 0; --i)
                stack.push_back(
                    {nd.kids[size_t(i)], it.depth + 1, true, nd.keyVec(i), nd.recs[size_t(i)]});
        }
        if (faults.size() >= faultLimit)
            return;
    }
    // Sibling links on every level must chain the nodes in order.
    for (auto& lv : levels) {
        for (size_t i = 0; i < lv.size(); ++i) {
            uint8_t hdr[12];
            try {
                NodePtr* c = f_.cache.find(lv[i]);
                uint32_t l, r;
                if (c) {
                    l = (*c)->left;
                    r = (*c)->right;
                } else {
                    f_.readRaw(lv[i], hdr, 12);
                    l = rd32(hdr + 4);
                    r = rd32(hdr + 8);
                }
                uint32_t el = i == 0 ? kNone : lv[i - 1];
                uint32_t er = i + 1 == lv.size() ? kNone : lv[i + 1];
                if (lv.size() > 1 || i > 0) {
                    if (l != el && !(el == kNone && l == 0))
                        fault("node " + std::to_string(lv[i]) + ": left sibling " +
                              std::to_string(l) + " should be " +
                              std::to_string(int64_t(el == kNone ? -1 : el)));
                    if (r != er && !(er == kNone && r == 0))
                        fault("node " + std::to_string(lv[i]) + ": right sibling " +
                              std::to_string(r) + " should be " +
                              std::to_string(int64_t(er == kNone ? -1 : er)));
                }
            } catch (const std::exception& e) {
                fault(e.what());
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Headers

namespace {

KeyType guessKeyType(const std::string& expr, int klen) {
    std::string u;
    for (char c : expr)
        if (c != ' ')
            u += char(std::toupper(static_cast<unsigned char>(c)));
    if (klen == 1) {
        if (u.find("DELETED()") != std::string::npos || (!u.empty() && u[0] == '!') ||
            u.rfind(".NOT.", 0) == 0)
            return KeyType::Logical;
        bool bare = !u.empty() && std::isalpha(static_cast<unsigned char>(u[0]));
        for (char c : u)
            bare = bare && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
        if (bare) // a field: logical unless its keys say otherwise
            return KeyType::Logical;
    }
    if (klen == 8) {
        static const char* charFns[] = {
            "UPPER(", "LOWER(", "STR(",     "DTOS(", "LEFT(", "RIGHT(", "SUBSTR(", "TRIM(",
            "RTRIM(", "LTRIM(", "ALLTRIM(", "PADR(", "PADL(", "DTOC(",  "CHR(",    "SPACE("};
        for (const char* fn : charFns)
            if (u.rfind(fn, 0) == 0)
                return KeyType::Character;
        if (u.find('"') != std::string::npos || u.find('\'') != std::string::npos)
            return KeyType::Character;
        if (u.find("CTOD(") != std::string::npos || u.find("DATE()") != std::string::npos)
            return KeyType::Date;
        return KeyType::Numeric; // or Date: told apart by the keys themselves
    }
    return KeyType::Character;
}

} // namespace

void TreeImpl::readHeader(bool directory) {
    if (uint64_t(header_) + kHeaderSize > f_.fileSize || header_ % kPage != 0)
        f_.corrupt("tag header at " + std::to_string(header_) + " outside the file");
    uint8_t h[kHeaderSize];
    f_.readRaw(header_, h, kHeaderSize);
    root_ = rd32(h);
    const int klen = rd16(h + 12);
    if (klen < 1 || klen > kMaxKeyLength)
        f_.corrupt("key length " + std::to_string(klen) + " of tag " + info_.name +
                   " out of range");
    if (directory && klen != kDirKeyLength)
        f_.corrupt("tag directory with key length " + std::to_string(klen));
    info_.keyLength = klen;
    const uint8_t opts = h[14];
    info_.unique = (opts & kOptUnique) != 0;
    info_.descending = rd16(h + 502) == 1;
    const char* pool = reinterpret_cast<const char*>(h + 512);
    size_t keyEnd = 0;
    while (keyEnd < 512 && pool[keyEnd] != 0)
        ++keyEnd;
    info_.keyExpr.assign(pool, keyEnd);
    size_t forStart = std::min<size_t>(keyEnd + 1, 512), forEnd = forStart;
    while (forEnd < 512 && pool[forEnd] != 0)
        ++forEnd;
    info_.forExpr.assign(pool + forStart, forEnd - forStart);
    if (directory) {
        info_.type = KeyType::Character;
    } else {
        info_.type = guessKeyType(info_.keyExpr, klen);
    }
    fill_ = info_.type == KeyType::Character ? 0x20 : 0x00;
    if (!f_.validPage(root_)) {
        if (directory)
            f_.corrupt("tag directory root at " + std::to_string(root_) + " outside the file");
        damage_ = "root at " + std::to_string(root_) + " outside the file";
        return;
    }
    try {
        if (info_.type == KeyType::Numeric)
            info_.type = looksLikeDates() ? KeyType::Date : KeyType::Numeric;
        if (info_.type == KeyType::Logical && !looksLogical())
            info_.type = KeyType::Character;
    } catch (const Error& e) {
        if (directory || e.code() != Error::Code::Corrupt)
            throw;
        std::string cause = e.what();
        if (cause.rfind(f_.path + ": ", 0) == 0)
            cause.erase(0, f_.path.size() + 2);
        damage_ = cause;
    }
}

// Date keys are whole Julian day numbers (or 0 for a blank date); a first
// leaf holding nothing else is taken for a date tag.
bool TreeImpl::looksLikeDates() {
    NodePtr leaf = leftmostLeaf();
    int dates = 0;
    for (int i = 0; i < leaf->n(); ++i) {
        const uint8_t* k = leaf->key(i);
        uint64_t bits = 0;
        for (int b = 0; b < 8; ++b)
            bits = (bits << 8) | k[b];
        bits = (bits & 0x8000000000000000ull) ? (bits & 0x7FFFFFFFFFFFFFFFull) : ~bits;
        double v;
        std::memcpy(&v, &bits, 8);
        if (v == 0.0)
            continue;
        if (!(v >= 1721426.0 && v <= 5373484.0) || v != double(int64_t(v)))
            return false;
        ++dates;
    }
    return dates > 0;
}

namespace {

void buildHeader(uint8_t* h, uint32_t root, const TagInfo& info, uint8_t options) {
    std::memset(h, 0, kHeaderSize);
    wr32(h, root);
    wr16(h + 12, uint16_t(info.keyLength));
    h[14] = options;
    h[15] = 1;
    wr16(h + 502, info.descending ? 1 : 0);
    const size_t kl = info.keyExpr.size(), fl = info.forExpr.size();
    wr16(h + 504, uint16_t(info.forExpr.empty() ? kl + 1 : kl + 1 + fl + 1));
    wr16(h + 506, uint16_t(fl + 1));
    wr16(h + 508, 0);
    wr16(h + 510, uint16_t(kl + 1));
    std::memcpy(h + 512, info.keyExpr.data(), kl);
    std::memcpy(h + 512 + kl + 1, info.forExpr.data(), fl);
}

void checkTagInfo(const std::string& path, const TagInfo& info, bool needName) {
    if (info.keyLength < 1 || info.keyLength > kMaxKeyLength)
        throw Error(Error::Code::Argument, path + ": key length " + std::to_string(info.keyLength) +
                                               " out of range 1-240");
    if (info.keyExpr.empty())
        throw Error(Error::Code::Argument, path + ": empty key expression");
    if (info.keyExpr.size() + info.forExpr.size() + 2 > 512)
        throw Error(Error::Code::Argument, path + ": key and FOR expressions too long");
    if (info.keyExpr.find('\0') != std::string::npos ||
        info.forExpr.find('\0') != std::string::npos)
        throw Error(Error::Code::Argument, path + ": expression contains a NUL byte");
    if (needName) {
        if (info.name.empty() || info.name.size() > 10)
            throw Error(Error::Code::Argument, path + ": tag name must have 1 to 10 characters");
        for (char c : info.name)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
                throw Error(Error::Code::Argument,
                            path + ": tag name " + info.name +
                                " has characters other than letters, digits and _");
    }
}

std::string upperName(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

} // namespace

// Common part of both file kinds: header fields at offset 0 and close logic.
class FileBase {
public:
    IndexFileCore core;

    void readFileHeader() {
        if (core.fileSize < kHeaderSize + kPage)
            core.corrupt("file too short for an index");
        uint8_t h[kHeaderSize];
        core.readRaw(0, h, kHeaderSize);
        core.freeHead = rd32(h + 4);
        if (core.freeHead == kNone)
            core.freeHead = 0;
        core.wasDirty = std::memcmp(h + kDirtyMarkOffset, kDirtyMark, 4) == 0;
        core.marked = core.wasDirty; // no need to write it again
        if (core.fileSize % kPage != 0) {
            // A torn last page: treat the whole pages only.
            core.fileSize -= core.fileSize % kPage;
        }
    }
    void flushAll(std::vector<TreeImpl*> trees) {
        for (TreeImpl* t : trees)
            t->applyHeld();
        if (core.readOnly || core.fd < 0 || !core.marked)
            return;
        core.flushNodes();
        for (TreeImpl* t : trees)
            t->writeRootIfNeeded();
        if (core.headerDirty) {
            uint8_t b[4];
            wr32(b, core.freeHead);
            core.writeRaw(4, b, 4);
            core.headerDirty = false;
        }
        core.flushPending();
        if (::ftruncate(core.fd, off_t(core.fileSize)) != 0)
            core.ioError("cannot set file length");
        core.sync();
    }
    void closeAll(std::vector<TreeImpl*> trees, bool skipFirst) {
        if (core.fd < 0)
            return;
        if (!core.readOnly && core.marked) {
            flushAll(trees);
            // A file that was left unclean stays marked until every tree in
            // it has been rebuilt.
            bool sound = !core.wasDirty;
            if (!sound) {
                sound = true;
                for (size_t i = skipFirst ? 1 : 0; i < trees.size(); ++i)
                    sound = sound && trees[i]->rebuilt_;
            }
            if (sound) {
                uint8_t z[4] = {0, 0, 0, 0};
                core.writeRaw(kDirtyMarkOffset, z, 4);
                core.sync();
            }
        }
        core.flushPending();
        ::close(core.fd);
        core.fd = -1;
        core.cache.clear();
    }
};

class CdxFile final : public CompoundIndex, private FileBase {
public:
    std::unique_ptr<TreeImpl> dir_;
    std::vector<std::unique_ptr<TreeImpl>> tags_; // by header offset

    ~CdxFile() override {
        try {
            close();
        } catch (...) {
        }
    }

    void openExisting(const std::string& path, bool ro) {
        core.path = path;
        core.openFile(ro, false);
        readFileHeader();
        dir_ = std::make_unique<TreeImpl>(core, 0);
        dir_->info_.name = "(directory)";
        dir_->readHeader(true);
        dir_->typeKnown_ = true;
        auto cur = dir_->cursor();
        std::unordered_set<uint32_t> seen;
        for (bool ok = cur->first(); ok; ok = cur->next()) {
            Key k = cur->key();
            std::string name(reinterpret_cast<const char*>(k.data()), k.size());
            while (!name.empty() && (name.back() == ' ' || name.back() == '\0'))
                name.pop_back();
            uint32_t hoff = cur->recno();
            if (!seen.insert(hoff).second)
                core.corrupt("two tags share the header at " + std::to_string(hoff));
            if (hoff < kHeaderSize)
                core.corrupt("tag " + name + " has its header inside the file header");
            auto t = std::make_unique<TreeImpl>(core, hoff);
            t->info_.name = name;
            t->readHeader(false);
            tags_.push_back(std::move(t));
        }
        std::sort(tags_.begin(), tags_.end(),
                  [](const auto& a, const auto& b) { return a->header_ < b->header_; });
    }

    void createNew(const std::string& path) {
        core.path = path;
        core.openFile(false, true);
        core.fileSize = kHeaderSize;
        core.freeHead = 0;
        TagInfo di;
        di.name = "(directory)";
        di.keyLength = kDirKeyLength;
        uint8_t h[kHeaderSize];
        buildHeader(h, kHeaderSize, di, kOptCompact | kOptCompound | kOptDirectory);
        wr16(h + 504, 1);
        wr16(h + 510, 1);
        core.writeRaw(0, h, kHeaderSize);
        core.marked = false; // the header just overwrote the mark
        core.ensureMarked();
        dir_ = std::make_unique<TreeImpl>(core, 0);
        dir_->info_ = di;
        dir_->typeKnown_ = true;
        uint32_t rootOff = core.allocPage();
        core.fresh(rootOff, kDirKeyLength, 0x20, kAttrLeaf | kAttrRoot);
        dir_->root_ = rootOff;
        flush();
    }

    const std::string& path() const override { return core.path; }
    int tagCount() const override { return int(tags_.size()); }
    IndexTree& tag(int i) override {
        if (i < 0 || i >= int(tags_.size()))
            throw Error(Error::Code::Argument,
                        core.path + ": no tag number " + std::to_string(i + 1));
        return *tags_[size_t(i)];
    }
    int findTag(std::string_view name) const override {
        std::string u = upperName(name);
        while (!u.empty() && u.back() == ' ')
            u.pop_back();
        for (size_t i = 0; i < tags_.size(); ++i)
            if (tags_[i]->info_.name == u)
                return int(i);
        return -1;
    }
    IndexTree& addTag(const TagInfo& in) override {
        TagInfo info = in;
        info.name = upperName(info.name);
        checkTagInfo(core.path, info, true);
        if (findTag(info.name) >= 0)
            throw Error(Error::Code::Argument,
                        core.path + ": tag " + info.name + " exists already");
        core.beginChange();
        uint32_t hoff = core.allocHeader();
        uint32_t rootOff = core.allocPage();
        uint8_t opts = kOptCompact | kOptCompound;
        if (info.unique)
            opts |= kOptUnique;
        if (!info.forExpr.empty())
            opts |= kOptFor;
        uint8_t h[kHeaderSize];
        buildHeader(h, rootOff, info, opts);
        core.writeRaw(hoff, h, kHeaderSize);
        auto t = std::make_unique<TreeImpl>(core, hoff);
        t->info_ = info;
        t->fill_ = info.type == KeyType::Character ? 0x20 : 0x00;
        t->typeKnown_ = true;
        t->root_ = rootOff;
        core.fresh(rootOff, info.keyLength, t->fill_, kAttrLeaf | kAttrRoot);
        std::vector<uint8_t> dk(kDirKeyLength, ' ');
        std::memcpy(dk.data(), info.name.data(), info.name.size());
        dir_->insert(Key(dk.data(), dk.size()), hoff);
        tags_.push_back(std::move(t));
        return *tags_.back();
    }
    void removeTag(std::string_view name) override {
        int i = findTag(name);
        if (i < 0)
            throw Error(Error::Code::Argument, core.path + ": no tag " + std::string(name));
        core.beginChange();
        TreeImpl& t = *tags_[size_t(i)];
        std::vector<uint8_t> dk(kDirKeyLength, ' ');
        std::memcpy(dk.data(), t.info_.name.data(),
                    std::min<size_t>(t.info_.name.size(), kDirKeyLength));
        dir_->remove(Key(dk.data(), dk.size()), t.header_);
        t.dropHeld();
        t.freeAllPages();
        core.freePage(t.header_);
        core.freePage(t.header_ + kPage);
        tags_.erase(tags_.begin() + i);
    }
    bool trustworthy() const override { return !core.wasDirty; }
    std::string damage() const override {
        for (const auto& t : tags_)
            if (!t->damage_.empty())
                return path() + ": " + t->damageText();
        return {};
    }
    void markChanging() override { core.beginChange(); }
    std::vector<TreeImpl*> trees() {
        std::vector<TreeImpl*> v;
        if (dir_)
            v.push_back(dir_.get());
        for (auto& t : tags_)
            v.push_back(t.get());
        return v;
    }
    void flush() override { flushAll(trees()); }
    void close() override { closeAll(trees(), true); }
};

class IdxFileImpl final : public IdxFile, private FileBase {
public:
    std::unique_ptr<TreeImpl> tree_;
    void setCacheBudget(size_t bytes) override {
        core.cacheLimit = bytes;
        core.trim();
    }
    ~IdxFileImpl() override {
        try {
            close();
        } catch (...) {
        }
    }
    void openExisting(const std::string& path, bool ro) {
        core.path = path;
        core.openFile(ro, false);
        readFileHeader();
        tree_ = std::make_unique<TreeImpl>(core, 0);
        tree_->readHeader(false);
    }
    void createNew(const std::string& path, const TagInfo& info) {
        checkTagInfo(path, info, false);
        core.path = path;
        core.openFile(false, true);
        core.fileSize = kHeaderSize;
        uint8_t opts = kOptCompact;
        if (info.unique)
            opts |= kOptUnique;
        if (!info.forExpr.empty())
            opts |= kOptFor;
        uint32_t rootOff = core.allocPage();
        uint8_t h[kHeaderSize];
        buildHeader(h, rootOff, info, opts);
        core.writeRaw(0, h, kHeaderSize);
        core.marked = false; // the header just overwrote the mark
        core.ensureMarked();
        tree_ = std::make_unique<TreeImpl>(core, 0);
        tree_->info_ = info;
        tree_->info_.name = upperName(info.name);
        tree_->fill_ = info.type == KeyType::Character ? 0x20 : 0x00;
        tree_->typeKnown_ = true;
        tree_->root_ = rootOff;
        core.fresh(rootOff, info.keyLength, tree_->fill_, kAttrLeaf | kAttrRoot);
        flush();
    }
    const std::string& path() const override { return core.path; }
    IndexTree& tree() override { return *tree_; }
    void flush() override { flushAll({tree_.get()}); }
    void close() override { closeAll({tree_.get()}, false); }
};

std::unique_ptr<CompoundIndex> CompoundIndex::open(const std::string& path, bool readOnly) {
    auto f = std::make_unique<CdxFile>();
    f->openExisting(path, readOnly);
    return f;
}
std::unique_ptr<CompoundIndex> CompoundIndex::create(const std::string& path) {
    auto f = std::make_unique<CdxFile>();
    f->createNew(path);
    return f;
}
std::unique_ptr<IdxFile> IdxFile::open(const std::string& path, bool readOnly) {
    auto f = std::make_unique<IdxFileImpl>();
    f->openExisting(path, readOnly);
    return f;
}
std::unique_ptr<IdxFile> IdxFile::create(const std::string& path, const TagInfo& info) {
    auto f = std::make_unique<IdxFileImpl>();
    f->createNew(path, info);
    return f;
}

} // namespace xbase
