// libFuzzer target: any bytes as a DBF table (with an empty memo file beside
// it), opened read-only; every record, field and memo is read.
#include "scratch_files.h"
#include "xbase/table.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

using qbfuzz::scratch;
using qbfuzz::writeAll;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dbf = scratch("F.DBF");
    static const std::string fpt = scratch("F.FPT");
    static bool memoWritten = false;
    if (!memoWritten) {
        uint8_t header[512] = {0, 0, 0, 8, 0, 0, 0, 64};
        writeAll(fpt, header, sizeof header);
        memoWritten = true;
    }
    writeAll(dbf, data, size);
    try {
        xbase::OpenOptions o;
        o.readOnly = true;
        o.exclusive = false;
        o.openProductionIndex = false;
        auto t = xbase::Table::open(dbf, o);
        const int n = int(t->fields().size());
        for (t->goTop(); !t->eof(); t->skip()) {
            t->deleted();
            for (int i = 0; i < n; ++i) {
                try {
                    t->getString(i);
                    t->isEmpty(i);
                    char type = t->fields()[size_t(i)].type;
                    if (type != 'M' && type != 'C' && type != 'D' && type != 'G' && type != 'P' && type != 'W')
                        t->getNumber(i);
                } catch (const xbase::Error&) {
                }
            }
        }
        t->goBottom();
        t->skip(-3);
        t->countVisible();
    } catch (const xbase::Error&) {
    }
    return 0;
}
