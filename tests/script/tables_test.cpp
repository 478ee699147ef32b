// Command table layout and registration, opcode resolution, line compilation, status texts and
// the three dumps.
#include "tests/script/script_fixture.h"

#include "script/text.h"

#include <cstring>

namespace {

std::string handlerText(ScriptHandler handler) {
    char text[32];
    snprintf(text, sizeof text, "%p", reinterpret_cast<void *>(handler));
    return text;
}

std::string commandLine(const char *name, int opcode, const std::string &handler) {
    return std::string("Command : ") + name + "\t Opcode : " + std::to_string(opcode) + "\t FuncPtr : " + handler +
           " \n";
}

// Compiles a copy of text; the copy is larger than a loader line so long texts reach the compiler whole.
int compile(const char *text, ScriptLine *record) {
    char line[1024];
    text_CopyBounded(line, text, sizeof line);
    return script_CompileCommand(line, record);
}

} // namespace

TEST_F(ScriptTest, InitLaysOutTheSlots) {
    for (int slot = 0; slot <= SCRIPT_MAX_ENGINE_OPCODE; slot++) {
        EXPECT_STREQ(script.commands[slot].name, "null");
        EXPECT_EQ(script.commands[slot].opcode, slot);
        EXPECT_EQ(script.commands[slot].handler, nullptr);
    }
    const char *keywords[] = {"@macrostart", "@macroend", "@call", "@comment", "@end"};
    for (int slot = OP_MACROSTART; slot <= OP_END; slot++) {
        EXPECT_STREQ(script.commands[slot].name, keywords[slot - OP_MACROSTART]);
        EXPECT_EQ(script.commands[slot].opcode, slot);
        EXPECT_EQ(script.commands[slot].handler, nullptr);
    }
    EXPECT_STREQ(script.commands[55].name, "null");
    EXPECT_EQ(script.commands[55].opcode, -1);

    // Reset brings back the state of process start, flags included.
    script_SetVerbose(1);
    script_SetTimed(0);
    script_SetDelimiter(";");
    script.currentLine = 12;
    script_Reset();
    EXPECT_EQ(script.verbose, 0);
    EXPECT_EQ(script.timed, 1);
    EXPECT_STREQ(script.delimiter, "|");
    EXPECT_EQ(script.currentLine, -1);
    EXPECT_EQ(script.overflowLine, -1);
    EXPECT_EQ(script.lineCount, 0);
    EXPECT_EQ(script.commands[53].name[0], '\0');
}

TEST_F(ScriptTest, DumpCommandsListsEverySlotButZero) {
    std::string expected = "****Command List Dump :\n";
    for (int slot = 1; slot <= SCRIPT_MAX_ENGINE_OPCODE; slot++) expected += commandLine("null", slot, "null");
    const char *keywords[] = {"@macrostart", "@macroend", "@call", "@comment", "@end"};
    for (int slot = OP_MACROSTART; slot <= OP_END; slot++)
        expected += commandLine(keywords[slot - OP_MACROSTART], slot, "null");
    expected += "\n\n";
    EXPECT_EQ(script_DumpCommands(), SCRIPT_OK);
    EXPECT_EQ(console, expected);

    // Registered commands show their handler; slot 0 is never listed.
    script_RegisterCommand("@zero", handlerZero, 0);
    script_RegisterCommand("@first", handlerA, 1);
    script_RegisterCommand("@second", nullptr, 2);
    console.clear();
    EXPECT_EQ(script_DumpCommands(), SCRIPT_OK);
    EXPECT_EQ(console.find("@zero"), std::string::npos);
    EXPECT_NE(console.find(commandLine("@first", 1, handlerText(handlerA))), std::string::npos);
    EXPECT_NE(console.find(commandLine("@second", 2, "null")), std::string::npos);
    EXPECT_NE(console.find(commandLine("null", 3, "null")), std::string::npos);

    // An uninitialised table lists nothing.
    script_Reset();
    console.clear();
    EXPECT_EQ(script_DumpCommands(), SCRIPT_UNDEFINED_CL);
    EXPECT_EQ(console, "****Command List Dump :\n\n\n");
}

TEST_F(ScriptTest, RegistrationStoresReplacesAndRefuses) {
    EXPECT_EQ(script_RegisterCommand("@glsetcolor", handlerA, 3), 11);
    EXPECT_STREQ(script.commands[3].name, "@glsetcolor");
    EXPECT_EQ(script.commands[3].handler, handlerA);
    EXPECT_EQ(script_RegisterCommand("@other", handlerB, 3), 6); // a later registration replaces
    EXPECT_STREQ(script.commands[3].name, "@other");
    EXPECT_EQ(script.commands[3].handler, handlerB);
    EXPECT_EQ(script_RegisterCommand("@call", handlerA, OP_CALL), 5); // keyword slots may be taken
    EXPECT_EQ(script.commands[OP_CALL].handler, handlerA);

    std::string longest(SCRIPT_NAME_SIZE - 1, 'n');
    EXPECT_EQ(script_RegisterCommand(longest.c_str(), handlerA, 4), SCRIPT_NAME_SIZE - 1);
    EXPECT_EQ(script.commands[4].name, longest);

    // Refused: outside 0..54 (55 is the end marker), no name, a name that would be cut.
    auto before = script.commands;
    std::string tooLong(SCRIPT_NAME_SIZE, 'n');
    EXPECT_EQ(script_RegisterCommand("@a", handlerA, -1), 0);
    EXPECT_EQ(script_RegisterCommand("@a", handlerA, 55), 0);
    EXPECT_EQ(script_RegisterCommand("@a", handlerA, 56), 0);
    EXPECT_EQ(script_RegisterCommand("@a", handlerA, 100000), 0);
    EXPECT_EQ(script_RegisterCommand(nullptr, handlerA, 5), 0);
    EXPECT_EQ(script_RegisterCommand(tooLong.c_str(), handlerA, 5), 0);
    EXPECT_EQ(0, memcmp(&before, &script.commands, sizeof before));
    EXPECT_EQ(script.commands[55].opcode, -1);
}

TEST_F(ScriptTest, OpcodeResolution) {
    script_RegisterCommand("@glsetcolor", handlerA, 1);
    script_RegisterCommand("@GlSetLayer", handlerA, 2); // capitals: no script line can reach it
    script_RegisterCommand("@dup", handlerA, 3);
    script_RegisterCommand("@dup", handlerB, 7);
    ScriptLine record{};
    EXPECT_EQ(compile("@GLSETCOLOR 1", &record), SCRIPT_OK);
    EXPECT_STREQ(record.token, "@glsetcolor");
    EXPECT_EQ(record.opcode, 1);

    record = ScriptLine{};
    compile("@GlSetLayer 1", &record);
    EXPECT_EQ(record.opcode, 0);
    record = ScriptLine{};
    compile("@dup 1", &record);
    EXPECT_EQ(record.opcode, 7); // the last matching slot wins
    record = ScriptLine{};
    compile("@glset 1", &record); // a prefix is not enough
    EXPECT_EQ(record.opcode, 0);
    record = ScriptLine{};
    compile("@glsetcolorx 1", &record);
    EXPECT_EQ(record.opcode, 0);
    compile("@end 5", &record);
    EXPECT_EQ(record.opcode, OP_END);
    record = ScriptLine{};
    compile("@endx 5", &record);
    EXPECT_EQ(record.opcode, 0);
    // An unknown token leaves the opcode as the record had it.
    record.opcode = 9;
    compile("@nothing 5", &record);
    EXPECT_EQ(record.opcode, 9);

    // A token longer than 49 characters is cut before the lookup.
    std::string name = "@" + std::string(SCRIPT_NAME_SIZE - 2, 'k');
    script_RegisterCommand(name.c_str(), handlerA, 4);
    record = ScriptLine{};
    compile((name + "KKKKKK 1").c_str(), &record);
    EXPECT_EQ(record.token, name);
    EXPECT_EQ(record.opcode, 4);

    // Keywords given by the loader are used as they are, without lowercasing.
    EXPECT_EQ(script_CompileLine("@comment", "// x\n", &record), SCRIPT_OK);
    EXPECT_EQ(record.opcode, OP_COMMENT);
    script_CompileLine("@macrostart", "intro\n", &record);
    EXPECT_EQ(record.opcode, OP_MACROSTART);
    script_CompileLine("@macroend", "0\n", &record);
    EXPECT_EQ(record.opcode, OP_MACROEND);
    record = ScriptLine{};
    script_CompileLine("@Comment", "x", &record);
    EXPECT_EQ(record.opcode, 0);
}

TEST_F(ScriptTest, CompileCommandBuildsTheParameterText) {
    ScriptLine record{};
    EXPECT_EQ(compile("@glsetclearcolor 3.5|0.2| 0.4 |0.6\n", &record), SCRIPT_OK);
    EXPECT_STREQ(record.token, "@glsetclearcolor");
    EXPECT_STREQ(record.params, "3.5|0.2|0.4|0.6\n|");

    // Empty pieces are skipped; a blanks-only piece stays as an empty parameter.
    compile("@x |1||a|  |b\n", &record);
    EXPECT_STREQ(record.params, "1|a||b\n|");

    // No parameter list leaves the parameter text as it was.
    compile("@x", &record);
    EXPECT_STREQ(record.token, "@x");
    EXPECT_STREQ(record.params, "1|a||b\n|");

    // No token at all is the one compile error.
    record = ScriptLine{};
    EXPECT_EQ(compile("", &record), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_EQ(compile("   ", &record), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_EQ(script_CompileCommand(nullptr, &record), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_EQ(record.token[0], '\0');

    // The parameter text is cut to 254 characters.
    std::string many = "@x 0";
    for (int i = 0; i < 100; i++) many += "|abcd";
    compile(many.c_str(), &record);
    EXPECT_EQ(strlen(record.params), static_cast<size_t>(SCRIPT_TEXT_SIZE - 1));

    // The delimiter is a set of characters, and the whole text follows each piece.
    script_SetDelimiter(";,");
    compile("@x 1;a,b", &record);
    EXPECT_STREQ(record.params, "1;,a;,b;,");
    script_SetDelimiter(nullptr);
    EXPECT_STREQ(script.delimiter, "|");

    // Verbose: the compile listing.
    script_RegisterCommand("@x", handlerA, 5);
    script_SetVerbose(1);
    compile("@x 2|y", &record);
    EXPECT_EQ(console, "Command token : @x ( op : 5 )\tParams : 2|y|\n");
}

TEST_F(ScriptTest, StatusTexts) {
    const char *texts[] = {"No Error",        "Undefined Error",    "File not found", "Error in Script",
                           "Undefined Macro", "Undefined Function", "Undefined CL"};
    for (int code = 0; code <= 6; code++) EXPECT_STREQ(script_StatusText(code), texts[code]);
    EXPECT_STREQ(script_StatusText(7), "(unknown)");
    EXPECT_STREQ(script_StatusText(-1), "(unknown)");
}

TEST_F(ScriptTest, DumpMacros) {
    EXPECT_EQ(script_DumpMacros(), SCRIPT_UNDEFINED_CL);
    EXPECT_EQ(console, "****Macro List Dump :\n\n\n");

    console.clear();
    EXPECT_EQ(load("@a 0\n(intro\n)\n(Part2\n@b 1\n)\n"), SCRIPT_OK);
    EXPECT_EQ(script_DumpMacros(), SCRIPT_OK);
    EXPECT_EQ(console, "****Macro List Dump :\n"
                       "Macro : intro\n\t Start : 1 End : 2 \n"
                       "Macro : part2\n\t Start : 3 End : 5 \n"
                       "\n\n");

    // A macro that opens on line 0 looks like the end of the table.
    script_Reset();
    script_Init();
    console.clear();
    EXPECT_EQ(load("(intro\n)\n(more\n)\n"), SCRIPT_OK);
    EXPECT_EQ(script_DumpMacros(), SCRIPT_UNDEFINED_CL);
    EXPECT_EQ(console, "****Macro List Dump :\n\n\n");

    // A full table is listed to its last entry and no further.
    script_Reset();
    script_Init();
    std::string text = "@a 0\n";
    for (int m = 0; m < SCRIPT_MAX_MACROS + 2; m++) text += "(m\n)\n";
    load(text);
    console.clear();
    EXPECT_EQ(script_DumpMacros(), SCRIPT_OK);
    size_t listed = 0;
    for (size_t at = console.find("Macro : "); at != std::string::npos; at = console.find("Macro : ", at + 1)) listed++;
    EXPECT_EQ(listed, static_cast<size_t>(SCRIPT_MAX_MACROS));
}

TEST_F(ScriptTest, DumpScript) {
    script_RegisterCommand("@a", handlerA, 1);
    EXPECT_EQ(load("@a 0|x\n  // note\nignored\n@end 60\n@a 70\n"), SCRIPT_OK);
    EXPECT_EQ(script_DumpScript(), SCRIPT_OK);
    EXPECT_EQ(console, "****Script Dump :\n"
                       "0. @a \t 0|x\n|\n"
                       "1. @comment \t // note\n\n"
                       "2.  \t \n"
                       "3. End of Script ( @end ) \n\n");

    // Only the first four characters count: "@endx" stops the listing too.
    script_Reset();
    script_Init();
    console.clear();
    load("@a 0\n@endx 1\n");
    EXPECT_EQ(script_DumpScript(), SCRIPT_OK);
    EXPECT_EQ(console, "****Script Dump :\n0. @a \t 0\n|\n1. End of Script ( @endx ) \n\n");

    script_Reset();
    script_Init();
    console.clear();
    load("@end 0\n");
    EXPECT_EQ(script_DumpScript(), SCRIPT_UNDEFINED_CL);
    EXPECT_EQ(console, "****Script Dump :\n0. End of Script ( @end ) \n\n");

    // No "@end": the whole table is listed, and the listing names no record beyond it.
    script_Reset();
    script_Init();
    console.clear();
    load("@a 1\n");
    EXPECT_EQ(script_DumpScript(), SCRIPT_OK);
    EXPECT_EQ(console.rfind("1023.  \t \n1024. End of Script (  ) \n\n"),
              console.size() - strlen("1023.  \t \n1024. End of Script (  ) \n\n"));
}
