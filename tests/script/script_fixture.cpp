// Shared set-up for the script engine tests.
#include "tests/script/script_fixture.h"

#include <cstdio>

HandlerLog logA, logB, logZero;

namespace {
void record(HandlerLog &log) {
    log.calls++;
    log.line = script_CurrentLine();
    for (int k = 0; k <= SCRIPT_MAX_PARAMS; k++) log.params[k] = script_Param(k);
}
} // namespace

void handlerA() { record(logA); }
void handlerB() { record(logB); }
void handlerZero() { record(logZero); }

void ScriptTest::SetUp() {
    script_Reset();
    script_Init();
    logA = HandlerLog{};
    logB = HandlerLog{};
    logZero = HandlerLog{};
    console.clear();
    console_SetCapture(&console);
    dir = testfs_MakeTempDir("script");
}

void ScriptTest::TearDown() {
    console_SetCapture(nullptr);
    std::string command = "rm -rf '" + dir + "'";
    if (dir.rfind("/tmp/vortan-", 0) == 0 && system(command.c_str()) != 0) {
    }
}

std::string ScriptTest::writeScript(const std::string &text) {
    std::string path = dir + "/opal.qlo";
    testfs_WriteFile(path, text);
    return path;
}

int ScriptTest::load(const std::string &text) { return script_Load(writeScript(text).c_str()); }
