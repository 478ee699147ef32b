// Script loading: line numbering, classification, normalisation, macro brackets, status codes,
// the verbose listing and the limits of the Line and Macro tables.
#include "tests/script/script_fixture.h"

#include <cstring>
#include <sys/stat.h>

namespace {

const ScriptLine &line(int i) { return script.lines[i]; }

bool isEmptyRecord(const ScriptLine &record) {
    return record.token[0] == '\0' && record.params[0] == '\0' && record.opcode == 0;
}

// Replaces the elapsed whole seconds at the start of each listing line by "T".
std::string maskSeconds(const std::string &listing) {
    std::string out;
    size_t i = 0;
    while (i < listing.size()) {
        bool lineStart = i == 0 || listing[i - 1] == '\n';
        size_t digits = i;
        while (lineStart && digits < listing.size() && isdigit(static_cast<unsigned char>(listing[digits]))) digits++;
        if (digits > i && digits < listing.size() && listing[digits] == ' ') {
            out += "T";
            i = digits;
        } else {
            out += listing[i++];
        }
    }
    return out;
}

} // namespace

TEST_F(ScriptTest, CommentsAndEmptyLinesInColumnOneTakeNoNumber) {
    script_RegisterCommand("@setdemostart", handlerA, 1);
    script_RegisterCommand("@glsetclearcolor", handlerB, 2);
    int status = load("// intro part\n"
                      "@setdemostart 0\n"
                      "\n"
                      "(intro\n"
                      "/x single slash\n"
                      "@glsetclearcolor 2.5|0.1|0.2|0.3\n"
                      ")\n"
                      "   // note\n"
                      "   \n"
                      "hello world\n"
                      "@end 60\n");
    EXPECT_EQ(status, SCRIPT_OK);
    EXPECT_EQ(script.lineCount, 8);
    EXPECT_EQ(script.overflowLine, -1);

    EXPECT_STREQ(line(0).token, "@setdemostart");
    EXPECT_STREQ(line(0).params, "0\n|");
    EXPECT_EQ(line(0).opcode, 1);
    EXPECT_STREQ(line(1).token, "@macrostart");
    EXPECT_STREQ(line(1).params, "intro\n");
    EXPECT_EQ(line(1).opcode, OP_MACROSTART);
    EXPECT_STREQ(line(2).params, "2.5|0.1|0.2|0.3\n|");
    EXPECT_EQ(line(2).opcode, 2);
    EXPECT_STREQ(line(3).token, "@macroend");
    EXPECT_STREQ(line(3).params, "0\n");
    EXPECT_EQ(line(3).opcode, OP_MACROEND);
    // An indented comment keeps its number and its text from the "//" on.
    EXPECT_STREQ(line(4).token, "@comment");
    EXPECT_STREQ(line(4).params, "// note\n");
    EXPECT_EQ(line(4).opcode, OP_COMMENT);
    // Blanks only and plain text: ignored, but numbered.
    EXPECT_TRUE(isEmptyRecord(line(5)));
    EXPECT_TRUE(isEmptyRecord(line(6)));
    EXPECT_STREQ(line(7).token, "@end");
    EXPECT_EQ(line(7).opcode, OP_END);
    EXPECT_STREQ(line(7).params, "60\n|");
    EXPECT_TRUE(isEmptyRecord(line(8)));

    // Physical file lines of each script line, for tools that point at the file.
    const int expectedFileLines[] = {2, 4, 6, 7, 8, 9, 10, 11};
    for (int i = 0; i < 8; i++) EXPECT_EQ(script.fileLine[i], expectedFileLines[i]) << i;

    EXPECT_EQ(script.macros[0].firstLine, 1);
    EXPECT_EQ(script.macros[0].lastLine, 3);
    EXPECT_STREQ(script.macros[0].name, "intro\n");
    EXPECT_EQ(console, ""); // quiet unless verbose
}

TEST_F(ScriptTest, LineCountAndTheLastLine) {
    EXPECT_EQ(load("// only comments\n\n//\n/\n\n"), SCRIPT_OK);
    EXPECT_EQ(script.lineCount, 0);
    EXPECT_TRUE(isEmptyRecord(line(0)));

    // The last line is compiled once whether the file ends in a line feed, a skipped line or
    // nothing at all; without a line feed its last parameter has no end-of-line.
    const char *endings[] = {"@a 1|x\n@b 2|y\n", "@a 1|x\n@b 2|y\n// tail\n", "@a 1|x\n@b 2|y\n\n\n",
                             "@a 1|x\n@b 2|y"};
    for (const char *text : endings) {
        script_Reset();
        script_Init();
        EXPECT_EQ(load(text), SCRIPT_OK) << text;
        EXPECT_EQ(script.lineCount, 2) << text;
        EXPECT_STREQ(line(1).token, "@b") << text;
        EXPECT_TRUE(isEmptyRecord(line(2))) << text;
    }
    EXPECT_STREQ(line(1).params, "2|y|");
}

TEST_F(ScriptTest, LinesAreNormalisedBeforeTheyAreCompiled) {
    script_RegisterCommand("@cmd", handlerA, 1);
    script_RegisterCommand("@setdebug", handlerB, 2);
    EXPECT_EQ(load("  @cmd\t\t1 |  2  \n"
                   "@SETDEBUG 0|1\n"
                   "@setdebug 0|1\n"
                   "\t@GlSetColor\t3|A B\n"
                   "@cmd 1|x\r\n"
                   "@cmd\n"),
              SCRIPT_OK);
    EXPECT_STREQ(line(0).token, "@cmd");
    EXPECT_STREQ(line(0).params, "1|2 \n|");
    EXPECT_EQ(line(0).opcode, 1);
    EXPECT_EQ(0, memcmp(&line(1), &line(2), sizeof(ScriptLine))); // capitals fold to the same record
    EXPECT_EQ(line(1).opcode, 2);
    EXPECT_STREQ(line(3).token, "@glsetcolor");
    EXPECT_STREQ(line(3).params, "3|A B\n|"); // parameters keep their case
    EXPECT_STREQ(line(4).params, "1|x\n|");   // a CR LF file reads like a LF file
    // No blank after the token: it ends in the line feed and matches nothing.
    EXPECT_STREQ(line(5).token, "@cmd\n");
    EXPECT_EQ(line(5).opcode, 0);
    EXPECT_STREQ(line(5).params, "");
}

TEST_F(ScriptTest, LongPhysicalLinesAreCutAt254Characters) {
    std::string longLine = "@x 1|" + std::string(295, 'a'); // 300 characters
    std::string exact = std::string(253, 'b');               // 253 + line feed: one raw line
    std::string full = std::string(254, 'c');                // 254 + line feed: the line feed reads as an empty line
    EXPECT_EQ(load("// head\n" + longLine + "\n" + exact + "\n" + full + "\n@y 2\n"), SCRIPT_OK);
    EXPECT_EQ(script.lineCount, 5);
    EXPECT_STREQ(line(0).token, "@x");
    EXPECT_EQ(strlen(line(0).params), 254u - 3u + 1u); // "1|" + 249 a's + "|"
    EXPECT_TRUE(isEmptyRecord(line(1)));              // the remaining 46 a's: an ignored line
    EXPECT_STREQ(line(4).token, "@y");
    const int expectedFileLines[] = {2, 2, 3, 4, 5};
    for (int i = 0; i < 5; i++) EXPECT_EQ(script.fileLine[i], expectedFileLines[i]) << i;

    // A cut piece that starts with "/" is skipped like a comment, wherever it came from.
    script_Reset();
    script_Init();
    EXPECT_EQ(load(std::string(254, 'd') + "//" + "rest\n@z 1\n"), SCRIPT_OK);
    EXPECT_EQ(script.lineCount, 2);
    EXPECT_STREQ(line(1).token, "@z");
    EXPECT_EQ(script.fileLine[1], 2);
}

TEST_F(ScriptTest, MacroNamesAndBrackets) {
    EXPECT_EQ(load("@a 0\n"
                   "(Intro\n"
                   ")\n"
                   "(averyverylongname\n"
                   ")\n"
                   "( spaced\n"
                   "(second\n"
                   ")\n"
                   ")\n"
                   "(last"),
              SCRIPT_OK);
    EXPECT_STREQ(script.macros[0].name, "intro\n"); // lowercased, line feed kept
    EXPECT_STREQ(script.lines[1].params, "intro\n");
    EXPECT_STREQ(script.macros[1].name, "averyverylo");
    EXPECT_STREQ(script.lines[3].params, "averyverylo");
    // A second "(" overwrites the entry that is still open.
    EXPECT_STREQ(script.macros[2].name, "second\n");
    EXPECT_EQ(script.macros[2].firstLine, 6);
    EXPECT_EQ(script.macros[2].lastLine, 7);
    // A ")" with no open macro closes an empty entry.
    EXPECT_STREQ(script.macros[3].name, "");
    EXPECT_EQ(script.macros[3].firstLine, 0);
    EXPECT_EQ(script.macros[3].lastLine, 8);
    // No line feed at the end of the file: no line feed in the name.
    EXPECT_STREQ(script.macros[4].name, "last");
    EXPECT_EQ(script.macros[4].firstLine, 9);

    script_Reset();
    script_Init();
    EXPECT_EQ(load("( intro\n)\n"), SCRIPT_OK);
    EXPECT_STREQ(script.macros[0].name, " intro\n"); // the name keeps its leading blank
    EXPECT_EQ(script.macros[0].firstLine, 0);
}

TEST_F(ScriptTest, LoadStatusCodes) {
    script_RegisterCommand("@a", handlerA, 1);
    EXPECT_EQ(script_Load((dir + "/missing.qlo").c_str()), SCRIPT_FILE_NOT_FOUND);
    EXPECT_EQ(script.lineCount, 0);
    EXPECT_TRUE(isEmptyRecord(line(0)));
    EXPECT_EQ(script_Load(dir.c_str()), SCRIPT_FILE_NOT_FOUND); // a folder is no script
    EXPECT_EQ(script_Load(nullptr), SCRIPT_FILE_NOT_FOUND);

    // Unknown tokens, ignored lines and bad time stamps are not load errors.
    EXPECT_EQ(load("@unknown 1\nplain text\n@a abc|1\n"), SCRIPT_OK);
    EXPECT_EQ(line(0).opcode, 0);
    EXPECT_EQ(line(2).opcode, 1);
    EXPECT_EQ(script.lineCount, 3);
}

TEST_F(ScriptTest, VerboseListing) {
    script_RegisterCommand("@x", handlerA, 7);
    script_SetVerbose(1);
    EXPECT_EQ(load("// skipped\n@x 1|a\n(Mac\n  // note\nignored\n)\n"), SCRIPT_OK);
    // The elapsed whole seconds before each listed line depend on the clock.
    std::string listing = maskSeconds(console);
    EXPECT_EQ(listing, "****Parsing script \n\n"
                       "T Command token : @x ( op : 7 )\tParams : 1|a\n|\n"
                       "T Command token : @macrostart ( op : 50 )\tParams : mac\n\n"
                       "Macro token detected: mac\n\n"
                       "T Command token : @comment ( op : 53 )\tParams : // note\n\n"
                       "T Command token : @macroend ( op : 51 )\tParams : 0\n\n"
                       "Macro exit detected\n\n"
                       "\n****Number of lines in script : 5 \n\n\n");
}

TEST_F(ScriptTest, ScriptLongerThanTheLineTable) {
    script_RegisterCommand("@x", handlerA, 1);
    std::string text = "// header\n";
    for (int i = 0; i < SCRIPT_MAX_LINES + 6; i++) text += "@x " + std::to_string(i) + "|" + std::to_string(i) + "\n";
    text += "(late\n)\n";
    ScriptState before = script;
    EXPECT_EQ(load(text), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_STREQ(script_StatusText(SCRIPT_ERROR_IN_SCRIPT), "Error in Script");
    EXPECT_EQ(console, "Script line 1024 (file line 1026) does not fit: the script holds at most 1024 lines\n");
    EXPECT_EQ(script.overflowLine, SCRIPT_MAX_LINES);
    EXPECT_EQ(script.lineCount, SCRIPT_MAX_LINES + 8); // every line is numbered, even those left out
    // The lines that fit stay compiled; nothing past the table changed.
    EXPECT_STREQ(line(0).params, "0|0\n|");
    EXPECT_STREQ(line(SCRIPT_MAX_LINES - 1).params, "1023|1023\n|");
    EXPECT_EQ(script.fileLine[SCRIPT_MAX_LINES - 1], SCRIPT_MAX_LINES + 1);
    EXPECT_EQ(0, memcmp(&script.macros, &before.macros, sizeof script.macros));
    EXPECT_EQ(0, memcmp(&script.params, &before.params, sizeof script.params));

    // Exactly 1024 lines fit.
    script_Reset();
    script_Init();
    console.clear();
    text.clear();
    for (int i = 0; i < SCRIPT_MAX_LINES; i++) text += "@x " + std::to_string(i) + "\n";
    EXPECT_EQ(load(text), SCRIPT_OK);
    EXPECT_EQ(script.overflowLine, -1);
    EXPECT_EQ(script.lineCount, SCRIPT_MAX_LINES);
    EXPECT_EQ(console, "");
}

TEST_F(ScriptTest, MoreThan25MacrosKeepsTheFirst25) {
    std::string text;
    for (int m = 0; m < SCRIPT_MAX_MACROS + 3; m++) text += "@a 0\n(m" + std::to_string(m) + "\n)\n";
    ScriptState before = script;
    EXPECT_EQ(load(text), SCRIPT_OK);
    for (int m = 0; m < SCRIPT_MAX_MACROS; m++) {
        EXPECT_EQ(script.macros[m].name, "m" + std::to_string(m) + "\n");
        EXPECT_EQ(script.macros[m].firstLine, 3 * m + 1);
        EXPECT_EQ(script.macros[m].lastLine, 3 * m + 2);
    }
    // The surplus brackets are still numbered lines, only not recorded as macros.
    EXPECT_STREQ(line(3 * 27 + 1).token, "@macrostart");
    EXPECT_STREQ(line(3 * 27 + 1).params, "m27\n");
    EXPECT_EQ(0, memcmp(&script.params, &before.params, sizeof script.params));
    EXPECT_EQ(console, "Script line 76 (file line 77): macro not recorded, the script holds at most 25 macros\n"
                       "Script line 79 (file line 80): macro not recorded, the script holds at most 25 macros\n"
                       "Script line 82 (file line 83): macro not recorded, the script holds at most 25 macros\n");
}

TEST_F(ScriptTest, MoreThanTenParametersAreReported) {
    script_RegisterCommand("@x", handlerA, 1);
    EXPECT_EQ(load("@x 0|1|2|3|4|5|6|7|8|9\n@x 0|1|2|3|4|5|6|7|8|9|10|11\n"), SCRIPT_OK);
    EXPECT_EQ(console, "Script line 1 (file line 2) has 12 parameters: those after the tenth are ignored\n");
}
