// Compile arbitrary text as an expression over a fixed field list and, when
// it compiles, evaluate it on a fixed record: no input may crash, hang or
// read outside the record.
#include "xbase/expr.h"
#include "xbase/error.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

class FixedMemos : public xbase::MemoSource {
public:
    std::string memoText(const uint8_t*, int) override { return "first line\r\nsecond line"; }
};

const std::vector<xbase::FieldDef>& fields() {
    static const std::vector<xbase::FieldDef> f = [] {
        std::vector<xbase::FieldDef> v = {{"LNAME", 'C', 30, 0, 0}, {"FNAME", 'C', 30, 0, 0},
                                          {"ZIP", 'C', 10, 0, 0},   {"AMOUNT", 'N', 10, 3, 0},
                                          {"BORN", 'D', 8, 0, 0},   {"ISDEL", 'L', 1, 0, 0},
                                          {"COUNT", 'I', 4, 0, 0},  {"NOTES", 'M', 10, 0, 0}};
        int off = 1;
        for (auto& x : v) {
            x.offset = off;
            off += x.width;
        }
        return v;
    }();
    return f;
}

std::vector<uint8_t> record() {
    const auto& f = fields();
    std::vector<uint8_t> r(size_t(f.back().offset + f.back().width), ' ');
    auto put = [&](size_t i, const char* s) {
        std::memcpy(&r[size_t(f[i].offset)], s, std::strlen(s));
    };
    r[0] = '*';
    put(0, "M\xFC"
           "ller");
    put(1, "J\xFCrgen");
    put(2, "62701");
    put(3, "  -123.456");
    put(4, "20000229");
    put(5, "T");
    std::memcpy(&r[size_t(f[6].offset)], "\x2A\x00\x00\x00", 4);
    return r;
}

bool readsMemo(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 0x20);
    return text.find("NOTES") != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> rec = record();
    static FixedMemos memos;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<xbase::Expression> e;
    try {
        e = xbase::Expression::compile(text, fields());
    } catch (const xbase::ExpressionError& err) {
        if (err.position() > text.size())
            __builtin_trap();
        return 0;
    }
    for (bool exact : {false, true}) {
        xbase::EvalContext ctx;
        ctx.record = rec.data();
        ctx.recno = 3;
        ctx.memos = &memos;
        ctx.exact = exact;
        std::vector<uint8_t> key(size_t(e->width()) + 1);
        e->evalKey(ctx, key.data(), e->width());
        switch (e->type()) {
        case xbase::ValueType::Logical:
            (void)e->evalLogical(ctx);
            break;
        case xbase::ValueType::Character:
            // Without a memo (whose text has any length) the fixed width is an
            // upper bound of the result: keys would otherwise lose bytes.
            if (!readsMemo(text) && e->evalString(ctx).size() > size_t(e->width()))
                __builtin_trap();
            break;
        default:
            (void)e->evalNumeric(ctx);
            break;
        }
    }
    return 0;
}
