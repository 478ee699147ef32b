// Evaluation: one line per call against the script time, waiting, the end line, lines passed
// over, timed mode, parameter splitting and the end of a script without "@end".
#include "tests/script/script_fixture.h"

#include "script/text.h"

#include <cstring>
#include <vector>

namespace {

std::vector<int> evalSeries(double time, int calls) {
    std::vector<int> results;
    for (int i = 0; i < calls; i++) results.push_back(script_Eval(time));
    return results;
}

} // namespace

TEST_F(ScriptTest, ALineWaitsForItsTimeStamp) {
    script_RegisterCommand("@glsetclearcolor", handlerA, 1);
    ASSERT_EQ(load("@glsetclearcolor 5|0.1|0.2|0.3\n@end 60\n"), SCRIPT_OK);
    EXPECT_EQ(script_CurrentLine(), -1);
    EXPECT_EQ(script_Eval(4.0), 1);
    EXPECT_EQ(script_CurrentLine(), -1);
    EXPECT_EQ(script_Eval(4.99), 1);
    EXPECT_EQ(script_CurrentLine(), -1);
    EXPECT_EQ(logA.calls, 0);

    EXPECT_EQ(script_Eval(5.0), 0);
    EXPECT_EQ(logA.calls, 1);
    EXPECT_EQ(logA.line, 0);
    EXPECT_EQ(logA.params[0], "5");
    EXPECT_EQ(logA.params[1], "0.1");
    EXPECT_EQ(logA.params[2], "0.2");
    EXPECT_EQ(logA.params[3], "0.3\n");
    EXPECT_EQ(logA.params[4], "");
    EXPECT_EQ(logA.params[10], ""); // out of range reads as empty
    EXPECT_EQ(script_CurrentLine(), 0);

    // The end line waits below its time, and ends the script at and after it.
    EXPECT_EQ(script_Eval(59.9), 1);
    EXPECT_EQ(script_CurrentLine(), 0);
    EXPECT_EQ(script_Eval(60.0), -1);
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(logA.calls, 1);
    // The buffers are cleared at every call.
    EXPECT_STREQ(script_Param(0), "60\n");
    EXPECT_STREQ(script_Param(1), "");
}

TEST_F(ScriptTest, OneLinePerCallInFileOrder) {
    script_RegisterCommand("@a", handlerA, 1);
    script_RegisterCommand("@b", handlerB, 2);
    ASSERT_EQ(load("@a 0|first\n@b 0\n@a 0|third\n@end 0\n"), SCRIPT_OK);
    EXPECT_EQ(script_Eval(0), 0);
    EXPECT_EQ(logA.calls, 1);
    EXPECT_EQ(logB.calls, 0);
    EXPECT_EQ(script_Eval(0), 0);
    EXPECT_EQ(logB.calls, 1);
    EXPECT_EQ(script_Eval(0), 0);
    EXPECT_EQ(logA.calls, 2);
    EXPECT_EQ(logA.params[1], "third\n");
    EXPECT_EQ(script_Eval(0), -1);

    // An earlier stamp after a later one runs on the next call; a waiting line holds the rest.
    script_Reset();
    script_Init();
    script_RegisterCommand("@a", handlerA, 1);
    logA = HandlerLog{};
    ASSERT_EQ(load("@a 3\n@a 1\n@a 9\n@a 2\n"), SCRIPT_OK);
    EXPECT_EQ(evalSeries(3.0, 4), (std::vector<int>{0, 0, 1, 1}));
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(evalSeries(9.0, 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(logA.calls, 4);
}

TEST_F(ScriptTest, CommentsBracketsAndCallsPassAtOnce) {
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("  // note\n(intro\n@call 10|intro\n)\n@comment whatever\n@a 0\n@end 0\n"), SCRIPT_OK);
    // At time -1 nothing is due, yet comments, brackets and "@call" each take one call.
    EXPECT_EQ(evalSeries(-1.0, 5), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(script_CurrentLine(), 4);
    EXPECT_EQ(script_Eval(-1.0), 1);
    EXPECT_EQ(logA.calls, 0);
    EXPECT_EQ(script_Eval(0), 0);
    EXPECT_EQ(logA.calls, 1);
    EXPECT_EQ(script_Eval(0), -1);

    // A handler in the "@call" slot makes "@call" lines run like commands, stamp included.
    script_Reset();
    script_Init();
    script_RegisterCommand("@call", handlerB, OP_CALL);
    script_RegisterCommand("@macrostart", handlerB, OP_MACROSTART); // never called
    ASSERT_EQ(load("(intro\n@call 10|intro\n"), SCRIPT_OK);
    EXPECT_EQ(script_Eval(0), 0);
    EXPECT_EQ(script_Eval(5), 1);
    EXPECT_EQ(logB.calls, 0);
    EXPECT_EQ(script_Eval(10), 0);
    EXPECT_EQ(logB.calls, 1);
    EXPECT_EQ(logB.params[1], "intro\n");
}

TEST_F(ScriptTest, LinesWithoutAHandlerPassAtOnce) {
    script_RegisterCommand("@silent", nullptr, 3);
    ASSERT_EQ(load("@silent 50|x\n@unknown 0\nplain text\n@end 50\n"), SCRIPT_OK);
    // Slot 0 has no handler yet: unknown tokens and ignored lines pass without waiting.
    EXPECT_EQ(evalSeries(0, 4), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_STREQ(script_Param(0), "50\n"); // only the end line's parameters were split

    // With a handler in slot 0, unknown tokens and ignored lines run it at once.
    script.currentLine = -1;
    script_RegisterCommand("@nop", handlerZero, 0);
    EXPECT_EQ(evalSeries(0, 3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(logZero.calls, 2);
    EXPECT_EQ(logZero.line, 2);
    EXPECT_EQ(logZero.params[0], ""); // an ignored line has no parameters
}

TEST_F(ScriptTest, TimedModeOff) {
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a 100|x\n@a 200|y\n@end 30\n"), SCRIPT_OK);
    script_SetTimed(0);
    EXPECT_EQ(evalSeries(0, 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(logA.calls, 2);
    EXPECT_EQ(logA.params[1], "y\n");
    EXPECT_EQ(script_Eval(29), 1); // the end still waits for its time
    EXPECT_EQ(script_Eval(30), -1);
}

TEST_F(ScriptTest, TimeStampsReadAsDecimalNumbers) {
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a abc\n@a -2.5e1\n@a 1e1x\n@a 0x10\n@a nan\n@a +.5\n@a 3e\n"), SCRIPT_OK);
    EXPECT_EQ(script_Eval(-30), 1); // not a number: stamp 0
    EXPECT_EQ(script_Eval(0), 0);
    EXPECT_EQ(script_Eval(-25), 0); // -25
    EXPECT_EQ(script_Eval(9.99), 1); // 10, the "x" ends the number
    EXPECT_EQ(script_Eval(10), 0);
    EXPECT_EQ(script_Eval(0), 0);    // "0x10" is 0, not sixteen
    EXPECT_EQ(script_Eval(0), 0);    // "nan" is no number: 0, so the line cannot wait forever
    EXPECT_EQ(script_Eval(0.49), 1); // .5
    EXPECT_EQ(script_Eval(0.5), 0);
    EXPECT_EQ(script_Eval(2.9), 1); // "3e" reads as 3
    EXPECT_EQ(script_Eval(3), 0);
    EXPECT_EQ(logA.calls, 7);
}

TEST_F(ScriptTest, SplitParamsFillsTheBuffers) {
    script_RegisterCommand("@x", handlerA, 1);
    ASSERT_EQ(load("@x 1|a||b\n@x 2|a|  |b \n@x 3|only\n"), SCRIPT_OK);
    EXPECT_STREQ(script.lines[0].params, "1|a|b\n|");
    script_Eval(10);
    EXPECT_EQ(logA.params[1], "a");
    EXPECT_EQ(logA.params[2], "b\n"); // the last parameter keeps its line feed
    EXPECT_EQ(logA.params[3], "");
    // A piece of blanks only is dropped, and the pieces after it move up.
    script_Eval(10);
    EXPECT_EQ(logA.params[1], "a");
    EXPECT_EQ(logA.params[2], "b \n");
    // Nothing carries over from the line before.
    script_Eval(10);
    EXPECT_EQ(logA.params[1], "only\n");
    EXPECT_EQ(logA.params[2], "");
    EXPECT_EQ(logA.params[5], "");

    // No parameter at all: status 3, and no buffer is written.
    memset(script.params, 0, sizeof script.params);
    ScriptLine empty{};
    EXPECT_EQ(script_SplitParams(&empty), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_STREQ(script_Param(0), "");
    ScriptLine delimitersOnly{};
    text_CopyBounded(delimitersOnly.params, "|||");
    EXPECT_EQ(script_SplitParams(&delimitersOnly), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_EQ(script_SplitParams(nullptr), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_STREQ(script_Param(-1), "");
    EXPECT_STREQ(script_Param(SCRIPT_MAX_PARAMS), "");

    // Verbose: each parameter on one console line.
    ScriptLine record{};
    text_CopyBounded(record.params, "4|x|y\n|");
    script_SetVerbose(1);
    console.clear();
    EXPECT_EQ(script_SplitParams(&record), SCRIPT_OK);
    EXPECT_EQ(console, "Eval param 0: 4 Eval param 1: x Eval param 2: y\n ");
}

TEST_F(ScriptTest, ParametersPastTheTenthAreIgnored) {
    script_RegisterCommand("@x", handlerA, 1);
    std::string text = "@x 0";
    for (int k = 1; k < 40; k++) text += "|p" + std::to_string(k);
    ASSERT_EQ(load(text + "\n"), SCRIPT_OK);
    ScriptState before = script;
    EXPECT_EQ(script_Eval(0), 0);
    for (int k = 1; k < SCRIPT_MAX_PARAMS; k++) EXPECT_EQ(logA.params[k], "p" + std::to_string(k));
    EXPECT_EQ(logA.params[SCRIPT_MAX_PARAMS], "");
    // Nothing after the buffers was touched.
    EXPECT_EQ(script.verbose, before.verbose);
    EXPECT_EQ(script.timed, before.timed);
    EXPECT_EQ(script.delimiter, before.delimiter);
    EXPECT_EQ(script.lineCount, before.lineCount);
}

TEST_F(ScriptTest, AScriptWithoutEndHoldsAtItsLastLine) {
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a 0\n@a 1\n"), SCRIPT_OK);
    EXPECT_EQ(evalSeries(5, 2), (std::vector<int>{0, 0}));
    // Past the last line: the show plays on, and the evaluator stays put.
    EXPECT_EQ(evalSeries(5, 100), std::vector<int>(100, 1));
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(logA.calls, 2);

    // Called again after the end: no record past the script is read.
    script_Reset();
    script_Init();
    script_RegisterCommand("@a", handlerA, 1);
    logA = HandlerLog{};
    ASSERT_EQ(load("@a 0\n@end 1\n"), SCRIPT_OK);
    script.lines[2] = script.lines[0]; // would run if the evaluator read past the script
    EXPECT_EQ(evalSeries(1, 4), (std::vector<int>{0, -1, 1, 1}));
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(logA.calls, 1);

    // A full table without "@end" never reads past line 1023, nor does a bogus current line.
    script_Reset();
    script_Init();
    script_RegisterCommand("@a", handlerA, 1);
    logA = HandlerLog{};
    std::string text;
    for (int i = 0; i < SCRIPT_MAX_LINES + 3; i++) text += "@a 0\n";
    EXPECT_EQ(load(text), SCRIPT_ERROR_IN_SCRIPT);
    for (int i = 0; i < SCRIPT_MAX_LINES; i++) ASSERT_EQ(script_Eval(0), 0) << i;
    EXPECT_EQ(script_Eval(0), 1);
    EXPECT_EQ(script_CurrentLine(), SCRIPT_MAX_LINES - 1);
    EXPECT_EQ(logA.calls, SCRIPT_MAX_LINES);
    script.currentLine = 100000;
    EXPECT_EQ(script_Eval(0), 1);
    script.currentLine = -50;
    EXPECT_EQ(script_Eval(0), 1);
    EXPECT_EQ(logA.calls, SCRIPT_MAX_LINES);

    // Nothing loaded: nothing to run.
    script_Reset();
    script_Init();
    EXPECT_EQ(script_Eval(0), 1);
    EXPECT_EQ(script_CurrentLine(), -1);
}
