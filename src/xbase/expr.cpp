// Expression compiler and evaluator (being filled in).
#include "expr.h"

#include "error.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace xbase {

std::unique_ptr<Expression> Expression::compile(std::string_view text, const std::vector<FieldDef>&)
{
    (void)text;
    throw ExpressionError("expressions are not available yet", 0);
}

void encodeNumericKey(double value, uint8_t out[8])
{
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    if (bits >> 63)
        bits = ~bits;
    else
        bits |= uint64_t(1) << 63;
    for (int i = 7; i >= 0; --i) {
        out[i] = uint8_t(bits);
        bits >>= 8;
    }
}

double decodeNumericKey(const uint8_t in[8])
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | in[i];
    if (bits >> 63)
        bits &= ~(uint64_t(1) << 63);
    else
        bits = ~bits;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

long julianDay(std::string_view s)
{
    if (s.size() < 8)
        return 0;
    int v[8];
    for (int i = 0; i < 8; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return 0;
        v[i] = s[i] - '0';
    }
    long y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
    int m = v[4] * 10 + v[5];
    int d = v[6] * 10 + v[7];
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1)
        return 0;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    int dim = days[m - 1] + (m == 2 && leap ? 1 : 0);
    if (d > dim)
        return 0;
    long a = (14 - m) / 12;
    long yy = y + 4800 - a;
    long mm = m + 12 * a - 3;
    return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}

std::string dateFromJulian(long j)
{
    if (j <= 0)
        return {};
    long a = j + 32044;
    long b = (4 * a + 3) / 146097;
    long c = a - 146097 * b / 4;
    long d = (4 * c + 3) / 1461;
    long e = c - 1461 * d / 4;
    long m = (5 * e + 2) / 153;
    long day = e - (153 * m + 2) / 5 + 1;
    long month = m + 3 - 12 * (m / 10);
    long year = 100 * b + d - 4800 + m / 10;
    if (year < 1 || year > 9999)
        return {};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04ld%02ld%02ld", year, month, day);
    return buf;
}

uint8_t upper1252(uint8_t c)
{
    if (c >= 'a' && c <= 'z')
        return uint8_t(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return uint8_t(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

uint8_t lower1252(uint8_t c)
{
    if (c >= 'A' && c <= 'Z')
        return uint8_t(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return uint8_t(c + 0x20);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

} // namespace xbase
