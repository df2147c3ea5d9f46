// The resource-script parser: dialogs, string tables and version resources; other types only listed.
#include <cctype>
#include <fstream>
#include <sstream>

#include "rc_internal.h"

namespace qrc {
namespace {

constexpr uint32_t kChildVisible = 0x40000000u | 0x10000000u;  // WS_CHILD | WS_VISIBLE
constexpr uint32_t kDefaultDialogStyle = 0x80880000u;          // WS_POPUP | WS_BORDER | WS_SYSMENU
constexpr uint32_t kCaption = 0x00C00000u;                     // WS_CAPTION
constexpr uint32_t kSetFont = 0x00000040u;                     // DS_SETFONT
constexpr uint32_t kTabStop = 0x00010000u;
constexpr uint32_t kGroup = 0x00020000u;
constexpr uint32_t kBorder = 0x00800000u;
constexpr uint16_t kDefaultLanguage = 0x0409;  // what resource compilers assume without LANGUAGE

// The control statements and the styles they add. `plain` applies when the statement gives no style;
// `base` is what a given style list starts from. The two differ where GNU windres (the compiler of
// the Windows build) drops a default once a style is written: the text statements lose WS_GROUP and
// COMBOBOX its CBS_SIMPLE | WS_TABSTOP. Following windres keeps both builds' dialogs identical.
struct ControlKind {
    const char* keyword;
    const char* className;
    bool hasText;
    uint32_t plain;
    uint32_t base;
};

const ControlKind kControlKinds[] = {
    {"PUSHBUTTON", "BUTTON", true, 0x0000 | kTabStop, 0x0000 | kTabStop},        // BS_PUSHBUTTON
    {"DEFPUSHBUTTON", "BUTTON", true, 0x0001 | kTabStop, 0x0001 | kTabStop},     // BS_DEFPUSHBUTTON
    {"CHECKBOX", "BUTTON", true, 0x0002 | kTabStop, 0x0002 | kTabStop},          // BS_CHECKBOX
    {"AUTOCHECKBOX", "BUTTON", true, 0x0003 | kTabStop, 0x0003 | kTabStop},      // BS_AUTOCHECKBOX
    {"GROUPBOX", "BUTTON", true, 0x0007, 0x0007},                                // BS_GROUPBOX
    {"LTEXT", "STATIC", true, 0x0000 | kGroup, 0x0000},                          // SS_LEFT
    {"CTEXT", "STATIC", true, 0x0001 | kGroup, 0x0001},                          // SS_CENTER
    {"RTEXT", "STATIC", true, 0x0002 | kGroup, 0x0002},                          // SS_RIGHT
    {"EDITTEXT", "EDIT", false, 0x0000 | kBorder | kTabStop, 0x0000 | kBorder | kTabStop},  // ES_LEFT
    {"LISTBOX", "LISTBOX", false, 0x0001 | kBorder, 0x0001 | kBorder},           // LBS_NOTIFY
    {"COMBOBOX", "COMBOBOX", false, 0x0001 | kTabStop, 0},                       // CBS_SIMPLE
    {"SCROLLBAR", "SCROLLBAR", false, 0x0000, 0x0000},                           // SBS_HORZ
};

const char* const kPredefinedClasses[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
const char* const kMemoryFlags[] = {"PRELOAD", "LOADONCALL", "FIXED", "MOVEABLE", "DISCARDABLE",
                                    "PURE", "IMPURE", "SHARED", "NONSHARED"};

struct ResourceName {
    bool numeric = false;
    uint16_t number = 0;
    std::string text;
    std::string Display() const { return numeric ? std::to_string(number) : text; }
};

// One BLOCK of a version resource with its VALUE lines.
struct VersionValue {
    std::string name;
    std::vector<Token> items;  // strings and numbers (numbers carry their value)
    Token at;
};
struct VersionBlock {
    std::string name;
    std::vector<VersionValue> values;
    std::vector<VersionBlock> blocks;
    Token at;
};

class Parser {
public:
    Parser(std::vector<Token> tokens, const SourceMap& map) : tokens_(std::move(tokens)), map_(map) {}

    void Parse(Script& script) {
        while (Peek().kind != TokenKind::End) {
            if (IsKeyword(Peek(), "LANGUAGE")) {
                Next();
                language_ = Language();
            } else if (IsKeyword(Peek(), "STRINGTABLE")) {
                StringTable(script);
            } else {
                NamedResource(script);
            }
        }
    }

private:
    const Token& Peek(size_t ahead = 0) const {
        const size_t at = pos_ + ahead;
        return at < tokens_.size() ? tokens_[at] : tokens_.back();
    }
    const Token& Next() {
        const Token& t = Peek();
        if (pos_ < tokens_.size() - 1) ++pos_;
        return t;
    }
    [[noreturn]] void Fail(const Token& at, const std::string& message) const { map_.Fail(at, message); }

    void Expect(const char* punct, const std::string& context) {
        if (!IsPunct(Peek(), punct)) Fail(Peek(), std::string("expected '") + punct + "' " + context + " but found " + Describe(Peek()));
        Next();
    }
    bool Accept(const char* punct) {
        if (!IsPunct(Peek(), punct)) return false;
        Next();
        return true;
    }
    bool AtBegin() const { return IsKeyword(Peek(), "BEGIN") || IsPunct(Peek(), "{"); }
    bool AtEnd() const { return IsKeyword(Peek(), "END") || IsPunct(Peek(), "}"); }
    void ExpectBegin(const std::string& context) {
        if (!AtBegin()) Fail(Peek(), "expected BEGIN " + context + " but found " + Describe(Peek()));
        Next();
    }

    int64_t Resolve(const Token& t) const {
        int64_t value = 0;
        if (!LookupBuiltin(t.text, value)) Fail(t, "unknown name '" + t.text + "' (missing from resource.h?)");
        return value;
    }

    int64_t Number(const std::string& what) {
        if (Peek().kind == TokenKind::End || Peek().kind == TokenKind::String || IsPunct(Peek(), ","))
            Fail(Peek(), "expected " + what + " but found " + Describe(Peek()));
        ExpressionReader reader(tokens_, pos_, map_, [this](const Token& t) { return Resolve(t); });
        return reader.Read();
    }

    int16_t Coordinate(const std::string& what) {
        const Token& at = Peek();
        const int64_t value = Number(what);
        if (value < -32768 || value > 32767) Fail(at, what + " " + std::to_string(value) + " is out of range");
        return int16_t(value);
    }

    uint16_t Word(const std::string& what) {
        const Token& at = Peek();
        const int64_t value = Number(what);
        if (value < 0 || value > 0xFFFF) Fail(at, what + " " + std::to_string(value) + " is out of range 0 to 65535");
        return uint16_t(value);
    }

    // A style list: terms joined by '|', each optionally preceded by NOT, which clears its bits.
    uint32_t Style(uint32_t start, const std::string& what) {
        uint32_t style = start;
        do {
            const bool clear = IsKeyword(Peek(), "NOT");
            if (clear) Next();
            if (Peek().kind == TokenKind::End || Peek().kind == TokenKind::String || IsPunct(Peek(), ","))
                Fail(Peek(), "expected " + what + " but found " + Describe(Peek()));
            ExpressionReader reader(tokens_, pos_, map_, [this](const Token& t) { return Resolve(t); });
            const uint32_t bits = uint32_t(reader.ReadTerm());
            style = clear ? (style & ~bits) : (style | bits);
        } while (Accept("|"));
        return style;
    }

    std::string Text(const std::string& what) {
        if (Peek().kind != TokenKind::String) Fail(Peek(), "expected " + what + " (a quoted text) but found " + Describe(Peek()));
        // A NUL ends a text, as in the tables that carry it.
        std::string text = Next().text;
        const size_t nul = text.find('\0');
        return nul == std::string::npos ? text : text.substr(0, nul);
    }

    uint16_t Language() {
        const Token& at = Peek();
        const int64_t primary = Number("a language");
        Expect(",", "between language and sublanguage");
        const int64_t sub = Number("a sublanguage");
        if (primary < 0 || primary > 0x3FF || sub < 0 || sub > 0x3F) Fail(at, "language out of range");
        return uint16_t((sub << 10) | primary);
    }

    void SkipMemoryFlags() {
        for (bool more = true; more;) {
            more = false;
            for (const char* flag : kMemoryFlags)
                if (IsKeyword(Peek(), flag)) Next(), more = true;
        }
    }

    // LANGUAGE, VERSION and CHARACTERISTICS before a resource's BEGIN; returns whether it took one.
    bool CommonStatement(uint16_t& language) {
        if (IsKeyword(Peek(), "LANGUAGE")) {
            Next();
            language = Language();
            return true;
        }
        if (IsKeyword(Peek(), "VERSION") || IsKeyword(Peek(), "CHARACTERISTICS")) {
            Next();
            Number("a number");
            return true;
        }
        return false;
    }

    ResourceName Name() {
        const Token& t = Peek();
        ResourceName name;
        if (t.kind == TokenKind::String) {
            name.text = Next().text;
            return name;
        }
        int64_t ignored;
        if (t.kind == TokenKind::Identifier && !LookupBuiltin(t.text, ignored)) {
            name.text = Next().text;
            return name;
        }
        name.numeric = true;
        name.number = Word("a resource id");
        return name;
    }

    void StringTable(Script& script) {
        Next();
        uint16_t language = language_;
        SkipMemoryFlags();
        while (CommonStatement(language)) {
        }
        ExpectBegin("after STRINGTABLE");
        while (!AtEnd()) {
            if (Peek().kind == TokenKind::End) Fail(Peek(), "STRINGTABLE without END");
            StringEntry entry;
            const Token at = Peek();
            entry.line = at.line;
            entry.id = Word("a string id");
            Accept(",");
            entry.text = Text("the string");
            entry.language = language;
            for (const StringEntry& other : script.strings)
                if (other.id == entry.id && other.language == entry.language) Fail(at, "string " + std::to_string(entry.id) + " is defined twice");
            script.strings.push_back(std::move(entry));
        }
        Next();
    }

    void NamedResource(Script& script) {
        const Token nameToken = Peek();
        const ResourceName name = Name();
        const Token& type = Peek();
        if (!name.numeric && nameToken.kind == TokenKind::Identifier &&
            (type.kind == TokenKind::Punct || type.kind == TokenKind::End || IsKeyword(type, "BEGIN")))
            Fail(nameToken, "unknown statement '" + name.text + "'");
        if (IsKeyword(type, "DIALOG") || IsKeyword(type, "DIALOGEX")) {
            Dialog(script, name, nameToken);
        } else if (IsKeyword(type, "VERSIONINFO")) {
            VersionInfo(script, nameToken);
        } else {
            Other(script, name, nameToken);
        }
    }

    // Resources this platform does not carry: recorded, and their inline data skipped.
    void Other(Script& script, const ResourceName& name, const Token& at) {
        OtherResource other;
        const Token& type = Peek();
        int64_t value = 0;
        if (type.kind == TokenKind::Identifier && !LookupBuiltin(type.text, value)) {
            other.type = Next().text;
        } else if (type.kind == TokenKind::String) {
            other.type = Next().text;
        } else {
            other.type = std::to_string(Word("a resource type"));
        }
        other.name = name.Display();
        other.language = language_;
        other.line = at.line;
        SkipMemoryFlags();
        while (CommonStatement(other.language)) {
        }
        if (Peek().kind == TokenKind::String) {
            other.file = Next().text;
        } else if (AtBegin()) {
            int depth = 0;
            do {
                if (Peek().kind == TokenKind::End) Fail(at, "resource " + other.name + " has BEGIN without END");
                if (AtBegin()) ++depth;
                if (AtEnd()) --depth;
                Next();
            } while (depth > 0);
        } else {
            Fail(Peek(), "expected a file name or BEGIN for resource " + other.name + " but found " + Describe(Peek()));
        }
        script.others.push_back(std::move(other));
    }

    void Dialog(Script& script, const ResourceName& name, const Token& at) {
        if (!name.numeric) Fail(at, "dialog '" + name.text + "' needs a numeric id (is it missing from resource.h?)");
        qrc::Dialog dialog;
        dialog.id = name.number;
        dialog.line = at.line;
        dialog.extended = IsKeyword(Next(), "DIALOGEX");
        dialog.language = language_;
        SkipMemoryFlags();
        dialog.x = Coordinate("the dialog's x");
        Expect(",", "after the dialog's x");
        dialog.y = Coordinate("the dialog's y");
        Expect(",", "after the dialog's y");
        dialog.cx = Coordinate("the dialog's width");
        Expect(",", "after the dialog's width");
        dialog.cy = Coordinate("the dialog's height");
        if (dialog.extended && Accept(",")) Number("a help id");

        uint32_t style = kDefaultDialogStyle;
        bool hasCaption = false;
        while (!AtBegin()) {
            const Token& statement = Peek();
            if (statement.kind == TokenKind::End) Fail(statement, "dialog " + name.Display() + " has no BEGIN");
            if (CommonStatement(dialog.language)) continue;
            Next();
            if (IsKeyword(statement, "STYLE")) {
                style = Style(0, "a dialog style");
            } else if (IsKeyword(statement, "EXSTYLE")) {
                dialog.exStyle = Style(0, "an extended dialog style");
            } else if (IsKeyword(statement, "CAPTION")) {
                dialog.caption = Text("the caption");
                hasCaption = true;
            } else if (IsKeyword(statement, "FONT")) {
                dialog.hasFont = true;
                dialog.pointSize = Word("the font size");
                Expect(",", "after the font size");
                dialog.fontName = Text("the font name");
                if (Accept(",")) {
                    if (!dialog.extended) Fail(statement, "font weight, italic and character set need DIALOGEX");
                    dialog.weight = Word("the font weight");
                    if (Accept(",")) {
                        dialog.italic = uint8_t(Word("the italic flag") != 0);
                        if (Accept(",")) dialog.charset = uint8_t(Word("the character set"));
                    }
                }
            } else if (IsKeyword(statement, "MENU") || IsKeyword(statement, "CLASS")) {
                Fail(statement, statement.text + " in a dialog is not supported");
            } else {
                Fail(statement, "unknown dialog statement " + Describe(statement));
            }
        }
        // As in every resource compiler: a caption brings its title bar, a font DS_SETFONT.
        dialog.style = style | (hasCaption ? kCaption : 0) | (dialog.hasFont ? kSetFont : 0);
        Next();
        while (!AtEnd()) {
            if (Peek().kind == TokenKind::End) Fail(Peek(), "dialog " + name.Display() + " has no END");
            dialog.controls.push_back(Control(dialog.extended));
        }
        Next();
        for (const qrc::Dialog& other : script.dialogs)
            if (other.id == dialog.id && other.language == dialog.language) Fail(at, "dialog " + name.Display() + " is defined twice");
        script.dialogs.push_back(std::move(dialog));
    }

    qrc::Control Control(bool extended) {
        const Token statement = Next();
        qrc::Control control;
        control.line = statement.line;
        const ControlKind* kind = nullptr;
        for (const ControlKind& k : kControlKinds)
            if (IsKeyword(statement, k.keyword)) kind = &k;
        const bool generic = IsKeyword(statement, "CONTROL");
        if (!kind && !generic) Fail(statement, "unknown control statement " + Describe(statement));
        control.statement = generic ? "CONTROL" : kind->keyword;

        if (generic || kind->hasText) {
            control.text = Text("the control's text");
            Expect(",", "after the control's text");
        }
        control.id = int32_t(Number("the control's id"));
        Expect(",", "after the control's id");
        if (generic) {
            control.className = ClassName();
            Expect(",", "after the control's class");
            control.style = Style(kChildVisible, "the control's style");
            Expect(",", "after the control's style");
        }
        control.x = Coordinate("the control's x");
        Expect(",", "after the control's x");
        control.y = Coordinate("the control's y");
        Expect(",", "after the control's y");
        control.cx = Coordinate("the control's width");
        Expect(",", "after the control's width");
        control.cy = Coordinate("the control's height");
        if (!generic) {
            control.className = kind->className;
            control.style = kChildVisible | kind->plain;
            if (Accept(",")) control.style = Style(kChildVisible | kind->base, "the control's style");
        }
        if (Accept(",")) {
            control.exStyle = Style(0, "the control's extended style");
            if (Accept(",")) {
                if (!extended) Fail(statement, "a help id needs DIALOGEX");
                Number("a help id");
            }
        }
        return control;
    }

    std::string ClassName() {
        const Token& t = Peek();
        // windres takes the class only as a quoted name, so this compiler does too.
        if (t.kind != TokenKind::String) Fail(t, "expected the control's class as a quoted name but found " + Describe(t));
        const std::string name = Next().text;
        for (const char* predefined : kPredefinedClasses)
            if (SameText(name, predefined)) return predefined;
        return name;
    }

    void FixedVersion(uint32_t& ms, uint32_t& ls) {
        uint16_t parts[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            parts[i] = Word("a version number");
            if (i < 3 && !Accept(",")) break;
        }
        ms = uint32_t(parts[0]) << 16 | parts[1];
        ls = uint32_t(parts[2]) << 16 | parts[3];
    }

    void VersionInfo(Script& script, const Token& at) {
        Next();
        qrc::VersionInfo& v = script.version;
        if (v.present) Fail(at, "a second VERSIONINFO; a module has one");
        v.present = true;
        v.line = at.line;
        while (!AtBegin()) {
            const Token statement = Peek();
            if (statement.kind == TokenKind::End) Fail(statement, "VERSIONINFO has no BEGIN");
            Next();
            if (IsKeyword(statement, "FILEVERSION")) FixedVersion(v.fileVersionMS, v.fileVersionLS);
            else if (IsKeyword(statement, "PRODUCTVERSION")) FixedVersion(v.productVersionMS, v.productVersionLS);
            else if (IsKeyword(statement, "FILEFLAGSMASK")) v.fileFlagsMask = uint32_t(Number("the flags mask"));
            else if (IsKeyword(statement, "FILEFLAGS")) v.fileFlags = uint32_t(Number("the flags"));
            else if (IsKeyword(statement, "FILEOS")) v.fileOS = uint32_t(Number("the operating system"));
            else if (IsKeyword(statement, "FILETYPE")) v.fileType = uint32_t(Number("the file type"));
            else if (IsKeyword(statement, "FILESUBTYPE")) v.fileSubtype = uint32_t(Number("the file subtype"));
            else Fail(statement, "unknown VERSIONINFO statement " + Describe(statement));
        }
        VersionBlock root;
        root.at = Peek();
        BlockBody(root);
        InterpretVersion(root, v);
    }

    // Reads BEGIN, the BLOCK and VALUE lines, and END.
    void BlockBody(VersionBlock& block) {
        ExpectBegin("in the version resource");
        while (!AtEnd()) {
            const Token statement = Peek();
            if (statement.kind == TokenKind::End) Fail(block.at, "BLOCK without END");
            Next();
            if (IsKeyword(statement, "BLOCK")) {
                VersionBlock child;
                child.at = statement;
                child.name = Text("the block's name");
                BlockBody(child);
                block.blocks.push_back(std::move(child));
            } else if (IsKeyword(statement, "VALUE")) {
                VersionValue value;
                value.at = statement;
                value.name = Text("the value's name");
                while (Accept(",")) {
                    if (Peek().kind == TokenKind::String) {
                        value.items.push_back(Next());
                    } else {
                        Token number = Peek();
                        number.kind = TokenKind::Number;
                        number.value = Number("a value");
                        value.items.push_back(number);
                    }
                }
                block.values.push_back(std::move(value));
            } else {
                Fail(statement, "expected BLOCK, VALUE or END but found " + Describe(statement));
            }
        }
        Next();
    }

    void InterpretVersion(const VersionBlock& root, qrc::VersionInfo& v) {
        if (!root.values.empty()) Fail(root.values.front().at, "VALUE outside a BLOCK");
        const VersionBlock* strings = nullptr;
        bool haveTranslation = false;
        uint16_t language = 0, codepage = 0;
        const Token* translationAt = nullptr;
        for (const VersionBlock& block : root.blocks) {
            if (SameText(block.name, "StringFileInfo")) {
                if (!block.values.empty()) Fail(block.values.front().at, "VALUE directly in StringFileInfo; it belongs in a language block");
                for (const VersionBlock& table : block.blocks) {
                    if (strings) Fail(table.at, "a second string block; this platform carries one language");
                    strings = &table;
                }
            } else if (SameText(block.name, "VarFileInfo")) {
                if (!block.blocks.empty()) Fail(block.blocks.front().at, "BLOCK inside VarFileInfo");
                for (const VersionValue& value : block.values) {
                    if (!SameText(value.name, "Translation")) Fail(value.at, "unknown VarFileInfo value \"" + value.name + "\"");
                    if (value.items.size() != 2 || value.items[0].kind != TokenKind::Number || value.items[1].kind != TokenKind::Number)
                        Fail(value.at, "Translation needs one language and one code page; this platform carries one pair");
                    if (haveTranslation) Fail(value.at, "a second Translation");
                    haveTranslation = true;
                    translationAt = &value.at;
                    language = uint16_t(value.items[0].value);
                    codepage = uint16_t(value.items[1].value);
                }
            } else {
                Fail(block.at, "unknown version block \"" + block.name + "\"");
            }
        }
        if (strings) {
            bool hex = strings->name.size() == 8;
            for (const char c : strings->name) hex = hex && std::isxdigit(static_cast<unsigned char>(c));
            if (!hex) Fail(strings->at, "a string block is named by 8 hexadecimal digits, language and code page");
            const unsigned long key = std::stoul(strings->name, nullptr, 16);
            const uint16_t blockLanguage = uint16_t(key >> 16), blockCodepage = uint16_t(key & 0xFFFF);
            if (haveTranslation && (blockLanguage != language || blockCodepage != codepage))
                Fail(*translationAt, "Translation does not match the string block \"" + strings->name + "\"");
            language = blockLanguage;
            codepage = blockCodepage;
            if (!strings->blocks.empty()) Fail(strings->blocks.front().at, "BLOCK inside a string block");
            for (const VersionValue& value : strings->values) {
                if (value.name.empty() || value.name.find('\0') != std::string::npos) Fail(value.at, "a value needs a name");
                if (value.items.size() != 1 || value.items[0].kind != TokenKind::String)
                    Fail(value.at, "value \"" + value.name + "\" needs one text");
                for (const auto& existing : v.strings)
                    if (SameText(existing.first, value.name)) Fail(value.at, "value \"" + value.name + "\" is given twice");
                std::string text = value.items[0].text;
                const size_t nul = text.find('\0');
                if (nul != std::string::npos) text.resize(nul);  // "1.0\0" is written for "1.0"
                v.strings.emplace_back(value.name, text);
            }
        }
        v.language = language;
        v.codepage = codepage;
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
    const SourceMap& map_;
    uint16_t language_ = kDefaultLanguage;
};

}  // namespace

Script CompileText(const std::string& text, const std::string& name, const Options& options) {
    Script script;
    SourceMap map;
    std::vector<Token> tokens = Preprocess(text, name, options, map, script.dependencies);
    Parser parser(std::move(tokens), map);
    parser.Parse(script);
    return script;
}

Script CompileFile(const std::string& path, const Options& options) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(path, 0, "cannot open the script");
    std::ostringstream text;
    text << in.rdbuf();
    return CompileText(text.str(), path, options);
}

}  // namespace qrc
