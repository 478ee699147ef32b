// Script engine speed: loading and compiling a full 1024-line script, and one evaluator call.
#include "script/script.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

int handled = 0;
void countCall() { handled++; }

void setUpEngine() {
    script_Reset();
    script_Init();
    for (int op = 0; op < 25; op++) {
        std::string name = "@command" + std::to_string(op);
        script_RegisterCommand(name.c_str(), countCall, op);
    }
}

// A script that fills the Line table: engine commands with several parameters, comments and
// macro brackets mixed in, all stamped at time 0 so every line runs at once.
std::string fullScript() {
    std::string text = "// benchmark script\n";
    for (int i = 0; i < SCRIPT_MAX_LINES; i++) {
        if (i % 64 == 1) text += "(macro" + std::to_string(i) + "\n";
        else if (i % 64 == 9) text += ")\n";
        else if (i % 32 == 5) text += "   // note " + std::to_string(i) + "\n";
        else
            text += "  @Command" + std::to_string(i % 25) + "\t0|" + std::to_string(i) + ".5 | 0.25|  text  here |7\n";
    }
    return text;
}

std::string writeScript() {
    char path[] = "/tmp/vortan-bench-XXXXXX";
    int fd = mkstemp(path);
    std::string text = fullScript();
    if (fd >= 0) {
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) path[0] = '\0';
        close(fd);
    }
    return path;
}

void BM_LoadScript1024(benchmark::State &state) {
    std::string path = writeScript();
    for (auto _ : state) {
        setUpEngine();
        int status = script_Load(path.c_str());
        benchmark::DoNotOptimize(status);
        if (status != SCRIPT_OK || script.lineCount != SCRIPT_MAX_LINES) state.SkipWithError("load failed");
    }
    unlink(path.c_str());
    state.SetItemsProcessed(state.iterations() * SCRIPT_MAX_LINES);
}
BENCHMARK(BM_LoadScript1024)->Unit(benchmark::kMicrosecond);

// Compilation alone, without the file: 1024 command lines into the Line table.
void BM_CompileCommand1024(benchmark::State &state) {
    setUpEngine();
    char line[SCRIPT_TEXT_SIZE];
    for (auto _ : state) {
        for (int i = 0; i < SCRIPT_MAX_LINES; i++) {
            snprintf(line, sizeof line, "@command%d 0|%d.5|0.25|text here|7\n", i % 25, i);
            script_CompileCommand(line, &script.lines[i]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * SCRIPT_MAX_LINES);
}
BENCHMARK(BM_CompileCommand1024)->Unit(benchmark::kMicrosecond);

// One evaluator call that runs a line: clear, split, convert, call.
void BM_EvalRunLine(benchmark::State &state) {
    std::string path = writeScript();
    setUpEngine();
    script_Load(path.c_str());
    unlink(path.c_str());
    for (auto _ : state) {
        if (script.currentLine >= SCRIPT_MAX_LINES - 1) script.currentLine = -1;
        benchmark::DoNotOptimize(script_Eval(1.0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvalRunLine);

// One evaluator call on a line that waits for its time stamp (the common frame).
void BM_EvalWaitingLine(benchmark::State &state) {
    setUpEngine();
    char line[] = "@command3 100|0.1|0.2|0.3|0.4|0.5|0.6|0.7\n";
    script_CompileCommand(line, &script.lines[0]);
    script.lineCount = 1;
    for (auto _ : state) benchmark::DoNotOptimize(script_Eval(1.0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvalWaitingLine);

} // namespace

BENCHMARK_MAIN();
