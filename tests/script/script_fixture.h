// Shared set-up for the script engine tests: a clean engine, captured console output, script
// files in a temporary folder and recording handlers.
#pragma once
#include "script/script.h"
#include "startup/console.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>

// What a recording handler saw on its last call.
struct HandlerLog {
    int calls = 0;
    int line = -2;                               // script_CurrentLine() during the call
    std::string params[SCRIPT_MAX_PARAMS + 1];   // 0..9, and 10 to see that it reads ""
};

extern HandlerLog logA, logB, logZero;
void handlerA();
void handlerB();
void handlerZero();

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes text byte for byte to a file in the test's folder and loads it.
    int load(const std::string &text);
    std::string writeScript(const std::string &text);

    std::string console;  // everything printed through console_Printf during the test
    std::string dir;
};
