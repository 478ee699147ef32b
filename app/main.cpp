// Program entry: start-up reads the command line (options, then the tail), opens the debug
// console, and shows the setup dialog or runs the show.
#include "startup/program.h"

int main(int argc, char **argv) { return startup_Main(argc, argv); }
