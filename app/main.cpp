// Program entry: the command line (options, then the tail), the debug console, the show.
#include <cstdio>

#include "runtime/engine.h"
#include "runtime/engine_state.h"
#include "runtime/options.h"
#include "startup/console.h"

int main(int argc, char **argv) {
    const int parsed = options_Parse(argc, argv, &engine, stdout, stderr);
    if (parsed != OPTIONS_RUN) return parsed;
    if (engine.options.debugTail) console_Open();
    engine_Run();
}
