#include "labelobjects/layoutstream.h"

#include "storage/dataset.h"

#include <QIODevice>

#include <cmath>
#include <cstring>

namespace qb {

// ---- extended floats -------------------------------------------------------------------

Extended80 DoubleToExtended(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const uint16_t sign = (bits >> 63) ? 0x8000 : 0;
    const int exp = int((bits >> 52) & 0x7FF);
    const uint64_t frac = bits & ((uint64_t(1) << 52) - 1);
    uint64_t mant = 0;
    uint16_t e = 0;
    if (exp == 0x7FF) { // infinity or NaN (quiet bit kept in the fraction)
        e = 0x7FFF;
        mant = (uint64_t(1) << 63) | (frac << 11);
    } else if (exp == 0) {
        if (frac != 0) { // a denormal double is a normal extended
            int shift = 0;
            uint64_t m = frac;
            while (!(m & (uint64_t(1) << 52))) {
                m <<= 1;
                ++shift;
            }
            mant = m << 11;
            e = uint16_t(1 - 1023 - shift + 16383);
        }
    } else {
        mant = (uint64_t(1) << 63) | (frac << 11);
        e = uint16_t(exp - 1023 + 16383);
    }
    Extended80 out{};
    for (int i = 0; i < 8; ++i)
        out[i] = uint8_t(mant >> (8 * i));
    const uint16_t se = sign | e;
    out[8] = uint8_t(se);
    out[9] = uint8_t(se >> 8);
    return out;
}

double ExtendedToDouble(const Extended80& in) {
    uint64_t mant = 0;
    for (int i = 7; i >= 0; --i)
        mant = (mant << 8) | in[i];
    const uint16_t se = uint16_t(in[8] | (in[9] << 8));
    const uint64_t sign = (se & 0x8000) ? (uint64_t(1) << 63) : 0;
    const int exp = se & 0x7FFF;
    uint64_t bits;
    if (exp == 0x7FFF) {
        const uint64_t frac = mant & ((uint64_t(1) << 63) - 1);
        if (frac == 0)
            bits = sign | (uint64_t(0x7FF) << 52);
        else // NaN: keep the upper fraction bits, stay quiet
            bits = sign | (uint64_t(0x7FF) << 52) | (uint64_t(1) << 51) |
                   ((frac >> 11) & ((uint64_t(1) << 52) - 1));
    } else if (mant == 0) {
        bits = sign;
    } else {
        // value = mant * 2^(E - 63) with mant normalised so that bit 63 is set
        const int lz = __builtin_clzll(mant);
        mant <<= lz;
        const int E = (exp == 0 ? 1 : exp) - 16383 - lz;
        if (E > 1023) {
            bits = sign | (uint64_t(0x7FF) << 52);
        } else if (E >= -1022) {
            uint64_t keep = mant >> 11;
            const uint64_t rem = mant & 0x7FF;
            if (rem > 0x400 || (rem == 0x400 && (keep & 1)))
                ++keep;
            int e2 = E;
            if (keep == (uint64_t(1) << 53)) {
                keep >>= 1;
                ++e2;
            }
            if (e2 > 1023)
                bits = sign | (uint64_t(0x7FF) << 52);
            else
                bits = sign | (uint64_t(e2 + 1023) << 52) | (keep & ((uint64_t(1) << 52) - 1));
        } else {
            // Denormal result: keep fewer bits, rounding to nearest even. A
            // carry into bit 52 gives the smallest normal number, as it should.
            const int shift = 11 + (-1022 - E);
            if (shift > 120) {
                bits = sign;
            } else {
                const unsigned __int128 m = mant;
                const uint64_t keep0 = uint64_t(m >> shift);
                const unsigned __int128 rem =
                    m & ((static_cast<unsigned __int128>(1) << shift) - 1);
                const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
                uint64_t keep = keep0;
                if (rem > half || (rem == half && (keep & 1)))
                    ++keep;
                bits = sign | keep;
            }
        }
    }
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// ---- colours -----------------------------------------------------------------------------

namespace {
struct ColorName {
    const char* name;
    uint32_t value;
};
constexpr ColorName kColors[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clScrollBar", 0x80000000},
    {"clBackground", 0x80000001},
    {"clActiveCaption", 0x80000002},
    {"clInactiveCaption", 0x80000003},
    {"clMenu", 0x80000004},
    {"clWindow", 0x80000005},
    {"clWindowFrame", 0x80000006},
    {"clMenuText", 0x80000007},
    {"clWindowText", 0x80000008},
    {"clCaptionText", 0x80000009},
    {"clActiveBorder", 0x8000000A},
    {"clInactiveBorder", 0x8000000B},
    {"clAppWorkSpace", 0x8000000C},
    {"clHighlight", 0x8000000D},
    {"clHighlightText", 0x8000000E},
    {"clBtnFace", 0x8000000F},
    {"clBtnShadow", 0x80000010},
    {"clGrayText", 0x80000011},
    {"clBtnText", 0x80000012},
    {"clInactiveCaptionText", 0x80000013},
    {"clBtnHighlight", 0x80000014},
    {"cl3DDkShadow", 0x80000015},
    {"cl3DLight", 0x80000016},
    {"clInfoText", 0x80000017},
    {"clInfoBk", 0x80000018},
    {"clNone", 0x1FFFFFFF},
};
} // namespace

std::optional<QString> ColorToIdent(int32_t color) {
    for (const auto& c : kColors)
        if (uint32_t(color) == c.value)
            return QString::fromLatin1(c.name);
    return std::nullopt;
}

std::optional<int32_t> IdentToColor(const QString& ident) {
    for (const auto& c : kColors)
        if (ident.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return int32_t(c.value);
    return std::nullopt;
}

QByteArray ToAnsi(const QString& text) {
    const std::string s = ToDisk(text);
    return QByteArray(s.data(), qsizetype(s.size()));
}

QString FromAnsi(const QByteArray& bytes) {
    return FromDisk(std::string_view(bytes.constData(), size_t(bytes.size())));
}

// ---- writer ----------------------------------------------------------------------------

void LayoutWriter::WriteShortBytes(const QByteArray& bytes) {
    const QByteArray cut = bytes.left(255);
    WriteByte(uint8_t(cut.size()));
    data_.append(cut);
}

void LayoutWriter::WriteShortString(const QString& text) {
    WriteShortBytes(ToAnsi(text));
}

void LayoutWriter::WriteUInt32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        WriteByte(uint8_t(v >> (8 * i)));
}

void LayoutWriter::WriteInteger(int64_t v) {
    if (v >= -128 && v <= 127) {
        WriteValueType(ValueType::Int8);
        WriteByte(uint8_t(int8_t(v)));
    } else if (v >= -32768 && v <= 32767) {
        WriteValueType(ValueType::Int16);
        const uint16_t u = uint16_t(int16_t(v));
        WriteByte(uint8_t(u));
        WriteByte(uint8_t(u >> 8));
    } else {
        WriteValueType(ValueType::Int32);
        WriteUInt32(uint32_t(int32_t(v)));
    }
}

void LayoutWriter::WriteFloat(double v) {
    WriteValueType(ValueType::Extended);
    const Extended80 e = DoubleToExtended(v);
    data_.append(reinterpret_cast<const char*>(e.data()), 10);
}

void LayoutWriter::WriteString(const QString& text) {
    const QByteArray bytes = ToAnsi(text);
    if (bytes.size() <= 255) {
        WriteValueType(ValueType::String);
        WriteShortBytes(bytes);
    } else {
        WriteValueType(ValueType::LString);
        WriteUInt32(uint32_t(bytes.size()));
        data_.append(bytes);
    }
}

void LayoutWriter::WriteIdent(const QString& ident) {
    WriteValueType(ValueType::Ident);
    WriteShortString(ident);
}

void LayoutWriter::WriteSet(const QStringList& members) {
    WriteValueType(ValueType::Set);
    for (const QString& m : members)
        WriteShortString(m);
    WriteByte(0);
}

void LayoutWriter::WriteBinary(const QByteArray& bytes) {
    WriteValueType(ValueType::Binary);
    WriteUInt32(uint32_t(bytes.size()));
    data_.append(bytes);
}

void LayoutWriter::Flush(QIODevice& device) {
    constexpr qsizetype kBuffer = 1000;
    for (qsizetype at = 0; at < data_.size(); at += kBuffer) {
        const qsizetype n = std::min(kBuffer, data_.size() - at);
        if (device.write(data_.constData() + at, n) != n)
            throw StreamError(device.errorString());
    }
}

// ---- reader ----------------------------------------------------------------------------

void LayoutReader::Need(qsizetype n) const {
    if (n < 0 || n > Remaining())
        throw StreamError(kInvalidStreamFormat);
}

uint8_t LayoutReader::ReadByte() {
    Need(1);
    return uint8_t(data_[pos_++]);
}

uint8_t LayoutReader::PeekByte() const {
    Need(1);
    return uint8_t(data_[pos_]);
}

QByteArray LayoutReader::ReadBytes(qsizetype n) {
    Need(n);
    QByteArray out = data_.mid(pos_, n);
    pos_ += n;
    return out;
}

uint32_t LayoutReader::ReadUInt32() {
    Need(4);
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(data_[pos_ + i]);
    pos_ += 4;
    return v;
}

QByteArray LayoutReader::ReadShortBytes() {
    const uint8_t n = ReadByte();
    return ReadBytes(n);
}

QString LayoutReader::ReadShortString() {
    return FromAnsi(ReadShortBytes());
}

ValueType LayoutReader::ReadValueType() {
    return ValueType(ReadByte());
}

void LayoutReader::ReadListBegin() {
    if (ReadValueType() != ValueType::List)
        throw StreamError(kInvalidPropertyValue);
}

void LayoutReader::ReadListEnd() {
    if (ReadValueType() != ValueType::Null)
        throw StreamError(kInvalidStreamFormat);
}

int64_t LayoutReader::ReadInteger() {
    switch (ReadValueType()) {
    case ValueType::Int8:
        return int8_t(ReadByte());
    case ValueType::Int16: {
        const uint8_t lo = ReadByte();
        const uint8_t hi = ReadByte();
        return int16_t(uint16_t(lo | (hi << 8)));
    }
    case ValueType::Int32:
        return int32_t(ReadUInt32());
    default:
        throw StreamError(kInvalidPropertyValue);
    }
}

bool LayoutReader::ReadBoolean() {
    switch (ReadValueType()) {
    case ValueType::True:
        return true;
    case ValueType::False:
        return false;
    default:
        throw StreamError(kInvalidPropertyValue);
    }
}

double LayoutReader::ReadFloat() {
    const ValueType t = PeekValueType();
    if (t == ValueType::Int8 || t == ValueType::Int16 || t == ValueType::Int32)
        return double(ReadInteger());
    if (ReadValueType() != ValueType::Extended)
        throw StreamError(kInvalidPropertyValue);
    Need(10);
    Extended80 e;
    for (int i = 0; i < 10; ++i)
        e[i] = uint8_t(data_[pos_ + i]);
    pos_ += 10;
    return ExtendedToDouble(e);
}

QString LayoutReader::ReadString() {
    switch (ReadValueType()) {
    case ValueType::String:
        return ReadShortString();
    case ValueType::LString: {
        const uint32_t n = ReadUInt32();
        return FromAnsi(ReadBytes(qsizetype(n)));
    }
    default:
        throw StreamError(kInvalidPropertyValue);
    }
}

QString LayoutReader::ReadIdent() {
    if (ReadValueType() != ValueType::Ident)
        throw StreamError(kInvalidPropertyValue);
    return ReadShortString();
}

QStringList LayoutReader::ReadSetBody() {
    QStringList members;
    for (;;) {
        const QString m = ReadShortString();
        if (m.isEmpty())
            return members;
        members << m;
    }
}

QByteArray LayoutReader::ReadBinaryBody() {
    const uint32_t n = ReadUInt32();
    return ReadBytes(qsizetype(n));
}

void LayoutReader::SkipValue(int depth) {
    if (depth > 32)
        throw StreamError(kInvalidStreamFormat);
    const ValueType t = ReadValueType();
    switch (t) {
    case ValueType::Null:
    case ValueType::False:
    case ValueType::True:
    case ValueType::Nil:
        return;
    case ValueType::List:
        while (!EndOfList())
            SkipValue(depth + 1);
        ReadByte();
        return;
    case ValueType::Int8:
        ReadBytes(1);
        return;
    case ValueType::Int16:
        ReadBytes(2);
        return;
    case ValueType::Int32:
        ReadBytes(4);
        return;
    case ValueType::Extended:
        ReadBytes(10);
        return;
    case ValueType::String:
    case ValueType::Ident:
        ReadShortBytes();
        return;
    case ValueType::Binary:
    case ValueType::LString:
        ReadBytes(qsizetype(ReadUInt32()));
        return;
    case ValueType::Set:
        ReadSetBody();
        return;
    case ValueType::Collection:
        while (!EndOfList()) {
            // an item may be preceded by its index (an integer value)
            const ValueType it = PeekValueType();
            if (it == ValueType::Int8 || it == ValueType::Int16 || it == ValueType::Int32)
                ReadInteger();
            ReadListBegin();
            while (!EndOfList()) {
                ReadShortBytes(); // property name
                SkipValue(depth + 1);
            }
            ReadByte();
        }
        ReadByte();
        return;
    }
    throw StreamError(kInvalidPropertyValue);
}

void LayoutReader::SkipRecordPrefix() {
    const uint8_t b = PeekByte();
    if ((b & 0xF0) != 0xF0)
        return;
    ReadByte();
    if (b & 0x02)
        ReadInteger();
}

} // namespace qb
