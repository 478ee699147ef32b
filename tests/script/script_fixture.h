// Shared set-up for the script engine tests: a clean engine, captured console output, script
// files in a temporary folder, recording handlers and the Line table as text.
#pragma once
#include "base/console.h"
#include "script/script.h"
#include "script/text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include <vector>

// What a recording handler saw on its last call.
struct HandlerLog {
    int calls = 0;
    int line = -2;                               // script_CurrentLine() during the call
    std::string params[SCRIPT_MAX_PARAMS + 1];   // 0..9, and 10 to see that it reads ""
};
inline HandlerLog logA, logB;
inline void handlerRecord(HandlerLog &log) {
    log.calls++;
    log.line = script_CurrentLine();
    for (int k = 0; k <= SCRIPT_MAX_PARAMS; k++) log.params[k] = script_Param(k);
}
inline void handlerA() { handlerRecord(logA); }
inline void handlerB() { handlerRecord(logB); }

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        fresh();
        console_SetCapture(&console);
        dir = testfs_MakeTempDir("script");
    }
    void TearDown() override {
        console_SetCapture(nullptr);
        std::error_code failed;
        std::filesystem::remove_all(dir, failed);
        if (failed) ADD_FAILURE() << "could not remove " << dir << ": " << failed.message();
    }
    // A clean engine, for the next case of the same test.
    void fresh() {
        script_Reset();
        script_Init();
        logA = HandlerLog{};
        logB = HandlerLog{};
        console.clear();
    }
    // Writes text byte for byte to a script file and loads it.
    int load(const std::string &text) {
        testfs_WriteFile(dir + "/opal.qlo", text);
        return script_Load((dir + "/opal.qlo").c_str());
    }
    std::vector<int> evals(double time, int calls) {
        std::vector<int> results;
        for (int i = 0; i < calls; i++) results.push_back(script_Eval(time));
        return results;
    }
    // Lines from..to-1 of the Line table as "token params opcode".
    static std::vector<std::string> lines(int to, int from = 0) {
        std::vector<std::string> out;
        for (int i = from; i < to; i++)
            out.push_back(std::string(script.lines[i].token) + " " + script.lines[i].params + " " +
                          std::to_string(script.lines[i].opcode));
        return out;
    }

    std::string console;  // everything printed through console_Printf during the test
    std::string dir;
};
