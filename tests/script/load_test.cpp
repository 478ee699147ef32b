// Script loading: line numbering, classification, normalisation, macro brackets, status codes,
// the verbose listing and the limits of the Line and Macro tables.
#include "tests/script/script_fixture.h"

#include <cstring>

namespace {
std::string macro(int m) {
    const ScriptMacro &entry = script.macros[m];
    return std::string(entry.name) + " " + std::to_string(entry.firstLine) + ".." + std::to_string(entry.lastLine);
}
} // namespace

TEST_F(ScriptTest, ClassificationNumberingAndNormalisation) {
    script_RegisterCommand("@setdemostart", handlerA, 1);
    script_RegisterCommand("@glsetclearcolor", handlerB, 2);
    EXPECT_EQ(load("// intro part\n"
                   "@setdemostart 0\n"
                   "\n"
                   "(intro\n"
                   "/x single slash\n"
                   "@glsetclearcolor 2.5|0.1|0.2|0.3\n"
                   ")\n"
                   "   // note\n"
                   "   \n"
                   "hello world\n"
                   "  @setdemostart\t\t1 |  2  \n"
                   "@SETDEMOSTART 1|x\r\n"
                   "\t@GlSetColor\t3|A B\n"
                   "@setdemostart\n"
                   "@end 60"),
              SCRIPT_OK);
    // Column-1 comments and empty lines take no number; an indented comment is numbered with its
    // text from the "//" on; blanks only and plain text are ignored but numbered. Tokens are
    // lowercased, parameters keep their case, CR LF reads as LF, and a token with no blank after
    // it keeps the line feed and matches nothing.
    EXPECT_EQ(lines(13), (std::vector<std::string>{
                             "@setdemostart 0\n| 1", "@macrostart intro\n 50", "@glsetclearcolor 2.5|0.1|0.2|0.3\n| 2",
                             "@macroend 0\n 51", "@comment // note\n 53", "  0", "  0", "@setdemostart 1|2 \n| 1",
                             "@setdemostart 1|x\n| 1", "@glsetcolor 3|A B\n| 0", "@setdemostart\n  0", "@end 60| 54",
                             "  0"}));
    EXPECT_EQ(script.lineCount, 12);
    EXPECT_EQ(script.overflowLine, -1);
    EXPECT_EQ(console, ""); // quiet unless verbose

    // The last line is compiled once whatever follows it; a file of comments has no lines.
    for (const char *text : {"@a 1|x\n@b 2|y\n// tail\n", "@a 1|x\n@b 2|y\n\n\n"}) {
        fresh();
        EXPECT_EQ(load(text), SCRIPT_OK);
        EXPECT_EQ(lines(3), (std::vector<std::string>{"@a 1|x\n| 0", "@b 2|y\n| 0", "  0"})) << text;
        EXPECT_EQ(script.lineCount, 2);
    }
    fresh();
    EXPECT_EQ(load("// only comments\n\n//\n/\n\n"), SCRIPT_OK);
    EXPECT_EQ(script.lineCount, 0);

    // Status codes: a missing file, a folder, a device or no name is "File not found".
    EXPECT_EQ(script_Load((dir + "/missing.qlo").c_str()), SCRIPT_FILE_NOT_FOUND);
    EXPECT_EQ(script_Load(dir.c_str()), SCRIPT_FILE_NOT_FOUND);
    EXPECT_EQ(script_Load("/dev/zero"), SCRIPT_FILE_NOT_FOUND); // never ends: refused unopened
    EXPECT_EQ(script_Load(nullptr), SCRIPT_FILE_NOT_FOUND);
    EXPECT_EQ(script.lineCount, 0);
}

TEST_F(ScriptTest, LongPhysicalLinesAreCutAt254Characters) {
    std::string longLine = "@x 1|" + std::string(295, 'a'); // 300 characters
    std::string exact = std::string(253, 'b');               // 253 + line feed: one raw line
    std::string full = std::string(254, 'c');                // 254 + line feed: the line feed reads as an empty line
    EXPECT_EQ(load("// head\n" + longLine + "\n" + exact + "\n" + full + "\n@y 2\n"), SCRIPT_OK);
    EXPECT_EQ(script.lineCount, 5);
    EXPECT_EQ(strlen(script.lines[0].params), 254u - 3u + 1u); // "1|" + 249 a's + "|"
    EXPECT_EQ(lines(5, 1), (std::vector<std::string>{"  0", "  0", "  0", "@y 2\n| 0"})); // the 46 a's left: ignored
    EXPECT_EQ(script.fileLine[1], 2);
}

TEST_F(ScriptTest, MacroNamesAndBrackets) {
    EXPECT_EQ(load("@a 0\n(Intro\n)\n(averyverylongname\n)\n( spaced\n(second\n)\n)\n(last"), SCRIPT_OK);
    EXPECT_EQ(macro(0), "intro\n 1..2"); // lowercased, line feed kept
    EXPECT_STREQ(script.lines[1].params, "intro\n");
    EXPECT_EQ(macro(1), "averyverylo 3..4"); // cut at 11
    EXPECT_STREQ(script.lines[3].params, "averyverylo");
    EXPECT_EQ(macro(2), "second\n 6..7"); // a second "(" overwrites the entry still open
    EXPECT_EQ(macro(3), " 0..8");         // an unmatched ")" closes an empty entry
    EXPECT_EQ(macro(4), "last 9..0");     // no line feed at the end of the file, none in the name

    fresh();
    EXPECT_EQ(load("( intro\n)\n"), SCRIPT_OK);
    EXPECT_EQ(macro(0), " intro\n 0..1"); // the name keeps its leading blank
}

TEST_F(ScriptTest, ScriptLongerThanTheLineTable) {
    script_RegisterCommand("@x", handlerA, 1);
    std::string text = "// header\n";
    for (int i = 0; i < SCRIPT_MAX_LINES + 6; i++) text += "@x " + std::to_string(i) + "|" + std::to_string(i) + "\n";
    ScriptState before = script;
    EXPECT_EQ(load(text + "(late\n)\n"), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_EQ(console, "Script line 1024 (file line 1026) does not fit: the script holds at most 1024 lines\n");
    EXPECT_EQ(script.overflowLine, SCRIPT_MAX_LINES);
    EXPECT_EQ(script.lineCount, SCRIPT_MAX_LINES + 8); // every line is numbered, even those left out
    // The lines that fit stay compiled; nothing past the table changed.
    EXPECT_EQ(lines(SCRIPT_MAX_LINES, SCRIPT_MAX_LINES - 1), std::vector<std::string>{"@x 1023|1023\n| 1"});
    EXPECT_EQ(0, memcmp(&script.macros, &before.macros, sizeof script.macros));
    // Run, the script ends at line 1023, and a bogus current line reads nothing either.
    std::vector<int> expected(SCRIPT_MAX_LINES + 1, 0);
    expected.back() = 1;
    EXPECT_EQ(evals(2000, SCRIPT_MAX_LINES + 1), expected);
    EXPECT_EQ(script_CurrentLine(), SCRIPT_MAX_LINES - 1);
    script.currentLine = 100000;
    EXPECT_EQ(script_Eval(2000), 1);
    EXPECT_EQ(logA.calls, SCRIPT_MAX_LINES);

    // Exactly 1024 lines fit.
    fresh();
    EXPECT_EQ(load(text.substr(0, text.find("@x 1024|"))), SCRIPT_OK);
    EXPECT_EQ(script.lineCount, SCRIPT_MAX_LINES);
    EXPECT_EQ(console, "");
}

TEST_F(ScriptTest, MoreThan25MacrosKeepsTheFirst25) {
    std::string text;
    for (int m = 0; m < SCRIPT_MAX_MACROS + 3; m++) text += "@a 0\n(m" + std::to_string(m) + "\n)\n";
    ScriptState before = script;
    EXPECT_EQ(load(text), SCRIPT_OK);
    EXPECT_EQ(macro(0), "m0\n 1..2");
    EXPECT_EQ(macro(SCRIPT_MAX_MACROS - 1), "m24\n 73..74");
    // The surplus brackets are still numbered lines, only not recorded as macros.
    EXPECT_EQ(lines(3 * 27 + 2, 3 * 27 + 1), std::vector<std::string>{"@macrostart m27\n 50"});
    EXPECT_EQ(0, memcmp(&script.params, &before.params, sizeof script.params));
    EXPECT_EQ(console.find("Script line 76 (file line 77): macro not recorded, the script holds at most 25 macros\n"), 0u);
    // The dump lists the full table to its last entry and no further.
    console.clear();
    EXPECT_EQ(script_DumpMacros(), SCRIPT_OK);
    EXPECT_EQ(console.find("Macro : m24\n"), console.rfind("Macro : "));
}
