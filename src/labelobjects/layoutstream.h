// LabelLayoutStream: the self-describing byte stream of component records in
// which layouts, the designers' clipboard file and object clones are kept.
// This header holds the low-level pieces: value type bytes, the writer and the
// bounds-checked reader, the 80-bit extended float conversion and the colour
// table. The filer (objectfiler.h) builds records from them.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>

class QIODevice;

namespace qb {

// The four errors a reader can raise (the texts the user sees).
class StreamError : public std::runtime_error {
public:
    explicit StreamError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    QString Message() const { return message_; }

private:
    QString message_;
};

inline const char* const kInvalidStreamFormat = "Invalid stream format";
inline const char* const kClassNotFound = "Class %s not found";
inline const char* const kPropertyDoesNotExist = "Property does not exist";
inline const char* const kInvalidPropertyValue = "Invalid property value";

enum class ValueType : uint8_t {
    Null = 0x00,
    List = 0x01,
    Int8 = 0x02,
    Int16 = 0x03,
    Int32 = 0x04,
    Extended = 0x05,
    String = 0x06,
    Ident = 0x07,
    False = 0x08,
    True = 0x09,
    Binary = 0x0A,
    Set = 0x0B,
    LString = 0x0C,
    Nil = 0x0D,
    Collection = 0x0E,
};

// ---- 80-bit extended floats ------------------------------------------------------
// Little-endian x87 layout: 64-bit significand with explicit integer bit, then
// 15-bit biased exponent and the sign. Conversion to extended is exact; back
// to double rounds to nearest, ties to even (overflow gives infinity).
using Extended80 = std::array<uint8_t, 10>;
Extended80 DoubleToExtended(double value);
double ExtendedToDouble(const Extended80& bytes);

// ---- colours -------------------------------------------------------------------------
// The colour identifiers ("clBlack", "clBtnFace", ...) and their 32-bit values
// (blue in the high byte of the low three; top bit set = system colour).
std::optional<QString> ColorToIdent(int32_t color);
std::optional<int32_t> IdentToColor(const QString& ident);

// ---- text ------------------------------------------------------------------------
// Text in the stream is Windows ANSI (code page 1252).
QByteArray ToAnsi(const QString& text);
QString FromAnsi(const QByteArray& bytes);

// ---- writer ------------------------------------------------------------------------
// Collects the stream in memory; Flush() writes it to a device in 1000-byte
// pieces (a write failure raises StreamError with the device's message).
class LayoutWriter {
public:
    void WriteByte(uint8_t b) { data_.append(char(b)); }
    void WriteRaw(const QByteArray& bytes) { data_.append(bytes); }
    void WriteValueType(ValueType t) { WriteByte(uint8_t(t)); }
    void WriteListBegin() { WriteValueType(ValueType::List); }
    void WriteListEnd() { WriteValueType(ValueType::Null); }
    // A short string (length byte and up to 255 bytes; longer text is cut).
    void WriteShortString(const QString& text);
    void WriteShortBytes(const QByteArray& bytes);
    void WriteUInt32(uint32_t v);
    // Typed values.
    void WriteInteger(int64_t v); // smallest of 02 / 03 / 04 (clamped to 32 bits)
    void WriteBoolean(bool v) { WriteValueType(v ? ValueType::True : ValueType::False); }
    void WriteFloat(double v);
    void WriteString(const QString& text); // 06 up to 255 bytes, 0C from 256 on
    void WriteIdent(const QString& ident);
    void WriteSet(const QStringList& members);
    void WriteBinary(const QByteArray& bytes);
    void WriteNil() { WriteValueType(ValueType::Nil); }

    const QByteArray& Data() const { return data_; }
    void Flush(QIODevice& device);

private:
    QByteArray data_;
};

// ---- reader ------------------------------------------------------------------------
// Reads from a byte array; every length is checked against the bytes that
// remain, so no input can make it read past the end or allocate more than
// the input holds. Running out of bytes raises "Invalid stream format".
class LayoutReader {
public:
    explicit LayoutReader(QByteArray data) : data_(std::move(data)) {}

    qsizetype Position() const { return pos_; }
    qsizetype Remaining() const { return data_.size() - pos_; }
    bool AtEnd() const { return pos_ >= data_.size(); }

    uint8_t ReadByte();
    uint8_t PeekByte() const;
    QByteArray ReadBytes(qsizetype n);
    uint32_t ReadUInt32();
    QString ReadShortString();
    QByteArray ReadShortBytes();

    ValueType ReadValueType();
    ValueType PeekValueType() const { return ValueType(PeekByte()); }
    bool EndOfList() const { return PeekByte() == 0; }
    void ReadListBegin(); // "Invalid property value" unless 01
    void ReadListEnd();   // "Invalid stream format" unless 00

    // Typed values: a value of another type raises "Invalid property value".
    int64_t ReadInteger();
    bool ReadBoolean();
    double ReadFloat();   // extended, or an integer
    QString ReadString(); // 06 or 0C
    QString ReadIdent();
    QStringList ReadSetBody();   // after the 0B type byte
    QByteArray ReadBinaryBody(); // after the 0A type byte
    // Skips one value of any type (lists and collections included).
    void SkipValue(int depth = 0);

    // The optional prefix byte of a component record ($F0..$FF); when its
    // bit 1 is set an integer child position follows. Both are skipped.
    void SkipRecordPrefix();

private:
    void Need(qsizetype n) const;
    QByteArray data_;
    qsizetype pos_ = 0;
};

} // namespace qb
