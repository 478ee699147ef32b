// The script checker behind "--check": compiles a script without opening a window and reports
// what would go wrong in the show, one compiler-style line per finding.
#pragma once
#include <cstdio>

struct CheckReport {
    int errors = 0;
    int warnings = 0;
};

// Checks the script at path. Each finding is written to out as
// "PATH:LINE: error|warning: message\n", LINE being the 1-based line of the file. Files named by
// the script are looked up under the resource directory in force at their line, relative to the
// working directory, as the show would open them.
CheckReport check_Script(const char *path, FILE *out);

// The engine's 25 command names in opcode order (the checker's table; the engine registers the
// same names).
const char *check_CommandName(int opcode);
