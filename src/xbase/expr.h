// The xBase expression language: parsed once, compiled to a fast evaluator,
// evaluated against raw record bytes. Used for index keys, filters and
// condition tests. All text is handled as single bytes (Windows-1252).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xbase {

// What an expression may refer to: the fields of one table.
struct FieldDef {
    std::string name;   // upper case, at most 10 characters
    char type = 'C';    // C N F L D M (and read-only I B T Y of Visual FoxPro)
    int width = 0;
    int decimals = 0;
    int offset = 0;     // byte offset in the record (the deletion flag is byte 0)
};

// Value kinds an expression can produce.
enum class ValueType : char { Character = 'C', Numeric = 'N', Date = 'D', Logical = 'L' };

// Reads a memo for the expression evaluator (memo fields in expressions read
// as their text). May be null: memo fields then read as empty.
class MemoSource {
public:
    virtual ~MemoSource() = default;
    virtual std::string memoText(const uint8_t* record, int fieldIndex) = 0;
};

// Per-evaluation context: the record image and its number.
struct EvalContext {
    const uint8_t* record = nullptr; // record bytes including the deletion flag at [0]
    uint32_t recno = 0;
    MemoSource* memos = nullptr;
    bool exact = false;              // SET EXACT for = on strings
};

// String comparison: with exact off, = < <= > >= <> compare the left operand
// over the right one's length (so "SMITH" = "SM" holds and anything = ""
// holds); with exact on, trailing blanks are ignored on both sides; ==
// requires the same bytes and length whatever the setting. $ tests whether
// the left operand occurs in the right one.
//
// An Expression reuses its own buffers while evaluating: evaluate one
// object from one thread at a time.
class Expression {
public:
    // Parse and compile `text` against `fields`. Throws ExpressionError with the
    // 0-based position on a malformed expression or an unknown name.
    static std::unique_ptr<Expression> compile(std::string_view text,
                                               const std::vector<FieldDef>& fields);
    virtual ~Expression() = default;

    virtual const std::string& text() const = 0;
    virtual ValueType type() const = 0;
    // For character results: the fixed width of the result as the format
    // requires for index keys (e.g. UPPER(LNAME)+UPPER(FNAME) is 60).
    virtual int width() const = 0;
    // True when the expression reads a memo field. Memo text is rewritten in
    // place, outside the record, so an index cannot tell what such a key
    // was before a change: tags refuse these expressions.
    virtual bool readsMemo() const = 0;

    virtual bool evalLogical(const EvalContext& ctx) const = 0;  // Type error unless Logical
    virtual double evalNumeric(const EvalContext& ctx) const = 0; // Numeric; Date gives its Julian day
    virtual std::string evalString(const EvalContext& ctx) const = 0; // Character (any width)

    // The index key of this expression for the record: exactly keyLength bytes
    // in the format's key encoding (character blank-padded/cut; numeric and
    // date as the 8-byte ordered double; logical 'T'/'F').
    virtual void evalKey(const EvalContext& ctx, uint8_t* out, int keyLength) const = 0;
};

// Key encodings shared by the evaluator, seeks and the tools.
void encodeNumericKey(double value, uint8_t out[8]);
double decodeNumericKey(const uint8_t in[8]);
// Julian day number of a yyyymmdd date; 0 for blank or invalid text.
long julianDay(std::string_view yyyymmdd);
std::string dateFromJulian(long julian); // yyyymmdd, empty for 0

// Windows-1252 upper case as the FoxPro family maps it: a-z and the accented
// letters a-grave..thorn (except the division sign), s-caron, oe, z-caron and
// y-diaeresis; sharp s and micro stay.
uint8_t upper1252(uint8_t c);
uint8_t lower1252(uint8_t c);

} // namespace xbase
