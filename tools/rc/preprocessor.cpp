// Tokens, constant expressions and the C preprocessor (#include, #define, #if) of resource scripts.
#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "rc_internal.h"

namespace qrc {

Error::Error(const std::string& file, int line, const std::string& message)
    : std::runtime_error(file + ":" + std::to_string(line) + ": error: " + message),
      file_(file),
      line_(line),
      message_(message) {}

void SourceMap::Fail(const Token& at, const std::string& message) const {
    const std::string file = at.file >= 0 && size_t(at.file) < files.size() ? files[size_t(at.file)] : "<script>";
    throw Error(file, at.line, message);
}

std::string Describe(const Token& t) {
    switch (t.kind) {
        case TokenKind::End: return "the end of the script";
        case TokenKind::String: return "a text";
        case TokenKind::Number: return "'" + t.text + "'";
        default: return "'" + t.text + "'";
    }
}

bool IsPunct(const Token& t, const char* p) { return t.kind == TokenKind::Punct && t.text == p; }

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

bool IsKeyword(const Token& t, const char* keyword) {
    return t.kind == TokenKind::Identifier && SameText(t.text, keyword);
}

namespace {

bool IsIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes the string that starts at line[i] (the opening quote); leaves i after the closing quote.
// Both spellings of an embedded quote work: "" as in Microsoft's scripts, \" as in C.
std::string ReadString(const std::string& line, size_t& i, const Token& at, const SourceMap& map) {
    std::string out;
    ++i;
    for (;;) {
        if (i >= line.size()) map.Fail(at, "unterminated text (a '\"' is missing)");
        const char c = line[i++];
        if (c == '"') {
            if (i < line.size() && line[i] == '"') {
                out += '"';
                ++i;
                continue;
            }
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i >= line.size()) map.Fail(at, "unterminated text (a '\"' is missing)");
        const char e = line[i++];
        switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'a': out += '\a'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case '\'': out += '\''; break;
            case '?': out += '?'; break;
            case 'x': {
                int value = 0, digits = 0;
                while (digits < 2 && i < line.size() && HexDigit(line[i]) >= 0) value = value * 16 + HexDigit(line[i++]), ++digits;
                if (digits == 0) map.Fail(at, "\\x without hexadecimal digits in a text");
                out += char(value);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0', digits = 1;
                    while (digits < 3 && i < line.size() && line[i] >= '0' && line[i] <= '7') value = value * 8 + (line[i++] - '0'), ++digits;
                    out += char(value & 0xFF);
                } else {
                    // Unknown escapes stay as written, so a path such as "C:\data" survives.
                    out += '\\';
                    out += e;
                }
        }
    }
}

int64_t ParseNumber(const std::string& text, const Token& at, const SourceMap& map) {
    size_t i = 0;
    int base = 10;
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) base = 16, i = 2;
    uint64_t value = 0;
    size_t digits = 0;
    for (; i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0 || d >= base) break;
        value = value * uint64_t(base) + uint64_t(d);
        if (value > 0xFFFFFFFFull) map.Fail(at, "number " + text + " does not fit in 32 bits");
        ++digits;
    }
    // The suffixes of C: L and U in any order and case.
    for (; i < text.size(); ++i)
        if (std::strchr("lLuU", text[i]) == nullptr) break;
    if (digits == 0 || i != text.size()) map.Fail(at, "malformed number '" + text + "'");
    return int64_t(value);
}

}  // namespace

std::vector<Token> Tokenize(const std::string& line, int file, int lineNumber, const SourceMap& map) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token t;
        t.file = file;
        t.line = lineNumber;
        if ((c == 'L' || c == 'l') && i + 1 < line.size() && line[i + 1] == '"') {
            ++i;  // a wide text: the same characters here
            continue;
        }
        if (c == '"') {
            t.kind = TokenKind::String;
            t.text = ReadString(line, i, t, map);
        } else if (IsIdentifierStart(c)) {
            const size_t start = i;
            while (i < line.size() && IsIdentifierChar(line[i])) ++i;
            t.kind = TokenKind::Identifier;
            t.text = line.substr(start, i - start);
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            const size_t start = i;
            while (i < line.size() && IsIdentifierChar(line[i])) ++i;
            t.kind = TokenKind::Number;
            t.text = line.substr(start, i - start);
            t.value = ParseNumber(t.text, t, map);
        } else {
            static const char* const kTwo[] = {"&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};
            t.kind = TokenKind::Punct;
            for (const char* two : kTwo)
                if (line.compare(i, 2, two) == 0) t.text = two;
            if (t.text.empty()) {
                if (std::strchr(",|&()+-*/%~!<>={}^", c) == nullptr) {
                    t.text = std::string(1, c);
                    map.Fail(t, std::string("unexpected character '") + c + "'");
                }
                t.text = std::string(1, c);
            }
            i += t.text.size();
        }
        out.push_back(std::move(t));
    }
    return out;
}

// ---- expressions -------------------------------------------------------------------------------

int ExpressionReader::Precedence(const Token& t) const {
    if (t.kind != TokenKind::Punct) return 0;
    static const std::map<std::string, int> kTable = {
        {"||", 1}, {"&&", 2}, {"|", kOrPrecedence}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6},
        {"<", 7},  {">", 7},  {"<=", 7},           {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},
        {"-", 9},  {"*", 10}, {"/", 10},           {"%", 10}};
    const auto found = kTable.find(t.text);
    return found == kTable.end() ? 0 : found->second;
}

int64_t ExpressionReader::Binary(int minPrecedence) {
    int64_t left = Unary();
    for (;;) {
        const Token& op = tokens_[pos_];
        const int precedence = Precedence(op);
        if (precedence == 0 || precedence < minPrecedence) return left;
        ++pos_;
        const int64_t right = Binary(precedence + 1);
        const std::string& o = op.text;
        if (o == "||") left = (left || right) ? 1 : 0;
        else if (o == "&&") left = (left && right) ? 1 : 0;
        else if (o == "|") left |= right;
        else if (o == "^") left ^= right;
        else if (o == "&") left &= right;
        else if (o == "==") left = left == right;
        else if (o == "!=") left = left != right;
        else if (o == "<") left = left < right;
        else if (o == ">") left = left > right;
        else if (o == "<=") left = left <= right;
        else if (o == ">=") left = left >= right;
        else if (o == "<<") left = int64_t(uint64_t(left) << (right & 63));
        else if (o == ">>") left >>= (right & 63);
        else if (o == "+") left += right;
        else if (o == "-") left -= right;
        else if (o == "*") left *= right;
        else {
            if (right == 0) map_.Fail(op, "division by zero");
            left = o == "/" ? left / right : left % right;
        }
        // Values are those of 32-bit resource compilers.
        left = int64_t(int32_t(uint32_t(uint64_t(left))));
    }
}

int64_t ExpressionReader::Unary() {
    const Token& t = tokens_[pos_];
    if (t.kind == TokenKind::Number) {
        ++pos_;
        return int64_t(int32_t(uint32_t(t.value)));
    }
    if (t.kind == TokenKind::Identifier) {
        ++pos_;
        return resolve_(t);
    }
    if (IsPunct(t, "(")) {
        ++pos_;
        const int64_t value = Read();
        if (!IsPunct(tokens_[pos_], ")")) map_.Fail(tokens_[pos_], "expected ')' but found " + Describe(tokens_[pos_]));
        ++pos_;
        return value;
    }
    if (IsPunct(t, "-") || IsPunct(t, "+") || IsPunct(t, "~") || IsPunct(t, "!")) {
        ++pos_;
        const int64_t operand = Unary();
        if (t.text == "-") return int64_t(int32_t(uint32_t(-uint64_t(operand))));
        if (t.text == "~") return int64_t(int32_t(~uint32_t(operand)));
        if (t.text == "!") return operand == 0 ? 1 : 0;
        return operand;
    }
    map_.Fail(t, "expected a number but found " + Describe(t));
}

// ---- preprocessor ------------------------------------------------------------------------------

namespace {

struct Macro {
    bool functionLike = false;
    std::vector<Token> body;
};

struct Conditional {
    bool outerActive;  // the lines around this #if are compiled
    bool active;       // the current branch is compiled
    bool taken;        // some branch was compiled already
    bool seenElse;
    Token at;
};

class Preprocessor {
public:
    Preprocessor(const Options& options, SourceMap& map, std::vector<std::string>& dependencies)
        : options_(options), map_(map), dependencies_(dependencies) {}

    std::vector<Token> Run(const std::string& text, const std::string& name) {
        ProcessText(text, name, 0);
        Token end;
        end.kind = TokenKind::End;
        end.file = lastFile_;
        end.line = lastLine_;
        out_.push_back(end);
        return std::move(out_);
    }

private:
    static constexpr int kMaxIncludeDepth = 32;

    int AddFile(const std::string& name) {
        map_.files.push_back(name);
        if (!Contains(dependencies_, name)) dependencies_.push_back(name);
        return int(map_.files.size() - 1);
    }

    void ProcessText(const std::string& text, const std::string& name, int depth) {
        const int file = AddFile(name);
        const size_t openAtStart = conditionals_.size();
        bool inComment = false;
        int lineNumber = 0;
        std::istringstream in(text);
        std::string physical;
        while (std::getline(in, physical)) {
            ++lineNumber;
            const int firstLine = lineNumber;
            std::string logical = StripCarriageReturn(physical);
            while (!logical.empty() && logical.back() == '\\' && std::getline(in, physical)) {
                ++lineNumber;
                logical.pop_back();
                logical += StripCarriageReturn(physical);
            }
            const bool startedInComment = inComment;
            const std::string code = StripComments(logical, inComment);
            lastFile_ = file;
            lastLine_ = firstLine;
            size_t first = code.find_first_not_of(" \t");
            if (!startedInComment && first != std::string::npos && code[first] == '#') {
                Directive(code.substr(first + 1), file, firstLine, name, depth);
                continue;
            }
            if (!Active()) continue;
            std::vector<Token> tokens = Tokenize(code, file, firstLine, map_);
            std::vector<std::string> expanding;
            Expand(tokens, expanding, out_);
        }
        lastFile_ = file;
        lastLine_ = lineNumber;
        if (conditionals_.size() > openAtStart) map_.Fail(conditionals_.back().at, "#if without #endif");
    }

    static std::string StripCarriageReturn(const std::string& line) {
        return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
    }

    // Replaces comments by a space; `inComment` carries a /* comment over lines.
    static std::string StripComments(const std::string& line, bool& inComment) {
        std::string out;
        size_t i = 0;
        while (i < line.size()) {
            if (inComment) {
                const size_t end = line.find("*/", i);
                if (end == std::string::npos) return out;
                inComment = false;
                i = end + 2;
                out += ' ';
                continue;
            }
            const char c = line[i];
            if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') break;
            if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
                inComment = true;
                i += 2;
                continue;
            }
            if (c == '"') {
                // Copy the text unchanged; "" and \" do not end it.
                out += line[i++];
                while (i < line.size()) {
                    const char s = line[i++];
                    out += s;
                    if (s == '\\' && i < line.size()) {
                        out += line[i++];
                    } else if (s == '"') {
                        if (i < line.size() && line[i] == '"') out += line[i++];
                        else break;
                    }
                }
                continue;
            }
            out += c;
            ++i;
        }
        return out;
    }

    bool Active() const { return conditionals_.empty() || conditionals_.back().active; }

    void Expand(const std::vector<Token>& tokens, std::vector<std::string>& expanding, std::vector<Token>& out) {
        for (const Token& t : tokens) {
            const auto macro = t.kind == TokenKind::Identifier ? macros_.find(t.text) : macros_.end();
            if (macro == macros_.end() || Contains(expanding, t.text)) {
                out.push_back(t);
                continue;
            }
            if (macro->second.functionLike) map_.Fail(t, "macro " + t.text + " takes arguments, which this compiler does not support");
            std::vector<Token> body = macro->second.body;
            for (Token& b : body) b.file = t.file, b.line = t.line;
            expanding.push_back(t.text);
            Expand(body, expanding, out);
            expanding.pop_back();
        }
    }

    static bool Contains(const std::vector<std::string>& names, const std::string& name) {
        for (const std::string& n : names)
            if (n == name) return true;
        return false;
    }

    bool IsDefined(const std::string& name) const {
        int64_t ignored;
        return macros_.count(name) != 0 || LookupBuiltin(name, ignored);
    }

    void Directive(const std::string& rest, int file, int line, const std::string& name, int depth) {
        Token at;
        at.kind = TokenKind::Punct;
        at.text = "#";
        at.file = file;
        at.line = line;
        size_t i = rest.find_first_not_of(" \t");
        if (i == std::string::npos) return;  // the null directive
        size_t end = i;
        while (end < rest.size() && IsIdentifierChar(rest[end])) ++end;
        const std::string directive = rest.substr(i, end - i);
        const std::string argument = rest.substr(end);

        if (directive == "if" || directive == "ifdef" || directive == "ifndef") {
            bool value = false;
            if (Active()) {
                if (directive == "if") {
                    value = EvaluateCondition(argument, at);
                } else {
                    const std::vector<Token> tokens = Tokenize(argument, file, line, map_);
                    if (tokens.size() != 1 || tokens[0].kind != TokenKind::Identifier) map_.Fail(at, "#" + directive + " needs one name");
                    value = IsDefined(tokens[0].text) == (directive == "ifdef");
                }
            }
            conditionals_.push_back({Active(), Active() && value, Active() && value, false, at});
            return;
        }
        if (directive == "elif" || directive == "else" || directive == "endif") {
            if (conditionals_.empty()) map_.Fail(at, "#" + directive + " without #if");
            Conditional& c = conditionals_.back();
            if (directive == "endif") {
                conditionals_.pop_back();
                return;
            }
            if (c.seenElse) map_.Fail(at, "#" + directive + " after #else");
            if (directive == "else") {
                c.seenElse = true;
                c.active = c.outerActive && !c.taken;
            } else {
                c.active = c.outerActive && !c.taken && EvaluateCondition(argument, at);
            }
            c.taken = c.taken || c.active;
            return;
        }
        if (!Active()) return;

        if (directive == "include") {
            Include(argument, at, name, depth);
        } else if (directive == "define") {
            Define(argument, at);
        } else if (directive == "undef") {
            const std::vector<Token> tokens = Tokenize(argument, file, line, map_);
            if (tokens.size() != 1 || tokens[0].kind != TokenKind::Identifier) map_.Fail(at, "#undef needs one name");
            macros_.erase(tokens[0].text);
        } else if (directive == "error") {
            map_.Fail(at, "#error" + argument);
        } else if (directive != "pragma" && directive != "line") {
            map_.Fail(at, "unknown directive #" + directive);
        }
    }

    void Define(const std::string& argument, const Token& at) {
        size_t i = argument.find_first_not_of(" \t");
        if (i == std::string::npos || !IsIdentifierStart(argument[i])) map_.Fail(at, "#define needs a name");
        size_t end = i;
        while (end < argument.size() && IsIdentifierChar(argument[end])) ++end;
        Macro macro;
        const std::string name = argument.substr(i, end - i);
        if (end < argument.size() && argument[end] == '(') {
            macro.functionLike = true;  // kept only so that #ifdef sees it
        } else {
            macro.body = Tokenize(argument.substr(end), at.file, at.line, map_);
        }
        macros_[name] = std::move(macro);
    }

    void Include(const std::string& argument, const Token& at, const std::string& from, int depth) {
        const size_t open = argument.find_first_not_of(" \t");
        if (open == std::string::npos || (argument[open] != '"' && argument[open] != '<')) map_.Fail(at, "#include needs \"file\" or <file>");
        const char closeChar = argument[open] == '"' ? '"' : '>';
        const size_t close = argument.find(closeChar, open + 1);
        if (close == std::string::npos) map_.Fail(at, "unterminated file name in #include");
        const std::string file = argument.substr(open + 1, close - open - 1);
        // System headers (<windows.h> and kin) give only the names this compiler knows already.
        if (closeChar == '>') return;
        if (depth >= kMaxIncludeDepth) map_.Fail(at, "#include nested too deeply");

        std::vector<std::string> candidates;
        if (!file.empty() && file[0] == '/') {
            candidates.push_back(file);
        } else {
            const size_t slash = from.find_last_of('/');
            candidates.push_back(slash == std::string::npos ? file : from.substr(0, slash + 1) + file);
            for (const std::string& dir : options_.includeDirs) candidates.push_back(dir + "/" + file);
        }
        for (const std::string& candidate : candidates) {
            std::ifstream in(candidate, std::ios::binary);
            if (!in) continue;
            std::ostringstream text;
            text << in.rdbuf();
            ProcessText(text.str(), candidate, depth + 1);
            return;
        }
        map_.Fail(at, "cannot find the included file \"" + file + "\"");
    }

    bool EvaluateCondition(const std::string& argument, const Token& at) {
        const std::vector<Token> raw = Tokenize(argument, at.file, at.line, map_);
        // `defined NAME` and `defined(NAME)` are answered before macros are expanded.
        std::vector<Token> replaced;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i].kind != TokenKind::Identifier || raw[i].text != "defined") {
                replaced.push_back(raw[i]);
                continue;
            }
            const bool parenthesized = i + 1 < raw.size() && IsPunct(raw[i + 1], "(");
            const size_t nameAt = i + (parenthesized ? 2 : 1);
            if (nameAt >= raw.size() || raw[nameAt].kind != TokenKind::Identifier ||
                (parenthesized && (nameAt + 1 >= raw.size() || !IsPunct(raw[nameAt + 1], ")"))))
                map_.Fail(at, "malformed defined() in #if");
            Token value = raw[i];
            value.kind = TokenKind::Number;
            value.value = IsDefined(raw[nameAt].text) ? 1 : 0;
            value.text = std::to_string(value.value);
            replaced.push_back(value);
            i = nameAt + (parenthesized ? 1 : 0);
        }
        std::vector<Token> tokens;
        std::vector<std::string> expanding;
        Expand(replaced, expanding, tokens);
        if (tokens.empty()) map_.Fail(at, "#if without a condition");
        Token end;
        end.kind = TokenKind::End;
        end.file = at.file;
        end.line = at.line;
        tokens.push_back(end);
        size_t position = 0;
        ExpressionReader reader(tokens, position, map_, [](const Token& t) {
            int64_t value = 0;
            return LookupBuiltin(t.text, value) ? value : 0;  // unknown names are 0, as in C
        });
        const int64_t value = reader.Read();
        if (tokens[position].kind != TokenKind::End) map_.Fail(at, "unexpected " + Describe(tokens[position]) + " in #if");
        return value != 0;
    }

    const Options& options_;
    SourceMap& map_;
    std::vector<std::string>& dependencies_;
    std::map<std::string, Macro> macros_;
    std::vector<Conditional> conditionals_;
    std::vector<Token> out_;
    int lastFile_ = 0;
    int lastLine_ = 0;
};

}  // namespace

std::vector<Token> Preprocess(const std::string& text, const std::string& name, const Options& options,
                              SourceMap& map, std::vector<std::string>& dependencies) {
    Preprocessor preprocessor(options, map, dependencies);
    return preprocessor.Run(text, name);
}

}  // namespace qrc
