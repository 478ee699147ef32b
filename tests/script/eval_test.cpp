// Evaluation: one line per call against the script time, waiting, the end line, lines passed
// over, timed mode, parameter splitting and the end of a script without "@end".
#include "tests/script/script_fixture.h"

#include <cstring>
#include <tuple>

using Results = std::vector<int>;

TEST_F(ScriptTest, OneLinePerCallEachWaitingForItsTime) {
    script_RegisterCommand("@a", handlerA, 1);
    script_RegisterCommand("@b", handlerB, 2);
    ASSERT_EQ(load("@a 5|0.1|0.2|0.3\n@b 5\n@end 60\n"), SCRIPT_OK);
    EXPECT_EQ(evals(4.99, 2), (Results{1, 1}));
    EXPECT_EQ(script_CurrentLine(), -1); // waiting keeps the current line
    EXPECT_EQ(script_Eval(5.0), 0);
    EXPECT_EQ(std::make_tuple(logA.calls, logB.calls, logA.line), std::make_tuple(1, 0, 0));
    const std::string expected[] = {"5", "0.1", "0.2", "0.3\n", "", "", "", "", "", "", ""}; // 10 reads as ""
    for (int k = 0; k <= SCRIPT_MAX_PARAMS; k++) EXPECT_EQ(logA.params[k], expected[k]) << k;
    EXPECT_EQ(script_Eval(5.0), 0);
    EXPECT_EQ(logB.calls, 1);
    // The end line waits below its time, and ends the script at it.
    EXPECT_EQ(script_Eval(59.9), 1);
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(script_Eval(60.0), -1);
    EXPECT_EQ(script_CurrentLine(), 2);
    EXPECT_STREQ(script_Param(0), "60\n"); // the buffers are cleared at every call
    EXPECT_STREQ(script_Param(1), "");

    // An earlier stamp after a later one runs on the next call; a waiting line holds the rest.
    fresh();
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a 3\n@a 1\n@a 9\n@a 2\n"), SCRIPT_OK);
    EXPECT_EQ(evals(3.0, 4), (Results{0, 0, 1, 1}));
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(evals(9.0, 2), (Results{0, 0}));
    EXPECT_EQ(logA.calls, 4);

    // Timed mode off: commands run at once, the end still waits for its time.
    fresh();
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a 100|x\n@a 200|y\n@end 30\n"), SCRIPT_OK);
    script_SetTimed(0);
    EXPECT_EQ(evals(0, 3), (Results{0, 0, 1}));
    EXPECT_EQ(logA.params[1], "y\n");
    EXPECT_EQ(script_Eval(30), -1);
}

TEST_F(ScriptTest, LinesPassedOverAtAnyTime) {
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("  // note\n(intro\n@call 10|intro\n)\n@comment whatever\n@a 0\n@end 0\n"), SCRIPT_OK);
    // At time -1 nothing is due, yet comments, brackets and "@call" each take one call.
    EXPECT_EQ(evals(-1.0, 6), (Results{0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(script_CurrentLine(), 4);
    EXPECT_EQ(evals(0, 2), (Results{0, -1}));
    EXPECT_EQ(logA.calls, 1);

    // Lines without a handler (no handler given, unknown tokens, ignored lines) pass at once.
    fresh();
    script_RegisterCommand("@silent", nullptr, 3);
    ASSERT_EQ(load("@silent 50|x\n@unknown 0\nplain text\n@end 50\n"), SCRIPT_OK);
    EXPECT_EQ(evals(0, 4), (Results{0, 0, 0, 1}));
    EXPECT_STREQ(script_Param(0), "50\n"); // only the end line's parameters were split
    // With a handler in slot 0, unknown tokens and ignored lines run it at once.
    script.currentLine = -1;
    script_RegisterCommand("@nop", handlerB, 0);
    EXPECT_EQ(evals(0, 3), (Results{0, 0, 0}));
    EXPECT_EQ(logB.calls, 2);
    EXPECT_EQ(logB.line, 2);
    EXPECT_EQ(logB.params[0], ""); // an ignored line has no parameters
}

TEST_F(ScriptTest, TimeStampsReadAsDecimalNumbers) {
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a abc\n@a -2.5e1\n@a 1e1x\n@a 0x10\n@a nan\n@a +.5\n@a 0.5\n"), SCRIPT_OK);
    // "abc" is 0; "1e1x" is 10; "0x10" is 0, not sixteen; "nan" is 0, so the line cannot wait
    // forever; a clock that names the stamp's instant runs the line, last binary digits aside.
    const std::pair<double, int> steps[] = {{-30, 1}, {0, 0},    {-25, 0}, {9.99, 1},     {10, 0},
                                            {0, 0},   {0, 0},    {0.49, 1}, {0.5, 0}, {0.7 - 0.2, 0}};
    for (const auto &step : steps) EXPECT_EQ(script_Eval(step.first), step.second) << step.first;
    EXPECT_EQ(logA.calls, 7);
    // Beats: without a tempo "16b" reads as 16, as it always did; with 120 beats a minute from
    // 0.5 s on, beat 4.5 falls at 2.75 s.
    EXPECT_DOUBLE_EQ(script_StampTime("16b\n"), 16.0);
    script_SetTempo(120.0, 0.5);
    for (auto [stamp, seconds] : {std::pair{"4.5b", 2.75}, {" 0b\n", 0.5}, {"4.5", 4.5}, {"4b2", 4.0}, {"b", 0.0}})
        EXPECT_DOUBLE_EQ(script_StampTime(stamp), seconds) << stamp;
}

TEST_F(ScriptTest, SplitParamsFillsTheBuffers) {
    script_RegisterCommand("@x", handlerA, 1);
    ASSERT_EQ(load("@x 1|a||b\n@x 2|a|  |b \n@x 3|only\n"), SCRIPT_OK);
    EXPECT_EQ(evals(10, 1), Results{0});
    EXPECT_EQ(logA.params[1], "a"); // the empty piece is skipped
    EXPECT_EQ(logA.params[2], "b\n"); // the last parameter keeps its line feed
    EXPECT_EQ(logA.params[3], "");
    EXPECT_EQ(evals(10, 1), Results{0});
    EXPECT_EQ(logA.params[2], "b \n"); // a piece of blanks only is dropped, the rest move up
    EXPECT_EQ(evals(10, 1), Results{0});
    EXPECT_EQ(logA.params[1], "only\n"); // nothing carries over from the line before
    EXPECT_EQ(logA.params[2], "");

    // No parameter at all: status 3, and no buffer is written.
    memset(script.params, 0, sizeof script.params);
    ScriptLine record{};
    EXPECT_EQ(script_SplitParams(&record), SCRIPT_ERROR_IN_SCRIPT);
    text_CopyBounded(record.params, "|||");
    EXPECT_EQ(script_SplitParams(&record), SCRIPT_ERROR_IN_SCRIPT);
    EXPECT_STREQ(script_Param(0), "");
    EXPECT_STREQ(script_Param(-1), "");
}

TEST_F(ScriptTest, ParametersPastTheTenthAreIgnored) {
    script_RegisterCommand("@x", handlerA, 1);
    std::string text = "@x 0";
    for (int k = 1; k < 40; k++) text += "|p" + std::to_string(k);
    ASSERT_EQ(load("@x 0|1|2|3|4|5|6|7|8|9\n" + text + "\n"), SCRIPT_OK);
    EXPECT_EQ(console, "Script line 1 (file line 2) has 40 parameters: those after the tenth are ignored\n");
    EXPECT_EQ(evals(0, 2), (Results{0, 0}));
    EXPECT_EQ(logA.params[SCRIPT_MAX_PARAMS - 1], "p9");
    EXPECT_EQ(logA.params[SCRIPT_MAX_PARAMS], "");
    EXPECT_EQ(script.lineCount, 2); // nothing after the buffers was touched
}

TEST_F(ScriptTest, AScriptWithoutEndHoldsAtItsLastLine) {
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a 0\n@a 1\n"), SCRIPT_OK);
    // Past the last line: the show plays on, and the evaluator stays put.
    EXPECT_EQ(evals(5, 6), (Results{0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(logA.calls, 2);

    // Called again after the end: no record past the script is read.
    fresh();
    script_RegisterCommand("@a", handlerA, 1);
    ASSERT_EQ(load("@a 0\n@end 1\n"), SCRIPT_OK);
    script.lines[2] = script.lines[0]; // would run if the evaluator read past the script
    EXPECT_EQ(evals(1, 4), (Results{0, -1, 1, 1}));
    EXPECT_EQ(script_CurrentLine(), 1);
    EXPECT_EQ(logA.calls, 1);
}
