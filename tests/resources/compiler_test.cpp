// The resource compiler: the project's scripts, small scripts of its own, and the program itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "rc_script.h"
#include "tests/support/file_text.h"

namespace {

const std::string kScripts = QR_SCRIPTS;

struct ExpectedControl {
    int32_t id;
    const char* className;
    const char* text;
    uint32_t style;
    int x, y, cx, cy;
};

const qrc::Dialog& DialogOf(const qrc::Script& script, uint16_t id) {
    for (const qrc::Dialog& dialog : script.dialogs)
        if (dialog.id == id) return dialog;
    ADD_FAILURE() << "no dialog " << id;
    static const qrc::Dialog kNone;
    return kNone;
}

void ExpectControls(const qrc::Dialog& dialog, const std::vector<ExpectedControl>& expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const qrc::Control& c = dialog.controls[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(c.id, expected[i].id);
        EXPECT_EQ(c.className, expected[i].className);
        EXPECT_EQ(c.text, expected[i].text);
        EXPECT_EQ(c.style, expected[i].style) << std::hex << c.style;
        EXPECT_EQ(c.exStyle, 0u);
        EXPECT_EQ(c.x, expected[i].x);
        EXPECT_EQ(c.y, expected[i].y);
        EXPECT_EQ(c.cx, expected[i].cx);
        EXPECT_EQ(c.cy, expected[i].cy);
    }
}

std::string ValueOf(const qrc::VersionInfo& version, const std::string& name) {
    for (const auto& entry : version.strings)
        if (entry.first == name) return entry.second;
    return "<missing>";
}

qrc::Script Compile(const std::string& text) { return qrc::CompileText(text, "inline.rc"); }

// Runs quarnels-rc; returns its exit code and what it wrote to standard error.
int RunTool(const std::string& arguments, std::string& errors) {
    // CTest runs the cases of this program side by side: each keeps its own file.
    const std::string errorFile = std::string(QR_OUT) + "/tool-errors-" +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    const int status = std::system((std::string(QR_TOOL) + " " + arguments + " 2> " + errorFile).c_str());
    errors = testsupport::ReadFileText(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- the project's scripts ---------------------------------------------------------------------

TEST(ResourcesScripts, AuthenticationDialogOfTheLibrary) {
    const qrc::Script script = qrc::CompileFile(kScripts + "/Quarnels64.rc");
    const qrc::Dialog& d = DialogOf(script, 1000);
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(d.language, 1031);
    // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, not DS_CENTER
    EXPECT_EQ(d.style, 0x80C800C8u);
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.caption, "Authentication");
    EXPECT_EQ(d.fontName, "MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.cx, 235);
    EXPECT_EQ(d.cy, 72);
    ExpectControls(d, {{2, "BUTTON", "Abort", 0x50010001u, 76, 33, 94, 14},
                       {-1, "STATIC", "Authentication running - See your browser window for details", 0x50020000u, 21, 16,
                        197, 8}});
}

TEST(ResourcesScripts, DownloadDialogOfTheLibrary) {
    const qrc::Script script = qrc::CompileFile(kScripts + "/Quarnels64.rc");
    const qrc::Dialog& d = DialogOf(script, 1002);
    EXPECT_EQ(d.language, 1031);
    EXPECT_EQ(d.style, 0x80C800C8u);
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.caption, "ESI Download");
    EXPECT_EQ(d.fontName, "MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.weight, 400);
    EXPECT_EQ(d.italic, 0);
    EXPECT_EQ(d.charset, 1);
    EXPECT_EQ(d.cx, 187);
    EXPECT_EQ(d.cy, 62);
    // Both statics are visible group starts; no button at all.
    ExpectControls(d, {{-1, "STATIC", "Downloading data from EveOnline - please wait", 0x50020000u, 17, 17, 152, 8},
                       {1000, "STATIC", "Statisch", 0x50020001u, 42, 34, 97, 8}});
}

TEST(ResourcesScripts, MainWindowOfTheCheckProgram) {
    const qrc::Script script = qrc::CompileFile(kScripts + "/QuarnelCheck.rc");
    ASSERT_EQ(script.dialogs.size(), 1u);
    const qrc::Dialog& d = DialogOf(script, 102);
    EXPECT_EQ(d.language, 1031);
    // WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SHELLFONT
    EXPECT_EQ(d.style, 0x90CC0048u);
    EXPECT_EQ(d.exStyle, 0x00040000u);  // WS_EX_APPWINDOW
    EXPECT_EQ(d.caption, "");
    EXPECT_EQ(d.fontName, "MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.cx, 339);
    EXPECT_EQ(d.cy, 165);
    ExpectControls(d, {{1, "BUTTON", "Close", 0x50010001u, 170, 148, 154, 14},
                       {1000, "BUTTON", "Start", 0x50010000u, 14, 4, 310, 14},
                       // tab stop, border, vertical scroll bar, notify, no integral height, not sorted
                       {1001, "LISTBOX", "", 0x50A10101u, 14, 20, 310, 126}});
}

TEST(ResourcesScripts, VersionAndStringsOfTheLibrary) {
    const qrc::Script script = qrc::CompileFile(kScripts + "/Quarnels64.rc");
    const qrc::VersionInfo& v = script.version;
    ASSERT_TRUE(v.present);
    EXPECT_EQ(v.fileVersionMS, 0x00010000u);
    EXPECT_EQ(v.fileVersionLS, 0x00000007u);
    EXPECT_EQ(v.productVersionMS, 0x00010000u);
    EXPECT_EQ(v.productVersionLS, 0x00000007u);
    EXPECT_EQ(v.fileType, 2u);  // VFT_DLL
    EXPECT_EQ(v.language, 0x0407);
    EXPECT_EQ(v.codepage, 0x04B0);
    EXPECT_EQ(ValueOf(v, "FileVersion"), "1.0.0.7");
    EXPECT_EQ(ValueOf(v, "ProductVersion"), "1.0.0.7");
    EXPECT_EQ(ValueOf(v, "FileDescription"), "Quarnels");
    EXPECT_EQ(ValueOf(v, "ProductName"), "Quarnels");
    EXPECT_EQ(ValueOf(v, "InternalName"), "Quarnels.dll");
    EXPECT_EQ(ValueOf(v, "OriginalFilename"), "Quarnels.dll");

    ASSERT_EQ(script.strings.size(), 1u);
    EXPECT_EQ(script.strings[0].id, 101);
    EXPECT_FALSE(script.strings[0].text.empty());
    EXPECT_TRUE(script.others.empty());
    ASSERT_EQ(script.dependencies.size(), 2u);
    EXPECT_NE(script.dependencies[1].find("resource.h"), std::string::npos);
}

TEST(ResourcesScripts, VersionIconAndManifestOfTheCheckProgram) {
    const qrc::Script script = qrc::CompileFile(kScripts + "/QuarnelCheck.rc");
    const qrc::VersionInfo& v = script.version;
    ASSERT_TRUE(v.present);
    EXPECT_EQ(v.fileVersionMS, 0x00010000u);
    EXPECT_EQ(v.fileVersionLS, 0x00000003u);
    EXPECT_EQ(v.productVersionMS, 0x00010000u);
    EXPECT_EQ(v.productVersionLS, 0x00000003u);
    EXPECT_EQ(v.fileType, 1u);  // VFT_APP
    EXPECT_EQ(ValueOf(v, "CompanyName"), "Ostvale");
    EXPECT_EQ(ValueOf(v, "ProductName"), "QuarnelCheck");
    EXPECT_EQ(ValueOf(v, "FileVersion"), "1.0.0.3");

    ASSERT_EQ(script.others.size(), 2u);
    EXPECT_EQ(script.others[0].type, "ICON");
    EXPECT_EQ(script.others[0].name, "128");
    EXPECT_EQ(script.others[1].type, "24");  // RT_MANIFEST
    EXPECT_EQ(script.others[1].name, "1");   // CREATEPROCESS_MANIFEST_RESOURCE_ID
    for (const qrc::OtherResource& other : script.others)
        EXPECT_FALSE(testsupport::ReadFileText(kScripts + "/" + other.file).empty()) << other.file;
    const std::string manifest = testsupport::ReadFileText(kScripts + "/" + script.others[1].file);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
}

// ---- the language ------------------------------------------------------------------------------

TEST(ResourcesCompiler, ControlStatementsAddTheirStyles) {
    struct Case {
        const char* line;
        const char* className;
        uint32_t style;
    };
    // WS_CHILD | WS_VISIBLE always; then each statement's own bits. A written style keeps the
    // statement's base bits but, as in windres, the text statements drop WS_GROUP and COMBOBOX
    // its CBS_SIMPLE | WS_TABSTOP.
    const Case cases[] = {
        {"PUSHBUTTON \"a\", 5, 1, 2, 3, 4", "BUTTON", 0x50010000u},
        {"DEFPUSHBUTTON \"a\", 5, 1, 2, 3, 4", "BUTTON", 0x50010001u},
        {"CHECKBOX \"a\", 5, 1, 2, 3, 4", "BUTTON", 0x50010002u},
        {"AUTOCHECKBOX \"a\", 5, 1, 2, 3, 4", "BUTTON", 0x50010003u},
        {"GROUPBOX \"a\", 5, 1, 2, 3, 4", "BUTTON", 0x50000007u},
        {"LTEXT \"a\", 5, 1, 2, 3, 4", "STATIC", 0x50020000u},
        {"CTEXT \"a\", 5, 1, 2, 3, 4", "STATIC", 0x50020001u},
        {"RTEXT \"a\", 5, 1, 2, 3, 4", "STATIC", 0x50020002u},
        {"EDITTEXT 5, 1, 2, 3, 4", "EDIT", 0x50810000u},
        {"LISTBOX 5, 1, 2, 3, 4", "LISTBOX", 0x50800001u},
        {"COMBOBOX 5, 1, 2, 3, 4", "COMBOBOX", 0x50010001u},
        {"SCROLLBAR 5, 1, 2, 3, 4", "SCROLLBAR", 0x50000000u},
        {"PUSHBUTTON \"a\", 5, 1, 2, 3, 4, WS_HSCROLL", "BUTTON", 0x50110000u},
        {"PUSHBUTTON \"a\", 5, 1, 2, 3, 4, NOT WS_TABSTOP", "BUTTON", 0x50000000u},
        {"LTEXT \"a\", 5, 1, 2, 3, 4, SS_NOTIFY", "STATIC", 0x50000100u},
        {"CTEXT \"a\", 5, 1, 2, 3, 4, WS_TABSTOP", "STATIC", 0x50010001u},
        {"LISTBOX 5, 1, 2, 3, 4, WS_VSCROLL", "LISTBOX", 0x50A00001u},
        {"EDITTEXT 5, 1, 2, 3, 4, NOT WS_BORDER", "EDIT", 0x50010000u},
        {"COMBOBOX 5, 1, 2, 3, 4, WS_HSCROLL", "COMBOBOX", 0x50100000u},
        {"PUSHBUTTON \"a\", 5, 1, 2, 3, 4, NOT WS_VISIBLE | (WS_HSCROLL | WS_GROUP)", "BUTTON", 0x40130000u},
        {"CONTROL \"a\", 5, \"Button\", BS_AUTOCHECKBOX, 1, 2, 3, 4", "BUTTON", 0x50000003u},
        {"CONTROL \"a\", 5, \"SysListView32\", NOT WS_VISIBLE, 1, 2, 3, 4", "SysListView32", 0x40000000u},
        {"CONTROL \"a\", 5, \"static\", NOT WS_CHILD | SS_CENTER, 1, 2, 3, 4", "STATIC", 0x10000001u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const qrc::Script script = Compile(std::string("1 DIALOGEX 0, 0, 9, 9\nBEGIN\n") + c.line + "\nEND\n");
        ASSERT_EQ(script.dialogs.at(0).controls.size(), 1u);
        const qrc::Control& control = script.dialogs[0].controls[0];
        EXPECT_EQ(control.className, c.className);
        EXPECT_EQ(control.style, c.style) << std::hex << control.style;
        EXPECT_EQ(control.id, 5);
        EXPECT_EQ(control.x, 1);
        EXPECT_EQ(control.cy, 4);
    }
    const qrc::Script extended = Compile(
        "1 DIALOGEX 0, 0, 9, 9\nBEGIN\n"
        "PUSHBUTTON \"a\", 5, 1, 2, 3, 4, WS_GROUP, WS_EX_STATICEDGE, 77\n"
        "CONTROL \"b\", 6, \"Button\", 0, 1, 2, 3, 4, WS_EX_CLIENTEDGE | WS_EX_RIGHT\nEND\n");
    EXPECT_EQ(extended.dialogs[0].controls[0].exStyle, 0x00020000u);
    EXPECT_EQ(extended.dialogs[0].controls[1].exStyle, 0x00001200u);
}

TEST(ResourcesCompiler, DialogStyleFollowsCaptionAndFont) {
    // No STYLE: WS_POPUP | WS_BORDER | WS_SYSMENU. CAPTION adds WS_CAPTION and FONT DS_SETFONT,
    // wherever they stand; a written STYLE replaces the default.
    const qrc::Script script = Compile(
        "1 DIALOG 0, 0, 9, 9\nBEGIN\nEND\n"
        "2 DIALOGEX 0, 0, 9, 9\nCAPTION \"x\"\nFONT 9, \"Tahoma\"\nBEGIN\nEND\n"
        "3 DIALOGEX 0, 0, 9, 9\nCAPTION \"y\"\nSTYLE WS_POPUP\nBEGIN\nEND\n"
        "4 DIALOGEX 0, 0, 9, 9\nFONT 8, \"MS Shell Dlg\", 700, 1, 0xEE\nSTYLE NOT WS_BORDER\nEXSTYLE WS_EX_TOPMOST\nBEGIN\nEND\n");
    ASSERT_EQ(script.dialogs.size(), 4u);
    EXPECT_EQ(script.dialogs[0].style, 0x80880000u);
    EXPECT_FALSE(script.dialogs[0].hasFont);
    EXPECT_EQ(script.dialogs[1].style, 0x80C80040u);
    EXPECT_EQ(script.dialogs[1].fontName, "Tahoma");
    EXPECT_EQ(script.dialogs[1].pointSize, 9);
    EXPECT_EQ(script.dialogs[2].style, 0x80C00000u);
    EXPECT_EQ(script.dialogs[3].style, 0x00000040u);
    EXPECT_EQ(script.dialogs[3].exStyle, 0x00000008u);
    EXPECT_EQ(script.dialogs[3].weight, 700);
    EXPECT_EQ(script.dialogs[3].italic, 1);
    EXPECT_EQ(script.dialogs[3].charset, 0xEE);
}

TEST(ResourcesCompiler, PreprocessorDefinesConditionsAndComments) {
    const qrc::Script script = Compile(
        "#define BASE 0x100L\n"
        "#define NEXT (BASE + 1) /* trailing comment */\n"
        "#define STYLE_OF_TWO WS_CHILD | \\\n  WS_BORDER\n"
        "#ifdef BASE\n#define PICKED 1\n#else\n#define PICKED 2\n#endif\n"
        "#ifndef WS_POPUP\n#error system names count as defined\n#endif\n"
        "#if defined(NEXT) && PICKED == 1 && !defined UNKNOWN_NAME\n#define CHOSEN 3\n#elif 1\n#define CHOSEN 4\n#endif\n"
        "#if 0\nthis line is never read \"\n#endif\n"
        "#undef PICKED\n#ifdef PICKED\n#error undef failed\n#endif\n"
        "#pragma code_page(1252)\n"
        "/* a comment over\n   two lines */ STRINGTABLE\nBEGIN\n"
        "  NEXT, \"a // not a comment\"   // a comment\n"
        "  CHOSEN \"b /* not one either */\"\n"
        "  BASE * 2 - 1 \"c\"\n"
        "END\n"
        "1 DIALOGEX 0, 0, 9, 9 STYLE STYLE_OF_TWO BEGIN END\n");
    ASSERT_EQ(script.strings.size(), 3u);
    EXPECT_EQ(script.strings[0].id, 0x101);
    EXPECT_EQ(script.strings[0].text, "a // not a comment");
    EXPECT_EQ(script.strings[1].id, 3);
    EXPECT_EQ(script.strings[1].text, "b /* not one either */");
    EXPECT_EQ(script.strings[2].id, 0x1FF);
    EXPECT_EQ(script.dialogs.at(0).style, 0x40800000u);
}

TEST(ResourcesCompiler, TextsDecodeEscapesAndDoubledQuotes) {
    const qrc::Script script = Compile(
        "STRINGTABLE\nBEGIN\n"
        "1 \"say \"\"hi\"\" and \\\"bye\\\"\"\n"
        "2 \"tab\\there\\nline\\\\end\"\n"
        "3 \"\\x41\\102C \\3771 C:\\data\"\n"
        "4 L\"wide\"\n"
        "5 \"cut\\0 here\"\n"
        "END\n");
    ASSERT_EQ(script.strings.size(), 5u);
    EXPECT_EQ(script.strings[0].text, "say \"hi\" and \"bye\"");
    EXPECT_EQ(script.strings[1].text, "tab\there\nline\\end");
    EXPECT_EQ(script.strings[2].text, "ABC \xff" "1 C:\\data");
    EXPECT_EQ(script.strings[3].text, "wide");
    EXPECT_EQ(script.strings[4].text, "cut");
}

TEST(ResourcesCompiler, LanguageAppliesUntilChangedOrOverridden) {
    const qrc::Script script = Compile(
        "1 DIALOGEX 0, 0, 9, 9 BEGIN END\n"
        "LANGUAGE LANG_GERMAN, SUBLANG_GERMAN\n"
        "2 DIALOGEX 0, 0, 9, 9 BEGIN END\n"
        "3 DIALOGEX 0, 0, 9, 9 LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL BEGIN END\n"
        "4 DIALOGEX 0, 0, 9, 9 BEGIN END\n"
        "STRINGTABLE LANGUAGE 9, 2 BEGIN 7 \"x\" END\n");
    ASSERT_EQ(script.dialogs.size(), 4u);
    EXPECT_EQ(script.dialogs[0].language, 0x0409);
    EXPECT_EQ(script.dialogs[1].language, 0x0407);
    EXPECT_EQ(script.dialogs[2].language, 0x0000);
    EXPECT_EQ(script.dialogs[3].language, 0x0407);
    EXPECT_EQ(script.strings.at(0).language, 0x0809);
}

TEST(ResourcesCompiler, VersionBlockRules) {
    const qrc::Script script = Compile(
        "VS_VERSION_INFO VERSIONINFO\n FILEVERSION 2, 3\n PRODUCTVERSION 0xFFFF,1,2,3\n"
        " FILEFLAGS VS_FF_DEBUG | VS_FF_PATCHED\n FILESUBTYPE 9\n"
        "BEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904E4\"\n  BEGIN\n"
        "   VALUE \"Comments\", \"\"\n   VALUE \"FileVersion\", \"2.3\\0\"\n  END\n END\nEND\n");
    const qrc::VersionInfo& v = script.version;
    EXPECT_EQ(v.fileVersionMS, 0x00020003u);
    EXPECT_EQ(v.fileVersionLS, 0u);
    EXPECT_EQ(v.productVersionMS, 0xFFFF0001u);
    EXPECT_EQ(v.productVersionLS, 0x00020003u);
    EXPECT_EQ(v.fileFlags, 5u);
    EXPECT_EQ(v.fileSubtype, 9u);
    EXPECT_EQ(v.language, 0x0409);  // taken from the block name when no translation is given
    EXPECT_EQ(v.codepage, 1252);
    EXPECT_EQ(ValueOf(v, "Comments"), "");
    EXPECT_EQ(ValueOf(v, "FileVersion"), "2.3");
}

TEST(ResourcesCompiler, ErrorsNameTheirLine) {
    struct Case {
        const char* script;
        int line;
        const char* fragment;
    };
    const Case cases[] = {
        {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  PUSHBUTTON \"OK\", 1 2, 3, 4, 5\nEND\n", 3, "expected ','"},
        {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  LTEXT \"x\", IDC_NOWHERE, 1, 2, 3, 4\nEND\n", 3, "IDC_NOWHERE"},
        {"STRINGTABLE\nBEGIN\n  1 \"open\nEND\n", 3, "unterminated"},
        {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  LTEXT \"x\", 1, 1, 2, 3, 4\n", 3, "no END"},
        {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  BUTTON \"x\", 1, 1, 2, 3, 4\nEND\n", 3, "unknown control statement"},
        {"1 DIALOGEX 0, 0, 9, 9\nMENU 5\nBEGIN\nEND\n", 2, "not supported"},
        {"1 DIALOGEX 0, 0, 9, 9 BEGIN END\n\n1 DIALOGEX 0, 0, 9, 9 BEGIN END\n", 3, "defined twice"},
        {"STRINGTABLE BEGIN 4 \"a\"\n 4 \"b\" END\n", 2, "defined twice"},
        {"IDD_MISSING DIALOGEX 0, 0, 9, 9 BEGIN END\n", 1, "numeric id"},
        {"1 DIALOGEX 0, 0, 70000, 9 BEGIN END\n", 1, "out of range"},
        {"\n\n#include \"no-such-file.h\"\n", 3, "cannot find"},
        {"#if 1\n#else\n#else\n#endif\n", 3, "after #else"},
        {"\n#endif\n", 2, "without #if"},
        {"#ifdef X\n\n", 1, "without #endif"},
        {"#define F(a) a\n1 DIALOGEX 0, 0, F(1), 9 BEGIN END\n", 2, "takes arguments"},
        {"#frobnicate\n", 1, "unknown directive"},
        {"1 DIALOGEX 0, 0, 9, 9\nBEGIN\n  CONTROL \"x\", 1, BUTTON, 0, 1, 2, 3, 4\nEND\n", 3, "quoted name"},
        {"STRINGTABEL\nBEGIN\nEND\n", 1, "unknown statement"},
        {"1 DIALOGEX 0, 0, 9, 9 BEGIN LTEXT \"a\", 1, 1, 2, 3, 4 ; END\n", 1, "unexpected character"},
        {"1 VERSIONINFO\nBEGIN\n BLOCK \"VarFileInfo\"\n BEGIN\n  VALUE \"Translation\", 0x409, 1200, 0x407, 1200\n END\nEND\n", 5,
         "one pair"},
        {"1 VERSIONINFO\nBEGIN\n BLOCK \"StringFileInfo\" BEGIN BLOCK \"040704b0\" BEGIN END END\n"
         " BLOCK \"VarFileInfo\" BEGIN\n  VALUE \"Translation\", 0x409, 1200\n END\nEND\n", 5, "does not match"},
        {"1 VERSIONINFO\nBEGIN\n BLOCK \"StringFileInfo\" BEGIN\n  BLOCK \"0407\" BEGIN END\n END\nEND\n", 4, "8 hexadecimal"},
        {"1 VERSIONINFO\n FILEVERSION 1, 70000\nBEGIN\nEND\n", 2, "out of range"},
        {"1 VERSIONINFO BEGIN END\n2 VERSIONINFO BEGIN END\n", 2, "second VERSIONINFO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        try {
            qrc::CompileText(c.script, "bad.rc");
            ADD_FAILURE() << "no error";
        } catch (const qrc::Error& error) {
            EXPECT_EQ(error.line(), c.line) << error.what();
            EXPECT_NE(error.message().find(c.fragment), std::string::npos) << error.what();
            EXPECT_EQ(std::string(error.what()).rfind("bad.rc:" + std::to_string(c.line) + ": error: ", 0), 0u) << error.what();
        }
    }
}

TEST(ResourcesCompiler, ErrorsInIncludedFilesNameThatFile) {
    const std::string header = std::string(QR_OUT) + "/broken-header.h";
    std::ofstream(header) << "#define GOOD 1\n\n#define BAD \"open\n";
    try {
        qrc::CompileText("#include \"broken-header.h\"\n", std::string(QR_OUT) + "/including.rc");
        ADD_FAILURE() << "no error";
    } catch (const qrc::Error& error) {
        EXPECT_EQ(error.file(), header);
        EXPECT_EQ(error.line(), 3);
    }
    // Found through an include folder when not beside the script.
    const qrc::Script script = qrc::CompileText("#include \"resource.h\"\n1 DIALOGEX 0, 0, 9, 9 BEGIN CTEXT \"t\", IDC_START, 1, 2, 3, 4 END\n",
                                                "elsewhere/x.rc", qrc::Options{{kScripts}});
    EXPECT_EQ(script.dialogs.at(0).controls.at(0).id, 1000);
}

// ---- the program ---------------------------------------------------------------------------------

TEST(ResourcesTool, FailsWithTheLineOfAMalformedScript) {
    const std::string output = std::string(QR_OUT) + "/malformed_rc.cpp";
    std::remove(output.c_str());
    std::string errors;
    EXPECT_EQ(RunTool(std::string(QR_DATA) + "/malformed.rc " + output, errors), 1);
    EXPECT_NE(errors.find("malformed.rc:7: error: expected ','"), std::string::npos) << errors;
    EXPECT_TRUE(testsupport::ReadFileText(output).empty());

    EXPECT_EQ(RunTool(std::string(QR_DATA) + "/no-such.rc " + output, errors), 1);
    EXPECT_NE(errors.find("no-such.rc"), std::string::npos) << errors;
    EXPECT_EQ(RunTool("only-one-argument.rc", errors), 2);
    EXPECT_NE(errors.find("usage"), std::string::npos) << errors;
}

TEST(ResourcesTool, WritesTheSourceAndItsDependencies) {
    const std::string output = std::string(QR_OUT) + "/tool check_rc.cpp";
    const std::string depfile = std::string(QR_OUT) + "/tool check_rc.d";
    std::string errors;
    ASSERT_EQ(RunTool("--depfile '" + depfile + "' " + kScripts + "/QuarnelCheck.rc '" + output + "'", errors), 0) << errors;
    const std::string source = testsupport::ReadFileText(output);
    EXPECT_NE(source.find("qp_resource_table"), std::string::npos);
    EXPECT_NE(source.find("QP_DEFINE_VERSION_RESOURCE_EX"), std::string::npos);
    const std::string rule = testsupport::ReadFileText(depfile);
    EXPECT_EQ(rule.rfind(std::string(QR_OUT) + "/tool\\ check_rc.cpp:", 0), 0u) << rule;
    EXPECT_NE(rule.find(kScripts + "/QuarnelCheck.rc"), std::string::npos) << rule;
    EXPECT_NE(rule.find(kScripts + "/resource.h"), std::string::npos) << rule;
}

}  // namespace
