// Fuzz target for the compact index reader: any bytes, opened read-only as a
// compound index, must give data or an Error, never a crash, a hang or a
// write. Every tag is walked forwards and backwards, sought and verified.
#include "xbase/error.h"
#include "xbase/index_tree.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

static std::string tempPath() {
    static const std::string path = "/tmp/qbfuzzcdx-" + std::to_string(::getpid()) + ".cdx";
    return path;
}

static void walk(xbase::IndexTree& t) {
    std::vector<std::string> faults;
    t.verify(faults);
    auto c = t.cursor();
    // The reader bounds its own walks; the cap only keeps a run short.
    int steps = 0;
    for (bool ok = c->first(); ok && steps < 100000; ok = c->next())
        ++steps;
    steps = 0;
    for (bool ok = c->last(); ok && steps < 100000; ok = c->prev())
        ++steps;
    const uint8_t probe[3] = {'M', 0x20, 0x80};
    c->seek(xbase::Key(probe, 1));
    c->seek(xbase::Key(probe, 3), 7);
    c->seekLast(xbase::Key(probe, 2));
    if (c->valid()) {
        c->next();
        c->prev();
    }
    t.count();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tempPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        auto cdx = xbase::CompoundIndex::open(path, true);
        for (int i = 0; i < cdx->tagCount(); ++i) {
            try {
                walk(cdx->tag(i));
            } catch (const xbase::Error&) {
            }
        }
        cdx->close();
    } catch (const xbase::Error&) {
    }
    try {
        auto idx = xbase::IdxFile::open(path, true);
        walk(idx->tree());
        // Again with no room in the node cache: leaves are then read in place.
        idx->setCacheBudget(0);
        walk(idx->tree());
    } catch (const xbase::Error&) {
    }
    std::remove(path.c_str());
    return 0;
}
