// libFuzzer target: any bytes as the FPT memo file of a small table whose
// records point at blocks 0 and 8 to 40; every memo is read read-only.
#include "scratch_files.h"
#include "xbase/table.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

using qbfuzz::scratch;
using qbfuzz::writeAll;

// A FoxPro table with one memo field and 34 records: no memo, then blocks 8..40.
void writeTable(const std::string& path) {
    const int records = 34, recLen = 11, headerLen = 32 + 32 + 1;
    std::string t(size_t(headerLen + records * recLen + 1), '\0');
    t[0] = char(0xF5);
    t[4] = char(records);
    t[8] = char(headerLen);
    t[10] = char(recLen);
    t[29] = 3;
    std::memcpy(&t[32], "NOTES", 5);
    t[32 + 11] = 'M';
    t[32 + 16] = 10;
    t[64] = 0x0D;
    for (int r = 0; r < records; ++r) {
        char field[16];
        if (r == 0)
            std::snprintf(field, sizeof field, "%10s", "");
        else
            std::snprintf(field, sizeof field, "%10d", 7 + r);
        t[size_t(headerLen + r * recLen)] = ' ';
        std::memcpy(&t[size_t(headerLen + r * recLen + 1)], field, 10);
    }
    t.back() = 0x1A;
    writeAll(path, reinterpret_cast<const uint8_t*>(t.data()), t.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dbf = scratch("M.DBF");
    static const std::string fpt = scratch("M.FPT");
    static bool tableWritten = false;
    if (!tableWritten) {
        writeTable(dbf);
        tableWritten = true;
    }
    writeAll(fpt, data, size);
    try {
        xbase::OpenOptions o;
        o.readOnly = true;
        o.exclusive = false;
        o.openProductionIndex = false;
        auto t = xbase::Table::open(dbf, o);
        for (t->goTop(); !t->eof(); t->skip()) {
            try {
                t->getMemo(0);
                t->isEmpty(0);
            } catch (const xbase::Error&) {
            }
        }
    } catch (const xbase::Error&) {
    }
    return 0;
}
