// Windows-1252 <-> Unicode. Bytes 0x00-0x7F and 0xA0-0xFF are the same code
// points as Latin-1; 0x80-0x9F carry typographic characters (euro sign,
// quotes, dashes, S/Z with caron ...). The five bytes the code page leaves
// unassigned map to the C1 control of the same value so that any byte string
// read from a table survives a round trip unchanged.
#include "storage/dataset.h"

#include <array>

namespace qb {
namespace {

constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

char encodeOne(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::string ToDisk(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t u = p[i];
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            ++i; // one code point outside the code page: one '?'
            out.push_back('?');
            continue;
        }
        out.push_back(encodeOne(u));
    }
    return out;
}

QString FromDisk(std::string_view bytes) {
    QString out;
    out.resize(static_cast<qsizetype>(bytes.size()));
    QChar* q = out.data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        q[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(b);
    }
    return out;
}

} // namespace qb
