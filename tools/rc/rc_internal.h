// Internals of quarnels-rc shared by its parts: tokens, the preprocessor, expressions, built-in names.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "rc_script.h"

namespace qrc {

enum class TokenKind { Identifier, Number, String, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // identifier, punctuator, number as written, or the decoded string
    int64_t value = 0; // numbers
    int file = 0;      // index into the file table
    int line = 0;
};

// Where a token came from, for messages.
struct SourceMap {
    std::vector<std::string> files;
    [[noreturn]] void Fail(const Token& at, const std::string& message) const;
};

// Splits one logical line (comments already gone) into tokens. Strings are decoded.
std::vector<Token> Tokenize(const std::string& line, int file, int lineNumber, const SourceMap& map);

// Runs the directives (#include, #define, #undef, conditionals) over a script and returns the
// tokens of the active lines with object-like macros expanded.
std::vector<Token> Preprocess(const std::string& text, const std::string& name, const Options& options,
                              SourceMap& map, std::vector<std::string>& dependencies);

// The values that the system headers give a script (window, dialog and control styles, language
// and version constants, standard ids and resource types).
bool LookupBuiltin(const std::string& name, int64_t& value);

// A cursor over tokens with C-like integer expressions. `resolve` gives the value of an identifier
// or fails.
class ExpressionReader {
public:
    using Resolver = std::function<int64_t(const Token&)>;
    ExpressionReader(const std::vector<Token>& tokens, size_t& position, const SourceMap& map, Resolver resolve)
        : tokens_(tokens), pos_(position), map_(map), resolve_(std::move(resolve)) {}

    // The whole expression, down to the loosest operator.
    int64_t Read() { return Binary(1); }
    // An expression whose top-level operators bind tighter than `|` (a term of a style list).
    int64_t ReadTerm() { return Binary(kOrPrecedence + 1); }

    static constexpr int kOrPrecedence = 3;

private:
    int64_t Binary(int minPrecedence);
    int64_t Unary();
    int Precedence(const Token& t) const;

    const std::vector<Token>& tokens_;
    size_t& pos_;
    const SourceMap& map_;
    Resolver resolve_;
};

std::string Describe(const Token& t);
bool IsPunct(const Token& t, const char* p);
bool IsKeyword(const Token& t, const char* keyword);  // identifiers, without regard to case
bool SameText(const std::string& a, const std::string& b);  // ASCII, without regard to case

}  // namespace qrc
