// Command table reset and registration, opcode resolution and line compilation.
#include "tests/script/script_fixture.h"

#include <cstring>
#include <tuple>

namespace {

// Compiles a copy of text; the copy is larger than a loader line so long texts reach the compiler whole.
int compile(const std::string &text, ScriptLine *record) {
    char line[1024];
    text_CopyBounded(line, text.c_str());
    return script_CompileCommand(line, record);
}

} // namespace

TEST_F(ScriptTest, ResetBringsBackTheStartState) {
    // Reset brings back the state of process start, flags included; an uninitialised table lists nothing.
    script_SetVerbose(1);
    script_SetTimed(0);
    script_SetDelimiter(";");
    script_Reset();
    EXPECT_EQ(std::make_tuple(script.verbose, script.timed, std::string(script.delimiter)), std::make_tuple(0, 1, std::string("|")));
    console.clear();
    EXPECT_EQ(script_DumpCommands(), SCRIPT_UNDEFINED_CL);
    EXPECT_EQ(console, "****Command List Dump :\n\n\n");
}

TEST_F(ScriptTest, RegistrationStoresReplacesAndRefuses) {
    EXPECT_EQ(script_RegisterCommand("@glsetcolor", handlerA, 3), 11);
    EXPECT_EQ(script_RegisterCommand("@other", handlerB, 3), 6); // a later registration replaces
    EXPECT_STREQ(script.commands[3].name, "@other");
    EXPECT_EQ(script.commands[3].handler, handlerB);
    std::string longest(SCRIPT_NAME_SIZE - 1, 'n');
    EXPECT_EQ(script_RegisterCommand(longest.c_str(), handlerA, 4), SCRIPT_NAME_SIZE - 1);
    EXPECT_EQ(script.commands[4].name, longest);

    // Refused, the table unchanged: outside 0..54 (55 is the end marker), no name, a name that would be cut.
    auto before = script.commands;
    for (int opcode : {-1, 55}) EXPECT_EQ(script_RegisterCommand("@a", handlerA, opcode), 0) << opcode;
    EXPECT_EQ(script_RegisterCommand(nullptr, handlerA, 5), 0);
    EXPECT_EQ(script_RegisterCommand((longest + "n").c_str(), handlerA, 5), 0);
    EXPECT_EQ(0, memcmp(&before, &script.commands, sizeof before));
}

TEST_F(ScriptTest, OpcodeResolution) {
    std::string longName = "@" + std::string(SCRIPT_NAME_SIZE - 2, 'k');
    script_RegisterCommand("@glsetcolor", handlerA, 1);
    script_RegisterCommand("@GlSetLayer", handlerA, 2); // capitals: no script line can reach it
    script_RegisterCommand("@dup", handlerA, 3);
    script_RegisterCommand("@dup", handlerB, 7);
    script_RegisterCommand(longName.c_str(), handlerA, 4);
    const std::pair<std::string, int> cases[] = {
        {"@GLSETCOLOR 1", 1}, {"@GlSetLayer 1", 0}, {"@dup 1", 7}, // the last matching slot wins
        {"@glset 1", 0},      {"@glsetcolorx 1", 0}, {"@end 5", OP_END}, {"@endx 5", 0},
        {longName + "KKKKKK 1", 4}, // a token longer than 49 characters is cut before the lookup
        {"null 1", OP_MACROSTART - 1}, // unregistered slots are "null"; the end marker after them is never matched
    };
    for (const auto &c : cases) {
        ScriptLine record{};
        EXPECT_EQ(compile(c.first, &record), SCRIPT_OK);
        EXPECT_EQ(record.opcode, c.second) << c.first;
    }
    ScriptLine record{};
    record.opcode = 9; // an unknown token leaves the opcode as the record had it
    compile("@nothing 5", &record);
    EXPECT_EQ(record.opcode, 9);

    // Keywords given by the loader are used as they are, without lowercasing.
    EXPECT_EQ(script_CompileLine("@comment", "// x\n", &record), SCRIPT_OK);
    EXPECT_EQ(record.opcode, OP_COMMENT);
    script_CompileLine("@Comment", "x", &record);
    EXPECT_EQ(record.opcode, OP_COMMENT); // unknown: the opcode is left as it was
}

TEST_F(ScriptTest, CompileCommandBuildsTheParameterText) {
    ScriptLine record{};
    EXPECT_EQ(compile("@glsetclearcolor 3.5|0.2| 0.4 |0.6\n", &record), SCRIPT_OK);
    EXPECT_STREQ(record.params, "3.5|0.2|0.4|0.6\n|");
    compile("@x |1||a|  |b\n", &record); // empty pieces skipped, a blanks-only piece stays empty
    EXPECT_STREQ(record.params, "1|a||b\n|");
    compile("@x", &record); // no parameter list leaves the parameter text as it was
    EXPECT_STREQ(record.token, "@x");
    EXPECT_STREQ(record.params, "1|a||b\n|");

    // No token at all is the one compile error.
    for (const char *text : {"", "   "}) EXPECT_EQ(compile(text, &record), SCRIPT_ERROR_IN_SCRIPT) << '"' << text << '"';
    EXPECT_EQ(script_CompileCommand(nullptr, &record), SCRIPT_ERROR_IN_SCRIPT);

    std::string many = "@x 0";
    for (int i = 0; i < 100; i++) many += "|abcd";
    compile(many, &record);
    EXPECT_EQ(strlen(record.params), static_cast<size_t>(SCRIPT_TEXT_SIZE - 1)); // cut, not overrun

    // The delimiter is a set of characters, and the whole text follows each piece.
    script_SetDelimiter(";,");
    compile("@x 1;a,b", &record);
    EXPECT_STREQ(record.params, "1;,a;,b;,");
    script_SetDelimiter(nullptr);
    EXPECT_STREQ(script.delimiter, "|");
}

