// Malformed expressions: every one is an ExpressionError carrying the
// 0-based position of the fault and a message naming it, never a crash.
#include "xbase/error.h"
#include "xbase/expr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace xbase;

namespace {

std::vector<FieldDef> fields() {
    std::vector<FieldDef> f = {{"LNAME", 'C', 30, 0, 0},
                               {"AMOUNT", 'N', 10, 3, 0},
                               {"BORN", 'D', 8, 0, 0},
                               {"ISDEL", 'L', 1, 0, 0},
                               {"NOTES", 'M', 10, 0, 0}};
    int off = 1;
    for (auto& x : f) {
        x.offset = off;
        off += x.width;
    }
    return f;
}

struct Failure {
    size_t position;
    std::string message;
};

Failure failure(const std::string& text) {
    try {
        Expression::compile(text, fields());
    } catch (const ExpressionError& e) {
        EXPECT_EQ(e.code(), Error::Code::Expression);
        return {e.position(), e.what()};
    }
    ADD_FAILURE() << "compiled: " << text.substr(0, 60);
    return {size_t(-1), ""};
}

} // namespace

TEST(ExprErrors, PositionAndMessage) {
    struct Case {
        const char* text;
        size_t position;
        const char* message;
    };
    const Case cases[] = {
        {"UPPER(NAMEX)", 6, "Unknown field NAMEX at position 6"},
        {"LNAME = NAMEX", 8, "Unknown field NAMEX at position 8"},
        {"UPPER(LNAME", 11, "Missing ) at position 11"},
        {"(ISDEL .and. (ISDEL)", 20, "Missing ) at position 20"},
        {"ISDEL)", 5, "Unbalanced ) at position 5"},
        {"", 0, "Empty expression at position 0"},
        {"   ", 3, "Empty expression at position 3"},
        {"LNAME =", 7, "Unexpected end of expression at position 7"},
        {"LNAME = \"abc", 8, "Unterminated string: missing \" at position 8"},
        {"[abc", 0, "Unterminated string: missing ] at position 0"},
        {"FOO(LNAME)", 0, "Unknown function FOO at position 0"},
        {"UPPER(LNAME, 2)", 0, "UPPER() takes 1 argument, not 2"},
        {"SUBSTR(LNAME)", 0, "SUBSTR() takes 2 to 3 arguments, not 1"},
        {"DELETED(1)", 0, "DELETED() takes 0 arguments, not 1"},
        {"UPPER(3)", 6, "UPPER() needs a character value, not numeric"},
        {"\"a\" + 1", 4, "Cannot add numeric to character"},
        {"BORN - \"x\"", 5, "Cannot subtract character from date"},
        {"LNAME = 1", 6, "Cannot compare character with numeric using ="},
        {"ISDEL < .T.", 6, "Logical values cannot be ordered with <"},
        {"ISDEL .and. LNAME", 12, ".AND. needs a logical value, not character"},
        {"!AMOUNT", 1, "NOT needs a logical value, not numeric"},
        {"-LNAME", 1, "Unary - needs a numeric value, not character"},
        {"AMOUNT * LNAME", 9, "* needs a numeric value, not character"},
        {"1 $ LNAME", 0, "$ needs a character value, not numeric"},
        {"IIF(ISDEL, 1, \"a\")", 14, "IIF() needs both results of one type"},
        {"IIF(LNAME, 1, 2)", 4, "IIF() needs a logical value"},
        {"LNAME LNAME", 6, "Unexpected LNAME at position 6"},
        {"ISDEL .xor. ISDEL", 6, "Unknown operator .XOR."},
        {"LNAME ? 1", 6, "Unexpected character ?"},
        {"LNAME = \x01", 8, "Unexpected character \\x01"},
        {"SPACE(AMOUNT)", 6, "SPACE() needs a constant length"},
        {"SPACE(1000000)", 6, "SPACE() length is too large"},
        {"UPPER()", 0, "UPPER() takes 1 argument, not 0"},
        {"a->LNAME", 0, "Unknown field A at position 0"},
        {",", 0, "Unexpected ,"},
    };
    for (const Case& c : cases) {
        Failure f = failure(c.text);
        EXPECT_EQ(f.position, c.position) << c.text << ": " << f.message;
        EXPECT_NE(f.message.find(c.message), std::string::npos) << c.text << ": " << f.message;
    }
}

TEST(ExprErrors, DeepNestingIsAnErrorNotAStackOverflow) {
    const int n = 100000;
    const std::string deep[] = {
        std::string(n, '(') + "ISDEL" + std::string(n, ')'),
        std::string(n, '!') + "ISDEL",
        std::string(n, '-') + "1",
        [] {
            std::string s;
            for (int i = 0; i < n; ++i)
                s += "UPPER(";
            return s + "LNAME" + std::string(n, ')');
        }(),
        [] {
            std::string s = "AMOUNT";
            for (int i = 0; i < n; ++i)
                s += "+AMOUNT";
            return s + "=2";
        }(),
        [] {
            std::string s = "AMOUNT";
            for (int i = 0; i < n; ++i)
                s += "^AMOUNT";
            return s;
        }(),
        std::string(n, '('),
    };
    for (const std::string& text : deep) {
        Failure f = failure(text);
        EXPECT_NE(f.message.find("nested"), std::string::npos) << f.message.substr(0, 200);
        EXPECT_LT(f.position, text.size());
    }
    // A long chain of constants folds as it is read and is no deeper than one value.
    std::string ones = "1";
    for (int i = 0; i < n; ++i)
        ones += "+1";
    EXPECT_TRUE(Expression::compile(ones + "=100001", fields())->evalLogical(EvalContext{}));
    // Ordinary nesting stays well inside the limit.
    std::string fifty = std::string(50, '(') + "ISDEL" + std::string(50, ')');
    EXPECT_NO_THROW(Expression::compile(fifty, fields()));
}

TEST(ExprErrors, LongNamesAndTokensAreCutInMessages) {
    const std::string longText(5000, 'X');
    for (const std::string& text :
         {"ISDEL \"" + longText + "\"", longText, longText + "(1)", "ISDEL " + longText}) {
        Failure f = failure(text);
        EXPECT_LT(f.message.size(), 120u) << f.message.substr(0, 120);
        EXPECT_NE(f.message.find("..."), std::string::npos) << f.message.substr(0, 120);
    }
}
