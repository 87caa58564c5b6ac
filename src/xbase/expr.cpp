// Expression compiler and evaluator.
//
// An expression is parsed once into a small tree of typed nodes; every
// node's result type and (for character results) fixed width are settled
// at compile time, so type errors are reported with their position before
// any record is read. Character nodes return views into the record or into
// a buffer the node owns and reuses, so evaluating over many records does
// not allocate once the buffers have grown. An Expression object is
// therefore not safe to evaluate from two threads at once.
#include "expr.h"

#include "error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace xbase {

namespace {

// Longest character result accepted at compile time.
constexpr int kMaxWidth = 65535;

const std::array<uint8_t, 256>& upperTable() {
    static const std::array<uint8_t, 256> t = [] {
        std::array<uint8_t, 256> a{};
        for (int i = 0; i < 256; ++i)
            a[size_t(i)] = upper1252(uint8_t(i));
        return a;
    }();
    return t;
}

const std::array<uint8_t, 256>& lowerTable() {
    static const std::array<uint8_t, 256> t = [] {
        std::array<uint8_t, 256> a{};
        for (int i = 0; i < 256; ++i)
            a[size_t(i)] = lower1252(uint8_t(i));
        return a;
    }();
    return t;
}

const char* typeName(ValueType t) {
    switch (t) {
    case ValueType::Character:
        return "character";
    case ValueType::Numeric:
        return "numeric";
    case ValueType::Date:
        return "date";
    case ValueType::Logical:
        return "logical";
    }
    return "?";
}

std::string upperAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z')
            c = char(c - 0x20);
    return r;
}

[[noreturn]] void fail(const std::string& message, size_t pos) {
    throw ExpressionError(message + " at position " + std::to_string(pos), pos);
}

std::string_view trimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return s.substr(0, n);
}

std::string_view trimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return s.substr(i);
}

// EMPTY() also counts tabs and line breaks as nothing (memo text).
bool allWhite(std::string_view s) {
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    return true;
}

// A whole number from a computed value, limited to [lo, hi]; NaN gives lo.
// Every conversion of a computed double to an integer goes through here.
long clampWhole(double v, long lo, long hi) {
    if (!(v >= double(lo)))
        return lo;
    if (v >= double(hi))
        return hi;
    return long(v);
}

// Compare as if the shorter operand were padded with blanks.
int comparePadded(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    int r = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (r != 0)
        return r < 0 ? -1 : 1;
    for (size_t i = n; i < a.size(); ++i)
        if (uint8_t(a[i]) != ' ')
            return uint8_t(a[i]) < ' ' ? -1 : 1;
    for (size_t i = n; i < b.size(); ++i)
        if (uint8_t(b[i]) != ' ')
            return ' ' < uint8_t(b[i]) ? -1 : 1;
    return 0;
}

// Decimal text of a numeric field: leading blanks, optional sign, digits,
// optional point and digits. Anything else ends the number; an unreadable
// field (blank, overflow asterisks) reads as 0.
double parseNumber(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        neg = s[i] == '-';
        ++i;
    }
    double mant = 0;
    int fracDigits = 0;
    bool point = false;
    bool any = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            mant = mant * 10 + (c - '0');
            any = true;
            if (point)
                ++fracDigits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any)
        return 0;
    static const double pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    double v = fracDigits <= 18 ? mant / pow10[fracDigits] : mant / std::pow(10.0, fracDigits);
    return neg ? -v : v;
}

// Round to `decimals` places, halves away from zero, forgiving the binary
// representation error of decimal values (2.345 rounds to 2.35).
double roundHalfAway(double v, int decimals) {
    if (decimals > 15 || decimals < -15 || !std::isfinite(v))
        return v;
    double f = std::pow(10.0, decimals);
    double s = v * f;
    s += std::copysign(std::fabs(s) * 1e-14, s);
    double r = std::round(s) / f;
    return std::isfinite(r) ? r : v;
}

// xBase STR(): right-aligned in `width` with `decimals` digits after the
// point; a value that does not fit gives `width` asterisks.
void formatNumber(double v, int width, int decimals, std::string& out) {
    out.clear();
    if (width <= 0)
        return;
    if (decimals < 0)
        decimals = 0;
    if (decimals > 0 && decimals > width - 2)
        decimals = std::max(0, width - 2);
    if (!std::isfinite(v)) {
        out.assign(size_t(width), '*');
        return;
    }
    v = roundHalfAway(v, decimals);
    char buf[400];
    int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    if (n < 0 || n >= int(sizeof buf)) {
        out.assign(size_t(width), '*');
        return;
    }
    // "-0" and "-0.00" read as zero.
    if (buf[0] == '-') {
        bool zero = true;
        for (int i = 1; i < n; ++i)
            if (buf[i] != '0' && buf[i] != '.')
                zero = false;
        if (zero) {
            std::memmove(buf, buf + 1, size_t(n));
            --n;
        }
    }
    if (n > width) {
        out.assign(size_t(width), '*');
        return;
    }
    out.assign(size_t(width - n), ' ');
    out.append(buf, size_t(n));
}

// --------------------------------------------------------------- lexer --

enum class Tok {
    End,
    Ident,
    Number,
    String,
    True,
    False,
    And,
    Or,
    Not, // .AND. .OR. .NOT. and the word forms (Not also for '!')
    Plus,
    Minus,
    Star,
    Slash,
    Percent,
    Power,
    Eq,
    EqEq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Dollar,
    LParen,
    RParen,
    Comma,
};

struct Token {
    Tok kind = Tok::End;
    size_t pos = 0;
    std::string text; // identifier (upper case) or string contents
    double number = 0;
};

class Lexer {
public:
    explicit Lexer(std::string_view src) : s_(src) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        for (;;) {
            Token t = next();
            bool end = t.kind == Tok::End;
            out.push_back(std::move(t));
            if (end)
                return out;
        }
    }

private:
    static bool isAlpha(char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    Token make(Tok k, size_t pos, size_t len) {
        Token t;
        t.kind = k;
        t.pos = pos;
        i_ = pos + len;
        return t;
    }

    Token next() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
            ++i_;
        size_t p = i_;
        if (p >= s_.size())
            return make(Tok::End, p, 0);
        char c = s_[p];
        char c1 = p + 1 < s_.size() ? s_[p + 1] : '\0';
        if (isAlpha(c)) {
            size_t e = p;
            while (e < s_.size() && (isAlpha(s_[e]) || isDigit(s_[e])))
                ++e;
            Token t = make(Tok::Ident, p, e - p);
            t.text = upperAscii(s_.substr(p, e - p));
            return t;
        }
        if (c == '.' && isAlpha(c1)) {
            size_t e = p + 1;
            while (e < s_.size() && isAlpha(s_[e]))
                ++e;
            if (e < s_.size() && s_[e] == '.') {
                std::string w = upperAscii(s_.substr(p + 1, e - p - 1));
                size_t len = e + 1 - p;
                if (w == "T" || w == "Y")
                    return make(Tok::True, p, len);
                if (w == "F" || w == "N")
                    return make(Tok::False, p, len);
                if (w == "AND")
                    return make(Tok::And, p, len);
                if (w == "OR")
                    return make(Tok::Or, p, len);
                if (w == "NOT")
                    return make(Tok::Not, p, len);
                fail("Unknown operator ." + w + ".", p);
            }
            fail("Unexpected .", p);
        }
        if (isDigit(c) || (c == '.' && isDigit(c1))) {
            size_t e = p;
            while (e < s_.size() && isDigit(s_[e]))
                ++e;
            // A point after the digits belongs to the number ("1." and "1.5")
            // unless it opens a dotted word ("1.and.").
            if (e < s_.size() && s_[e] == '.' && !(e + 1 < s_.size() && isAlpha(s_[e + 1]))) {
                ++e;
                while (e < s_.size() && isDigit(s_[e]))
                    ++e;
            }
            Token t = make(Tok::Number, p, e - p);
            t.number = parseNumber(s_.substr(p, e - p));
            return t;
        }
        if (c == '"' || c == '\'' || c == '[') {
            char close = c == '[' ? ']' : c;
            size_t e = s_.find(close, p + 1);
            if (e == std::string_view::npos)
                fail(std::string("Unterminated string: missing ") + close, p);
            Token t = make(Tok::String, p, e + 1 - p);
            t.text = std::string(s_.substr(p + 1, e - p - 1));
            return t;
        }
        switch (c) {
        case '+':
            return make(Tok::Plus, p, 1);
        case '-':
            return make(Tok::Minus, p, 1);
        case '*':
            return c1 == '*' ? make(Tok::Power, p, 2) : make(Tok::Star, p, 1);
        case '/':
            return make(Tok::Slash, p, 1);
        case '%':
            return make(Tok::Percent, p, 1);
        case '^':
            return make(Tok::Power, p, 1);
        case '=':
            return c1 == '=' ? make(Tok::EqEq, p, 2) : make(Tok::Eq, p, 1);
        case '#':
            return make(Tok::Ne, p, 1);
        case '!':
            return c1 == '=' ? make(Tok::Ne, p, 2) : make(Tok::Not, p, 1);
        case '<':
            if (c1 == '>')
                return make(Tok::Ne, p, 2);
            return c1 == '=' ? make(Tok::Le, p, 2) : make(Tok::Lt, p, 1);
        case '>':
            return c1 == '=' ? make(Tok::Ge, p, 2) : make(Tok::Gt, p, 1);
        case '$':
            return make(Tok::Dollar, p, 1);
        case '(':
            return make(Tok::LParen, p, 1);
        case ')':
            return make(Tok::RParen, p, 1);
        case ',':
            return make(Tok::Comma, p, 1);
        default:
            break;
        }
        char shown[8];
        if (uint8_t(c) >= 0x20 && uint8_t(c) < 0x7F)
            std::snprintf(shown, sizeof shown, "%c", c);
        else
            std::snprintf(shown, sizeof shown, "\\x%02X", unsigned(uint8_t(c)));
        fail(std::string("Unexpected character ") + shown, p);
    }

    std::string_view s_;
    size_t i_ = 0;
};

// --------------------------------------------------------------- nodes --

struct Node {
    ValueType type = ValueType::Logical;
    int width = 0; // character: fixed result width; others: key width
    int depth = 1; // height of the subtree
    bool constant = false;
    size_t pos = 0;

    virtual ~Node() = default;
    virtual bool logical(const EvalContext&) const { return false; }
    virtual double number(const EvalContext&) const { return 0; }
    virtual std::string_view str(const EvalContext&) const { return {}; }
};

using NodePtr = std::unique_ptr<Node>;

struct ConstNode final : Node {
    bool l = false;
    double n = 0;
    std::string s;
    bool logical(const EvalContext&) const override { return l; }
    double number(const EvalContext&) const override { return n; }
    std::string_view str(const EvalContext&) const override { return s; }
};

NodePtr makeConst(ValueType t, size_t pos) {
    auto c = std::make_unique<ConstNode>();
    c->type = t;
    c->constant = true;
    c->pos = pos;
    return c;
}

// Evaluate a constant subtree once and keep only its value.
NodePtr fold(NodePtr n) {
    if (!n->constant || dynamic_cast<ConstNode*>(n.get()))
        return n;
    EvalContext none;
    auto c = std::make_unique<ConstNode>();
    c->type = n->type;
    c->width = n->width;
    c->constant = true;
    c->pos = n->pos;
    switch (n->type) {
    case ValueType::Logical:
        c->l = n->logical(none);
        break;
    case ValueType::Numeric:
    case ValueType::Date:
        c->n = n->number(none);
        break;
    case ValueType::Character:
        c->s = std::string(n->str(none));
        break;
    }
    return c;
}

// ---- fields

struct CharField final : Node {
    int offset;
    std::string_view str(const EvalContext& c) const override {
        return {reinterpret_cast<const char*>(c.record) + offset, size_t(width)};
    }
};

struct NumField final : Node {
    int offset, len;
    double number(const EvalContext& c) const override {
        return parseNumber({reinterpret_cast<const char*>(c.record) + offset, size_t(len)});
    }
};

struct IntField final : Node { // Visual FoxPro I: 4-byte little-endian
    int offset;
    double number(const EvalContext& c) const override {
        const uint8_t* p = c.record + offset;
        uint32_t u =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        return double(int32_t(u));
    }
};

uint64_t readLE64(const uint8_t* p) {
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
        u = (u << 8) | p[i];
    return u;
}

struct DoubleField final : Node { // Visual FoxPro B: 8-byte little-endian double
    int offset;
    double number(const EvalContext& c) const override {
        uint64_t u = readLE64(c.record + offset);
        double d;
        std::memcpy(&d, &u, 8);
        return d;
    }
};

struct CurrencyField final : Node { // Visual FoxPro Y: integer in ten-thousandths
    int offset;
    double number(const EvalContext& c) const override {
        return double(int64_t(readLE64(c.record + offset))) / 1e4;
    }
};

struct DateField final : Node {
    int offset;
    double number(const EvalContext& c) const override {
        return double(julianDay({reinterpret_cast<const char*>(c.record) + offset, 8}));
    }
};

struct DateTimeField final : Node { // Visual FoxPro T: the day part
    int offset;
    double number(const EvalContext& c) const override {
        const uint8_t* p = c.record + offset;
        uint32_t u =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        return double(int32_t(u));
    }
};

struct LogicalField final : Node {
    int offset;
    bool logical(const EvalContext& c) const override {
        uint8_t b = c.record[offset];
        return b == 'T' || b == 't' || b == 'Y' || b == 'y';
    }
};

struct MemoField final : Node {
    int index;
    mutable std::string buf;
    std::string_view str(const EvalContext& c) const override {
        if (!c.memos)
            return {};
        buf = c.memos->memoText(c.record, index);
        return buf;
    }
};

// ---- record functions

struct DeletedNode final : Node {
    bool logical(const EvalContext& c) const override { return c.record && c.record[0] == '*'; }
};

struct RecnoNode final : Node {
    double number(const EvalContext& c) const override { return double(c.recno); }
};

struct TodayNode final : Node {
    double number(const EvalContext&) const override {
        std::time_t t = std::time(nullptr);
        std::tm tm{};
        localtime_r(&t, &tm);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", (tm.tm_year + 1900) % 10000,
                      (tm.tm_mon + 1) % 100, tm.tm_mday % 100);
        return double(julianDay(buf));
    }
};

// ---- logical operators

struct NotNode final : Node {
    NodePtr a;
    bool logical(const EvalContext& c) const override { return !a->logical(c); }
};

struct AndNode final : Node {
    NodePtr a, b;
    bool logical(const EvalContext& c) const override { return a->logical(c) && b->logical(c); }
};

struct OrNode final : Node {
    NodePtr a, b;
    bool logical(const EvalContext& c) const override { return a->logical(c) || b->logical(c); }
};

// ---- comparisons

enum class Rel { Eq, EqEq, Ne, Lt, Le, Gt, Ge };

bool relHolds(Rel r, int cmp) {
    switch (r) {
    case Rel::Eq:
    case Rel::EqEq:
        return cmp == 0;
    case Rel::Ne:
        return cmp != 0;
    case Rel::Lt:
        return cmp < 0;
    case Rel::Le:
        return cmp <= 0;
    case Rel::Gt:
        return cmp > 0;
    case Rel::Ge:
        return cmp >= 0;
    }
    return false;
}

struct StrCompare final : Node {
    NodePtr a, b;
    Rel rel;
    bool logical(const EvalContext& c) const override {
        std::string_view l = a->str(c);
        std::string_view r = b->str(c);
        if (rel == Rel::EqEq)
            return l.size() == r.size() &&
                   (l.empty() || std::memcmp(l.data(), r.data(), l.size()) == 0);
        if (c.exact)
            return relHolds(rel, comparePadded(l, r));
        // With exact off the left operand is compared over the right one's
        // length only, so "SMITH   " = "SM" holds and "" matches anything;
        // a left operand shorter than the right one is not padded, so
        // "SM" = "SM " does not hold.
        if (l.size() >= r.size())
            return relHolds(rel, l.substr(0, r.size()).compare(r));
        int cmp = l.compare(r);
        return relHolds(rel, cmp < 0 ? -1 : (cmp > 0 ? 1 : 0));
    }
};

struct NumCompare final : Node {
    NodePtr a, b;
    Rel rel;
    bool logical(const EvalContext& c) const override {
        double l = a->number(c), r = b->number(c);
        return relHolds(rel, l < r ? -1 : (l > r ? 1 : 0));
    }
};

struct LogCompare final : Node {
    NodePtr a, b;
    bool negate;
    bool logical(const EvalContext& c) const override {
        return (a->logical(c) == b->logical(c)) != negate;
    }
};

struct ContainsNode final : Node {
    NodePtr a, b;
    bool logical(const EvalContext& c) const override {
        std::string_view needle = a->str(c);
        std::string_view hay = b->str(c);
        return hay.find(needle) != std::string_view::npos;
    }
};

// ---- arithmetic

enum class Arith { Add, Sub, Mul, Div, Mod, Pow };

struct ArithNode final : Node {
    NodePtr a, b;
    Arith op;
    double number(const EvalContext& c) const override {
        double l = a->number(c), r = b->number(c);
        switch (op) {
        case Arith::Add:
            return l + r;
        case Arith::Sub:
            return l - r;
        case Arith::Mul:
            return l * r;
        // Division by zero gives 0 rather than stopping an index build or a
        // filtered scan half way.
        case Arith::Div:
            return r == 0 ? 0 : l / r;
        case Arith::Mod: {
            if (r == 0)
                return 0;
            double m = std::fmod(l, r);
            if (m != 0 && ((m < 0) != (r < 0)))
                m += r; // the result takes the divisor's sign
            return m;
        }
        case Arith::Pow: {
            double v = std::pow(l, r);
            return std::isfinite(v) ? v : 0;
        }
        }
        return 0;
    }
};

struct NegNode final : Node {
    NodePtr a;
    double number(const EvalContext& c) const override { return -a->number(c); }
};

struct ConcatNode final : Node {
    NodePtr a, b;
    bool moveBlanks; // the '-' form: the left operand's trailing blanks go to the end
    mutable std::string buf;
    std::string_view str(const EvalContext& c) const override {
        std::string_view l = a->str(c);
        std::string_view r = b->str(c);
        buf.clear();
        if (!moveBlanks) {
            buf.append(l);
            buf.append(r);
        } else {
            std::string_view lt = trimRight(l);
            buf.append(lt);
            buf.append(r);
            buf.append(l.size() - lt.size(), ' ');
        }
        return buf;
    }
};

// ---- character functions

struct MapNode final : Node { // UPPER / LOWER
    NodePtr a;
    const std::array<uint8_t, 256>* table;
    mutable std::string buf;
    std::string_view str(const EvalContext& c) const override {
        std::string_view s = a->str(c);
        buf.resize(s.size());
        const uint8_t* t = table->data();
        for (size_t i = 0; i < s.size(); ++i)
            buf[i] = char(t[uint8_t(s[i])]);
        return buf;
    }
};

enum class TrimKind { Right, Left, Both };

struct TrimNode final : Node {
    NodePtr a;
    TrimKind kind;
    std::string_view str(const EvalContext& c) const override {
        std::string_view s = a->str(c);
        if (kind != TrimKind::Left)
            s = trimRight(s);
        if (kind != TrimKind::Right)
            s = trimLeft(s);
        return s;
    }
};

struct SubstrNode final : Node {
    NodePtr s, start, len; // len may be null: to the end
    std::string_view str(const EvalContext& c) const override {
        std::string_view v = s->str(c);
        double st = start->number(c);
        long from = clampWhole(st, 1, long(v.size()) + 1);
        size_t rest = v.size() - size_t(from - 1);
        size_t n = rest;
        if (len) {
            double l = len->number(c);
            n = size_t(clampWhole(l, 0, long(rest)));
        }
        return v.substr(size_t(from - 1), n);
    }
};

struct LeftRightNode final : Node {
    NodePtr s, count;
    bool right;
    std::string_view str(const EvalContext& c) const override {
        std::string_view v = s->str(c);
        double l = count->number(c);
        size_t n = size_t(clampWhole(l, 0, long(v.size())));
        return right ? v.substr(v.size() - n) : v.substr(0, n);
    }
};

struct LenNode final : Node {
    NodePtr a;
    double number(const EvalContext& c) const override { return double(a->str(c).size()); }
};

struct AtNode final : Node {
    NodePtr needle, hay;
    double number(const EvalContext& c) const override {
        std::string_view n = needle->str(c);
        if (n.empty())
            return 0;
        size_t p = hay->str(c).find(n);
        return p == std::string_view::npos ? 0 : double(p + 1);
    }
};

struct EmptyNode final : Node {
    NodePtr a;
    bool logical(const EvalContext& c) const override {
        switch (a->type) {
        case ValueType::Character:
            return allWhite(a->str(c));
        case ValueType::Numeric:
        case ValueType::Date:
            return a->number(c) == 0;
        case ValueType::Logical:
            return !a->logical(c);
        }
        return false;
    }
};

struct StrNode final : Node {
    NodePtr n, w, d; // w and d may be null
    mutable std::string buf;
    std::string_view str(const EvalContext& c) const override {
        int width = 10, dec = 0;
        if (w) {
            double v = w->number(c);
            width = int(clampWhole(v, 1, 255));
        }
        if (d) {
            double v = d->number(c);
            dec = int(clampWhole(v, 0, 255));
        }
        formatNumber(n->number(c), width, dec, buf);
        return buf;
    }
};

struct ValNode final : Node {
    NodePtr a;
    double number(const EvalContext& c) const override { return parseNumber(a->str(c)); }
};

struct SpaceNode final : Node {
    std::string blanks;
    std::string_view str(const EvalContext&) const override { return blanks; }
};

struct DtosNode final : Node {
    NodePtr a;
    mutable std::string buf;
    std::string_view str(const EvalContext& c) const override {
        buf = dateFromJulian(clampWhole(a->number(c), 0, 99999999));
        if (buf.empty())
            buf.assign(8, ' ');
        return buf;
    }
};

struct DtocNode final : Node { // mm/dd/yyyy
    NodePtr a;
    mutable std::string buf;
    std::string_view str(const EvalContext& c) const override {
        std::string s = dateFromJulian(clampWhole(a->number(c), 0, 99999999));
        if (s.empty())
            buf.assign(10, ' ');
        else
            buf = s.substr(4, 2) + "/" + s.substr(6, 2) + "/" + s.substr(0, 4);
        return buf;
    }
};

// CTOD: mm/dd/yyyy (a two-digit year counts from 1900); anything else is a
// blank date.
long parseUsDate(std::string_view s) {
    s = trimRight(trimLeft(s));
    int part[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int k = 0;
    for (char ch : s) {
        if (ch >= '0' && ch <= '9') {
            if (digits[k] >= 4)
                return 0;
            part[k] = part[k] * 10 + (ch - '0');
            ++digits[k];
        } else if ((ch == '/' || ch == '-' || ch == '.') && k < 2 && digits[k] > 0) {
            ++k;
        } else {
            return 0;
        }
    }
    if (k != 2 || digits[2] == 0 || digits[0] > 2 || digits[1] > 2)
        return 0;
    int year = part[2];
    if (digits[2] <= 2)
        year += 1900;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", year % 10000, part[0] % 100, part[1] % 100);
    return julianDay(buf);
}

struct CtodNode final : Node {
    NodePtr a;
    double number(const EvalContext& c) const override { return double(parseUsDate(a->str(c))); }
};

struct StodNode final : Node {
    NodePtr a;
    double number(const EvalContext& c) const override { return double(julianDay(a->str(c))); }
};

enum class DatePart { Year, Month, Day };

struct DatePartNode final : Node {
    NodePtr a;
    DatePart part;
    double number(const EvalContext& c) const override {
        std::string s = dateFromJulian(clampWhole(a->number(c), 0, 99999999));
        if (s.empty())
            return 0;
        switch (part) {
        case DatePart::Year:
            return std::stoi(s.substr(0, 4));
        case DatePart::Month:
            return std::stoi(s.substr(4, 2));
        case DatePart::Day:
            return std::stoi(s.substr(6, 2));
        }
        return 0;
    }
};

enum class NumFn { Abs, Int, Round };

struct NumFnNode final : Node {
    NodePtr a, b;
    NumFn fn;
    double number(const EvalContext& c) const override {
        double v = a->number(c);
        switch (fn) {
        case NumFn::Abs:
            return std::fabs(v);
        case NumFn::Int:
            return std::trunc(v);
        case NumFn::Round: {
            return roundHalfAway(v, int(clampWhole(b ? b->number(c) : 0, -15, 15)));
        }
        }
        return v;
    }
};

struct IifNode final : Node {
    NodePtr cond, a, b;
    mutable std::string buf;
    bool logical(const EvalContext& c) const override {
        return cond->logical(c) ? a->logical(c) : b->logical(c);
    }
    double number(const EvalContext& c) const override {
        return cond->logical(c) ? a->number(c) : b->number(c);
    }
    std::string_view str(const EvalContext& c) const override {
        return cond->logical(c) ? a->str(c) : b->str(c);
    }
};

// -------------------------------------------------------------- parser --

// Deepest nesting of parentheses, calls and prefix operators accepted while
// parsing; and the deepest tree (long operator chains included) accepted.
constexpr int kMaxNesting = 200;
constexpr int kMaxTreeDepth = 1000;

template <class T> std::unique_ptr<T> node(ValueType type, size_t pos) {
    auto n = std::make_unique<T>();
    n->type = type;
    n->pos = pos;
    return n;
}

// Settle depth and constness from the children, then fold constants.
NodePtr finish(std::unique_ptr<Node> n, std::initializer_list<const Node*> children,
               bool pure = true) {
    int depth = 0;
    bool constant = pure;
    for (const Node* c : children) {
        if (!c)
            continue;
        depth = std::max(depth, c->depth);
        constant = constant && c->constant;
    }
    n->depth = depth + 1;
    if (n->depth > kMaxTreeDepth)
        fail("Expression too deeply nested", n->pos);
    n->constant = constant;
    if (n->type == ValueType::Character && n->width > kMaxWidth)
        fail("Character result longer than " + std::to_string(kMaxWidth), n->pos);
    return fold(std::move(n));
}

const ConstNode* asConst(const NodePtr& n) {
    return dynamic_cast<const ConstNode*>(n.get());
}

int clampCount(double v, int hi) {
    return int(clampWhole(v, 0, hi));
}

class Parser {
public:
    Parser(std::string_view text, const std::vector<FieldDef>& fields)
        : text_(text), fields_(fields), toks_(Lexer(text).run()) {}

    NodePtr parse() {
        if (peek().kind == Tok::End)
            fail("Empty expression", peek().pos);
        NodePtr n = parseOr();
        if (peek().kind == Tok::RParen)
            fail("Unbalanced )", peek().pos);
        if (peek().kind != Tok::End)
            fail("Unexpected " + describe(peek()), peek().pos);
        return n;
    }

private:
    struct Nest {
        explicit Nest(Parser& p, size_t pos) : p_(p) {
            if (++p_.nesting_ > kMaxNesting)
                fail("Expression too deeply nested", pos);
        }
        ~Nest() { --p_.nesting_; }
        Parser& p_;
    };

    const Token& peek(size_t ahead = 0) const {
        size_t i = std::min(at_ + ahead, toks_.size() - 1);
        return toks_[i];
    }
    const Token& take() { return toks_[std::min(at_++, toks_.size() - 1)]; }

    std::string describe(const Token& t) const {
        if (t.kind == Tok::End)
            return "end of expression";
        size_t i = size_t(&t - toks_.data());
        size_t end = i + 1 < toks_.size() ? toks_[i + 1].pos : text_.size();
        return shorten(trimRight(text_.substr(t.pos, end - t.pos)));
    }

    // Names and tokens quoted in messages are cut to a readable length.
    static std::string shorten(std::string_view s) {
        return s.size() <= 40 ? std::string(s) : std::string(s.substr(0, 40)) + "...";
    }

    bool isWord(const Token& t, const char* w) const { return t.kind == Tok::Ident && t.text == w; }

    // Can this token begin an operand?
    bool startsOperand(const Token& t) const {
        switch (t.kind) {
        case Tok::Ident:
        case Tok::Number:
        case Tok::String:
        case Tok::True:
        case Tok::False:
        case Tok::Not:
        case Tok::Minus:
        case Tok::Plus:
        case Tok::LParen:
            return true;
        default:
            return false;
        }
    }

    void expect(const NodePtr& n, ValueType t, const std::string& what) {
        if (n->type != t)
            fail(what + " needs a " + typeName(t) + " value, not " + typeName(n->type), n->pos);
    }

    NodePtr parseOr() {
        NodePtr l = parseAnd();
        while (peek().kind == Tok::Or || isWord(peek(), "OR")) {
            size_t pos = take().pos;
            NodePtr r = parseAnd();
            expect(l, ValueType::Logical, ".OR.");
            expect(r, ValueType::Logical, ".OR.");
            auto n = node<OrNode>(ValueType::Logical, pos);
            n->a = std::move(l);
            n->b = std::move(r);
            const Node *a = n->a.get(), *b = n->b.get();
            l = finish(std::move(n), {a, b});
        }
        return l;
    }

    NodePtr parseAnd() {
        NodePtr l = parseNot();
        while (peek().kind == Tok::And || isWord(peek(), "AND")) {
            size_t pos = take().pos;
            NodePtr r = parseNot();
            expect(l, ValueType::Logical, ".AND.");
            expect(r, ValueType::Logical, ".AND.");
            auto n = node<AndNode>(ValueType::Logical, pos);
            n->a = std::move(l);
            n->b = std::move(r);
            const Node *a = n->a.get(), *b = n->b.get();
            l = finish(std::move(n), {a, b});
        }
        return l;
    }

    bool atNot() const {
        if (peek().kind == Tok::Not)
            return true;
        // The word NOT is the operator unless a field of that name stands alone.
        return isWord(peek(), "NOT") && startsOperand(peek(1)) && peek(1).kind != Tok::Minus &&
               peek(1).kind != Tok::Plus;
    }

    NodePtr parseNot() {
        if (atNot()) {
            size_t pos = take().pos;
            Nest guard(*this, pos);
            NodePtr a = parseNot();
            expect(a, ValueType::Logical, "NOT");
            auto n = node<NotNode>(ValueType::Logical, pos);
            n->a = std::move(a);
            const Node* c = n->a.get();
            return finish(std::move(n), {c});
        }
        return parseCompare();
    }

    NodePtr parseCompare() {
        NodePtr l = parseAdd();
        Tok k = peek().kind;
        Rel rel;
        switch (k) {
        case Tok::Eq:
            rel = Rel::Eq;
            break;
        case Tok::EqEq:
            rel = Rel::EqEq;
            break;
        case Tok::Ne:
            rel = Rel::Ne;
            break;
        case Tok::Lt:
            rel = Rel::Lt;
            break;
        case Tok::Le:
            rel = Rel::Le;
            break;
        case Tok::Gt:
            rel = Rel::Gt;
            break;
        case Tok::Ge:
            rel = Rel::Ge;
            break;
        case Tok::Dollar:
            rel = Rel::Eq;
            break;
        default:
            return l;
        }
        const Token& op = take();
        size_t pos = op.pos;
        std::string opText = describe(op);
        NodePtr r = parseAdd();
        if (k == Tok::Dollar) {
            expect(l, ValueType::Character, "$");
            expect(r, ValueType::Character, "$");
            auto n = node<ContainsNode>(ValueType::Logical, pos);
            n->a = std::move(l);
            n->b = std::move(r);
            const Node *a = n->a.get(), *b = n->b.get();
            return finish(std::move(n), {a, b});
        }
        if (l->type != r->type)
            fail("Cannot compare " + std::string(typeName(l->type)) + " with " + typeName(r->type) +
                     " using " + opText,
                 pos);
        const Node *a = l.get(), *b = r.get();
        switch (l->type) {
        case ValueType::Character: {
            auto n = node<StrCompare>(ValueType::Logical, pos);
            n->a = std::move(l);
            n->b = std::move(r);
            n->rel = rel;
            // The result depends on SET EXACT, so it is never folded.
            return finish(std::move(n), {a, b}, false);
        }
        case ValueType::Numeric:
        case ValueType::Date: {
            auto n = node<NumCompare>(ValueType::Logical, pos);
            n->a = std::move(l);
            n->b = std::move(r);
            n->rel = rel;
            return finish(std::move(n), {a, b});
        }
        case ValueType::Logical: {
            if (rel != Rel::Eq && rel != Rel::EqEq && rel != Rel::Ne)
                fail("Logical values cannot be ordered with " + opText, pos);
            auto n = node<LogCompare>(ValueType::Logical, pos);
            n->a = std::move(l);
            n->b = std::move(r);
            n->negate = rel == Rel::Ne;
            return finish(std::move(n), {a, b});
        }
        }
        return l;
    }

    NodePtr parseAdd() {
        NodePtr l = parseMul();
        while (peek().kind == Tok::Plus || peek().kind == Tok::Minus) {
            bool minus = take().kind == Tok::Minus;
            size_t pos = toks_[at_ - 1].pos;
            NodePtr r = parseMul();
            l = binaryAdd(std::move(l), std::move(r), minus, pos);
        }
        return l;
    }

    NodePtr binaryAdd(NodePtr l, NodePtr r, bool minus, size_t pos) {
        const Node *a = l.get(), *b = r.get();
        ValueType lt = l->type, rt = r->type;
        if (lt == ValueType::Character && rt == ValueType::Character) {
            auto n = node<ConcatNode>(ValueType::Character, pos);
            n->width = l->width + r->width;
            n->a = std::move(l);
            n->b = std::move(r);
            n->moveBlanks = minus;
            return finish(std::move(n), {a, b});
        }
        ValueType result;
        if (lt == ValueType::Numeric && rt == ValueType::Numeric)
            result = ValueType::Numeric;
        else if (lt == ValueType::Date && rt == ValueType::Numeric)
            result = ValueType::Date;
        else if (!minus && lt == ValueType::Numeric && rt == ValueType::Date)
            result = ValueType::Date;
        else if (minus && lt == ValueType::Date && rt == ValueType::Date)
            result = ValueType::Numeric;
        else
            fail(std::string("Cannot ") + (minus ? "subtract " : "add ") + typeName(rt) +
                     (minus ? " from " : " to ") + typeName(lt),
                 pos);
        auto n = node<ArithNode>(result, pos);
        n->width = 8;
        n->a = std::move(l);
        n->b = std::move(r);
        n->op = minus ? Arith::Sub : Arith::Add;
        return finish(std::move(n), {a, b});
    }

    NodePtr arith(NodePtr l, NodePtr r, Arith op, size_t pos, const std::string& opText) {
        expect(l, ValueType::Numeric, opText);
        expect(r, ValueType::Numeric, opText);
        const Node *a = l.get(), *b = r.get();
        auto n = node<ArithNode>(ValueType::Numeric, pos);
        n->width = 8;
        n->a = std::move(l);
        n->b = std::move(r);
        n->op = op;
        return finish(std::move(n), {a, b});
    }

    NodePtr parseMul() {
        NodePtr l = parsePow();
        for (;;) {
            Tok k = peek().kind;
            if (k != Tok::Star && k != Tok::Slash && k != Tok::Percent)
                return l;
            const Token& op = take();
            std::string opText = describe(op);
            size_t pos = op.pos;
            NodePtr r = parsePow();
            l = arith(std::move(l), std::move(r),
                      k == Tok::Star ? Arith::Mul : (k == Tok::Slash ? Arith::Div : Arith::Mod),
                      pos, opText);
        }
    }

    NodePtr parsePow() {
        NodePtr l = parseUnary();
        if (peek().kind != Tok::Power)
            return l;
        const Token& op = take();
        std::string opText = describe(op);
        size_t pos = op.pos;
        Nest guard(*this, pos);
        NodePtr r = parsePow(); // right associative
        return arith(std::move(l), std::move(r), Arith::Pow, pos, opText);
    }

    NodePtr parseUnary() {
        Tok k = peek().kind;
        if (k == Tok::Minus || k == Tok::Plus) {
            size_t pos = take().pos;
            Nest guard(*this, pos);
            NodePtr a = parseUnary();
            expect(a, ValueType::Numeric, k == Tok::Minus ? "Unary -" : "Unary +");
            if (k == Tok::Plus)
                return a;
            auto n = node<NegNode>(ValueType::Numeric, pos);
            n->width = 8;
            n->a = std::move(a);
            const Node* c = n->a.get();
            return finish(std::move(n), {c});
        }
        if (k == Tok::Not) // "a = !b" and the like
            return parseNot();
        return parsePrimary();
    }

    NodePtr parsePrimary() {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::Number: {
            take();
            auto c = makeConst(ValueType::Numeric, t.pos);
            static_cast<ConstNode*>(c.get())->n = t.number;
            c->width = 8;
            return c;
        }
        case Tok::String: {
            take();
            auto c = makeConst(ValueType::Character, t.pos);
            static_cast<ConstNode*>(c.get())->s = t.text;
            c->width = int(t.text.size());
            return c;
        }
        case Tok::True:
        case Tok::False: {
            take();
            auto c = makeConst(ValueType::Logical, t.pos);
            static_cast<ConstNode*>(c.get())->l = t.kind == Tok::True;
            c->width = 1;
            return c;
        }
        case Tok::LParen: {
            size_t pos = take().pos;
            Nest guard(*this, pos);
            NodePtr n = parseOr();
            if (peek().kind != Tok::RParen)
                fail("Missing )", peek().pos);
            take();
            return n;
        }
        case Tok::Ident: {
            take();
            if (peek().kind == Tok::LParen)
                return parseCall(t);
            return fieldNode(t);
        }
        case Tok::End:
            fail("Unexpected end of expression", t.pos);
        case Tok::RParen:
            fail("Unexpected )", t.pos);
        default:
            fail("Unexpected " + describe(t), t.pos);
        }
    }

    NodePtr fieldNode(const Token& t) {
        int index = -1;
        for (size_t i = 0; i < fields_.size(); ++i)
            if (upperAscii(fields_[i].name) == t.text) {
                index = int(i);
                break;
            }
        if (index < 0)
            fail("Unknown field " + shorten(t.text), t.pos);
        readsRecord_ = true;
        const FieldDef& f = fields_[size_t(index)];
        NodePtr n;
        switch (f.type) {
        case 'C': {
            auto x = node<CharField>(ValueType::Character, t.pos);
            x->offset = f.offset;
            x->width = f.width;
            n = std::move(x);
            break;
        }
        case 'N':
        case 'F': {
            auto x = node<NumField>(ValueType::Numeric, t.pos);
            x->offset = f.offset;
            x->len = f.width;
            n = std::move(x);
            break;
        }
        case 'I': {
            auto x = node<IntField>(ValueType::Numeric, t.pos);
            x->offset = f.offset;
            n = std::move(x);
            break;
        }
        case 'B': {
            auto x = node<DoubleField>(ValueType::Numeric, t.pos);
            x->offset = f.offset;
            n = std::move(x);
            break;
        }
        case 'Y': {
            auto x = node<CurrencyField>(ValueType::Numeric, t.pos);
            x->offset = f.offset;
            n = std::move(x);
            break;
        }
        case 'D': {
            auto x = node<DateField>(ValueType::Date, t.pos);
            x->offset = f.offset;
            n = std::move(x);
            break;
        }
        case 'T': {
            auto x = node<DateTimeField>(ValueType::Date, t.pos);
            x->offset = f.offset;
            n = std::move(x);
            break;
        }
        case 'L': {
            auto x = node<LogicalField>(ValueType::Logical, t.pos);
            x->offset = f.offset;
            x->width = 1;
            n = std::move(x);
            break;
        }
        case 'M': {
            readsMemo_ = true;
            auto x = node<MemoField>(ValueType::Character, t.pos);
            x->index = index;
            x->width = f.width;
            n = std::move(x);
            break;
        }
        default:
            fail("Field " + t.text + " has a type expressions cannot read", t.pos);
        }
        if (n->type == ValueType::Numeric || n->type == ValueType::Date)
            n->width = 8;
        n->constant = false;
        return n;
    }

    // ---- function calls

    enum class Fn {
        Upper,
        Lower,
        Trim,
        Ltrim,
        Alltrim,
        Substr,
        Left,
        Right,
        Len,
        Empty,
        Deleted,
        Recno,
        Str,
        Val,
        Dtos,
        Dtoc,
        Ctod,
        Stod,
        Date,
        Year,
        Month,
        Day,
        Iif,
        At,
        Space,
        Abs,
        Int,
        Round,
    };

    struct FnInfo {
        const char* name;
        Fn fn;
        int minArgs, maxArgs;
    };

    static const FnInfo* findFunction(const std::string& name) {
        static const FnInfo table[] = {
            {"UPPER", Fn::Upper, 1, 1},   {"LOWER", Fn::Lower, 1, 1},
            {"TRIM", Fn::Trim, 1, 1},     {"RTRIM", Fn::Trim, 1, 1},
            {"LTRIM", Fn::Ltrim, 1, 1},   {"ALLTRIM", Fn::Alltrim, 1, 1},
            {"SUBSTR", Fn::Substr, 2, 3}, {"LEFT", Fn::Left, 2, 2},
            {"RIGHT", Fn::Right, 2, 2},   {"LEN", Fn::Len, 1, 1},
            {"EMPTY", Fn::Empty, 1, 1},   {"DELETED", Fn::Deleted, 0, 0},
            {"RECNO", Fn::Recno, 0, 0},   {"STR", Fn::Str, 1, 3},
            {"VAL", Fn::Val, 1, 1},       {"DTOS", Fn::Dtos, 1, 1},
            {"DTOC", Fn::Dtoc, 1, 1},     {"CTOD", Fn::Ctod, 1, 1},
            {"STOD", Fn::Stod, 1, 1},     {"DATE", Fn::Date, 0, 0},
            {"YEAR", Fn::Year, 1, 1},     {"MONTH", Fn::Month, 1, 1},
            {"DAY", Fn::Day, 1, 1},       {"IIF", Fn::Iif, 3, 3},
            {"AT", Fn::At, 2, 2},         {"SPACE", Fn::Space, 1, 1},
            {"ABS", Fn::Abs, 1, 1},       {"INT", Fn::Int, 1, 1},
            {"ROUND", Fn::Round, 2, 2},
        };
        for (const FnInfo& f : table)
            if (name == f.name)
                return &f;
        // xBase accepts a name cut to four or more letters.
        if (name.size() >= 4)
            for (const FnInfo& f : table)
                if (std::strlen(f.name) > name.size() &&
                    std::string_view(f.name).substr(0, name.size()) == name)
                    return &f;
        return nullptr;
    }

    NodePtr parseCall(const Token& nameTok) {
        size_t open = take().pos; // (
        Nest guard(*this, open);
        std::vector<NodePtr> args;
        if (peek().kind != Tok::RParen) {
            for (;;) {
                args.push_back(parseOr());
                if (peek().kind == Tok::Comma) {
                    take();
                    continue;
                }
                break;
            }
        }
        if (peek().kind != Tok::RParen)
            fail("Missing )", peek().pos);
        take();
        const FnInfo* f = findFunction(nameTok.text);
        if (!f)
            fail("Unknown function " + shorten(nameTok.text), nameTok.pos);
        int n = int(args.size());
        if (n < f->minArgs || n > f->maxArgs) {
            std::string want = f->minArgs == f->maxArgs ? std::to_string(f->minArgs)
                                                        : std::to_string(f->minArgs) + " to " +
                                                              std::to_string(f->maxArgs);
            fail(std::string(f->name) + "() takes " + want +
                     (f->maxArgs == 1 ? " argument" : " arguments") + ", not " + std::to_string(n),
                 nameTok.pos);
        }
        return build(*f, std::move(args), nameTok.pos);
    }

    NodePtr build(const FnInfo& f, std::vector<NodePtr> args, size_t pos) {
        std::string what = std::string(f.name) + "()";
        auto arg = [&](size_t i) -> const Node* {
            return i < args.size() ? args[i].get() : nullptr;
        };
        switch (f.fn) {
        case Fn::Upper:
        case Fn::Lower: {
            expect(args[0], ValueType::Character, what);
            auto n = node<MapNode>(ValueType::Character, pos);
            n->width = args[0]->width;
            n->table = f.fn == Fn::Upper ? &upperTable() : &lowerTable();
            const Node* a = arg(0);
            n->a = std::move(args[0]);
            return finish(std::move(n), {a});
        }
        case Fn::Trim:
        case Fn::Ltrim:
        case Fn::Alltrim: {
            expect(args[0], ValueType::Character, what);
            auto n = node<TrimNode>(ValueType::Character, pos);
            n->width = args[0]->width;
            n->kind = f.fn == Fn::Trim ? TrimKind::Right
                                       : (f.fn == Fn::Ltrim ? TrimKind::Left : TrimKind::Both);
            const Node* a = arg(0);
            n->a = std::move(args[0]);
            return finish(std::move(n), {a});
        }
        case Fn::Substr: {
            expect(args[0], ValueType::Character, what);
            expect(args[1], ValueType::Numeric, what);
            if (args.size() > 2)
                expect(args[2], ValueType::Numeric, what);
            auto n = node<SubstrNode>(ValueType::Character, pos);
            int w = args[0]->width;
            if (const ConstNode* s = asConst(args[1]))
                w = std::max(0, w - std::max(0, clampCount(s->n, kMaxWidth) - 1));
            if (args.size() > 2)
                if (const ConstNode* l = asConst(args[2]))
                    w = std::min(w, clampCount(l->n, kMaxWidth));
            n->width = w;
            const Node *a = arg(0), *b = arg(1), *c = arg(2);
            n->s = std::move(args[0]);
            n->start = std::move(args[1]);
            if (args.size() > 2)
                n->len = std::move(args[2]);
            return finish(std::move(n), {a, b, c});
        }
        case Fn::Left:
        case Fn::Right: {
            expect(args[0], ValueType::Character, what);
            expect(args[1], ValueType::Numeric, what);
            auto n = node<LeftRightNode>(ValueType::Character, pos);
            n->width = args[0]->width;
            if (const ConstNode* l = asConst(args[1]))
                n->width = std::min(n->width, clampCount(l->n, kMaxWidth));
            n->right = f.fn == Fn::Right;
            const Node *a = arg(0), *b = arg(1);
            n->s = std::move(args[0]);
            n->count = std::move(args[1]);
            return finish(std::move(n), {a, b});
        }
        case Fn::Len: {
            expect(args[0], ValueType::Character, what);
            auto n = node<LenNode>(ValueType::Numeric, pos);
            n->width = 8;
            const Node* a = arg(0);
            n->a = std::move(args[0]);
            return finish(std::move(n), {a});
        }
        case Fn::At: {
            expect(args[0], ValueType::Character, what);
            expect(args[1], ValueType::Character, what);
            auto n = node<AtNode>(ValueType::Numeric, pos);
            n->width = 8;
            const Node *a = arg(0), *b = arg(1);
            n->needle = std::move(args[0]);
            n->hay = std::move(args[1]);
            return finish(std::move(n), {a, b});
        }
        case Fn::Empty: {
            auto n = node<EmptyNode>(ValueType::Logical, pos);
            n->width = 1;
            const Node* a = arg(0);
            n->a = std::move(args[0]);
            return finish(std::move(n), {a});
        }
        case Fn::Deleted: {
            auto n = node<DeletedNode>(ValueType::Logical, pos);
            n->width = 1;
            return finish(std::move(n), {}, false);
        }
        case Fn::Recno: {
            auto n = node<RecnoNode>(ValueType::Numeric, pos);
            n->width = 8;
            return finish(std::move(n), {}, false);
        }
        case Fn::Date: {
            auto n = node<TodayNode>(ValueType::Date, pos);
            n->width = 8;
            return finish(std::move(n), {}, false);
        }
        case Fn::Str: {
            for (size_t i = 0; i < args.size(); ++i)
                expect(args[i], ValueType::Numeric, what);
            auto n = node<StrNode>(ValueType::Character, pos);
            n->width = 10;
            if (args.size() > 1) {
                if (const ConstNode* w = asConst(args[1]))
                    n->width = int(clampWhole(w->n, 1, 255));
                else
                    n->width = 255;
            }
            const Node *a = arg(0), *b = arg(1), *c = arg(2);
            n->n = std::move(args[0]);
            if (args.size() > 1)
                n->w = std::move(args[1]);
            if (args.size() > 2)
                n->d = std::move(args[2]);
            return finish(std::move(n), {a, b, c});
        }
        case Fn::Val: {
            expect(args[0], ValueType::Character, what);
            auto n = node<ValNode>(ValueType::Numeric, pos);
            n->width = 8;
            const Node* a = arg(0);
            n->a = std::move(args[0]);
            return finish(std::move(n), {a});
        }
        case Fn::Space: {
            expect(args[0], ValueType::Numeric, what);
            const ConstNode* c = asConst(args[0]);
            if (!c)
                fail("SPACE() needs a constant length", args[0]->pos);
            if (c->n > kMaxWidth)
                fail("SPACE() length is too large", args[0]->pos);
            auto n = node<SpaceNode>(ValueType::Character, pos);
            n->width = clampCount(c->n, kMaxWidth);
            n->blanks.assign(size_t(n->width), ' ');
            return finish(std::move(n), {});
        }
        case Fn::Dtos:
        case Fn::Dtoc: {
            expect(args[0], ValueType::Date, what);
            NodePtr n;
            const Node* a = arg(0);
            if (f.fn == Fn::Dtos) {
                auto x = node<DtosNode>(ValueType::Character, pos);
                x->width = 8;
                x->a = std::move(args[0]);
                n = std::move(x);
            } else {
                auto x = node<DtocNode>(ValueType::Character, pos);
                x->width = 10;
                x->a = std::move(args[0]);
                n = std::move(x);
            }
            return finish(std::move(n), {a});
        }
        case Fn::Ctod:
        case Fn::Stod: {
            expect(args[0], ValueType::Character, what);
            NodePtr n;
            const Node* a = arg(0);
            if (f.fn == Fn::Ctod) {
                auto x = node<CtodNode>(ValueType::Date, pos);
                x->a = std::move(args[0]);
                n = std::move(x);
            } else {
                auto x = node<StodNode>(ValueType::Date, pos);
                x->a = std::move(args[0]);
                n = std::move(x);
            }
            n->width = 8;
            return finish(std::move(n), {a});
        }
        case Fn::Year:
        case Fn::Month:
        case Fn::Day: {
            expect(args[0], ValueType::Date, what);
            auto n = node<DatePartNode>(ValueType::Numeric, pos);
            n->width = 8;
            n->part = f.fn == Fn::Year ? DatePart::Year
                                       : (f.fn == Fn::Month ? DatePart::Month : DatePart::Day);
            const Node* a = arg(0);
            n->a = std::move(args[0]);
            return finish(std::move(n), {a});
        }
        case Fn::Abs:
        case Fn::Int:
        case Fn::Round: {
            for (auto& a : args)
                expect(a, ValueType::Numeric, what);
            auto n = node<NumFnNode>(ValueType::Numeric, pos);
            n->width = 8;
            n->fn = f.fn == Fn::Abs ? NumFn::Abs : (f.fn == Fn::Int ? NumFn::Int : NumFn::Round);
            const Node *a = arg(0), *b = arg(1);
            n->a = std::move(args[0]);
            if (args.size() > 1)
                n->b = std::move(args[1]);
            return finish(std::move(n), {a, b});
        }
        case Fn::Iif: {
            expect(args[0], ValueType::Logical, what);
            if (args[1]->type != args[2]->type)
                fail("IIF() needs both results of one type, not " +
                         std::string(typeName(args[1]->type)) + " and " + typeName(args[2]->type),
                     args[2]->pos);
            auto n = node<IifNode>(args[1]->type, pos);
            n->width = std::max(args[1]->width, args[2]->width);
            const Node *a = arg(0), *b = arg(1), *c = arg(2);
            n->cond = std::move(args[0]);
            n->a = std::move(args[1]);
            n->b = std::move(args[2]);
            return finish(std::move(n), {a, b, c});
        }
        }
        fail("Unknown function " + std::string(f.name), pos);
    }

public:
    bool readsRecord() const { return readsRecord_; }
    bool readsMemo() const { return readsMemo_; }

private:
    std::string_view text_;
    const std::vector<FieldDef>& fields_;
    bool readsRecord_ = false;
    bool readsMemo_ = false;
    std::vector<Token> toks_;
    size_t at_ = 0;
    int nesting_ = 0;
};

// ---------------------------------------------------------- expression --

class CompiledExpression final : public Expression {
public:
    CompiledExpression(std::string text, NodePtr root, bool readsRecord, bool readsMemo)
        : text_(std::move(text)), root_(std::move(root)), readsRecord_(readsRecord), readsMemo_(readsMemo) {}

    const std::string& text() const override { return text_; }
    ValueType type() const override { return root_->type; }
    bool readsMemo() const override { return readsMemo_; }
    int width() const override {
        switch (root_->type) {
        case ValueType::Character:
            return root_->width;
        case ValueType::Logical:
            return 1;
        default:
            return 8;
        }
    }

    bool evalLogical(const EvalContext& ctx) const override {
        require(ValueType::Logical);
        requireRecord(ctx);
        return root_->logical(ctx);
    }
    double evalNumeric(const EvalContext& ctx) const override {
        if (root_->type != ValueType::Numeric && root_->type != ValueType::Date)
            throw Error(Error::Code::Type, "The expression " + text_ + " is not numeric");
        requireRecord(ctx);
        return root_->number(ctx);
    }
    std::string evalString(const EvalContext& ctx) const override {
        require(ValueType::Character);
        requireRecord(ctx);
        return std::string(root_->str(ctx));
    }

    void evalKey(const EvalContext& ctx, uint8_t* out, int keyLength) const override {
        if (keyLength <= 0)
            return;
        requireRecord(ctx);
        switch (root_->type) {
        case ValueType::Character: {
            std::string_view s = root_->str(ctx);
            size_t n = std::min(s.size(), size_t(keyLength));
            if (n)
                std::memcpy(out, s.data(), n);
            if (n < size_t(keyLength))
                std::memset(out + n, ' ', size_t(keyLength) - n);
            return;
        }
        case ValueType::Numeric:
        case ValueType::Date: {
            uint8_t k[8];
            encodeNumericKey(root_->number(ctx), k);
            size_t n = std::min<size_t>(8, size_t(keyLength));
            std::memcpy(out, k, n);
            if (n < size_t(keyLength))
                std::memset(out + n, 0, size_t(keyLength) - n);
            return;
        }
        case ValueType::Logical:
            out[0] = root_->logical(ctx) ? 'T' : 'F';
            if (keyLength > 1)
                std::memset(out + 1, ' ', size_t(keyLength) - 1);
            return;
        }
    }

private:
    void require(ValueType t) const {
        if (root_->type != t)
            throw Error(Error::Code::Type, "The expression " + text_ + " is " +
                                               typeName(root_->type) + ", not " + typeName(t));
    }

    void requireRecord(const EvalContext& ctx) const {
        if (readsRecord_ && !ctx.record)
            throw Error(Error::Code::State, "The expression " + text_ + " needs a record");
    }

    std::string text_;
    NodePtr root_;
    bool readsRecord_;
    bool readsMemo_;
};

} // namespace

std::unique_ptr<Expression> Expression::compile(std::string_view text,
                                                const std::vector<FieldDef>& fields) {
    Parser p(text, fields);
    NodePtr root = p.parse();
    return std::make_unique<CompiledExpression>(std::string(text), std::move(root),
                                                p.readsRecord(), p.readsMemo());
}

void encodeNumericKey(double value, uint8_t out[8]) {
    // -0 is stored as +0 and a NaN (never produced by the evaluator) as 0, so
    // equal values always give equal keys.
    if (value == 0 || std::isnan(value))
        value = 0;
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

double decodeNumericKey(const uint8_t in[8]) {
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

long julianDay(std::string_view s) {
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

std::string dateFromJulian(long j) {
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

uint8_t upper1252(uint8_t c) {
    if (c >= 'a' && c <= 'z')
        return uint8_t(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return uint8_t(c - 0x20);
    switch (c) {
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0x9E:
        return 0x8E;
    case 0xFF:
        return 0x9F;
    default:
        return c;
    }
}

uint8_t lower1252(uint8_t c) {
    if (c >= 'A' && c <= 'Z')
        return uint8_t(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return uint8_t(c + 0x20);
    switch (c) {
    case 0x8A:
        return 0x9A;
    case 0x8C:
        return 0x9C;
    case 0x8E:
        return 0x9E;
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

} // namespace xbase
