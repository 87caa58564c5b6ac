// Errors raised by the engine. Every failure is an exception whose message
// names the file (when there is one) and the cause.
#pragma once

#include <stdexcept>
#include <string>

namespace xbase {

class Error : public std::runtime_error {
public:
    enum class Code {
        Io,            // the operating system refused a read, write, open, ...
        NotFound,      // file does not exist
        Locked,        // another process holds the file (exclusive open refused)
        Corrupt,       // the file's bytes break the format's rules
        Unsupported,   // a format or field type this engine does not handle
        Expression,    // malformed expression (message carries the position)
        Type,          // wrong value type for a field or an operation
        State,         // operation not valid now (no table, no current record, ...)
        Argument,      // bad argument (unknown field, tag, ...)
    };
    Error(Code code, const std::string& message) : std::runtime_error(message), code_(code) {}
    Code code() const { return code_; }

private:
    Code code_;
};

// A malformed expression: `position` is the 0-based offset in the text.
class ExpressionError : public Error {
public:
    ExpressionError(const std::string& message, size_t position)
        : Error(Code::Expression, message), position_(position) {}
    size_t position() const { return position_; }

private:
    size_t position_;
};

} // namespace xbase
