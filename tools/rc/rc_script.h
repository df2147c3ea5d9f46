// quarnels-rc: the resource scripts (.rc) of this project compiled into C++ tables for platforms
// without a resource compiler of their own. Understands the part of the resource-script language
// that resources/*.rc use; anything else is reported as an error with its file and line.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qrc {

// A script error; what() reads "file:line: error: message".
class Error : public std::runtime_error {
public:
    Error(const std::string& file, int line, const std::string& message);
    const std::string& file() const { return file_; }
    int line() const { return line_; }
    const std::string& message() const { return message_; }

private:
    std::string file_;
    int line_;
    std::string message_;
};

struct Control {
    std::string statement;  // PUSHBUTTON, LTEXT, CONTROL, ...
    int32_t id = 0;
    std::string className;  // BUTTON, STATIC, EDIT, LISTBOX, COMBOBOX, SCROLLBAR or a registered name
    std::string text;
    uint32_t style = 0;     // complete: WS_CHILD | WS_VISIBLE, the statement's own styles, the script's
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    int line = 0;
};

struct Dialog {
    uint16_t id = 0;
    uint16_t language = 0;
    bool extended = false;  // DIALOGEX
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    bool hasFont = false;
    std::string fontName;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 0;
    std::vector<Control> controls;
    int line = 0;
};

struct StringEntry {
    uint16_t id = 0;
    uint16_t language = 0;
    std::string text;
    int line = 0;
};

struct VersionInfo {
    bool present = false;
    uint32_t fileVersionMS = 0, fileVersionLS = 0;
    uint32_t productVersionMS = 0, productVersionLS = 0;
    uint32_t fileFlagsMask = 0, fileFlags = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
    uint16_t language = 0;  // of the one string block, equal to the translation when both are given
    uint16_t codepage = 0;
    std::vector<std::pair<std::string, std::string>> strings;  // in script order
    int line = 0;
};

// A resource that this platform does not carry (icons, manifests, other types); kept for reports.
struct OtherResource {
    std::string type;  // "ICON", "24", "AFX_DIALOG_LAYOUT", ...
    std::string name;  // the number as decimal text, or the name
    std::string file;  // the file it names, empty for inline data
    uint16_t language = 0;
    int line = 0;
};

struct Script {
    std::vector<Dialog> dialogs;
    std::vector<StringEntry> strings;
    VersionInfo version;
    std::vector<OtherResource> others;
    std::vector<std::string> dependencies;  // the script and every file it included, in order of first use
};

struct Options {
    std::vector<std::string> includeDirs;  // searched after the including file's own folder
};

// Compiles a script file. Throws Error.
Script CompileFile(const std::string& path, const Options& options = Options());
// Compiles script text; `name` stands for its file in messages and is where quoted includes start.
Script CompileText(const std::string& text, const std::string& name, const Options& options = Options());

// The C++ source that defines the module's qp_resource_table and, when the script has a version
// resource, its version block.
std::string WriteCpp(const Script& script, const std::string& scriptName);

}  // namespace qrc
