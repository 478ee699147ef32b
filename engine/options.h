// The command line: options first, then the tail (a tail of exactly "debug" opens the console).
#pragma once
#include <cstdio>

#include "state/engine_state.h"

constexpr int OPTIONS_RUN = -1;      // parsed: run the show
constexpr int OPTIONS_EXIT_OK = 0;   // --help or --version answered
constexpr int OPTIONS_EXIT_USAGE = 2; // a wrong option or value (error line and usage written)
constexpr double OPTIONS_MAX_START = 3600.0; // --start plays the frames before it unseen: an hour at most
constexpr double OPTIONS_MAX_FRAME = 1e9;     // --frames: the highest frame number taken
constexpr double OPTIONS_MAX_SUPERSAMPLE = 4; // --supersample: 4 x 4 pixels for one at most

// Parses argv[1..argc-1] into state (window settings and state->options). Help and version go
// to out, errors and the usage to err. Returns OPTIONS_RUN or the exit status to end with.
int options_Parse(int argc, char **argv, EngineState *state, FILE *out, FILE *err);

// The engine's version ("0.1.0").
const char *options_Version();

// The usage text.
void options_PrintUsage(FILE *stream);

// The settings file a release keeps beside its executable: its defaults, read before the command
// line (which overrides them).
constexpr const char *OPTIONS_SETTINGS_FILE = "vortan.ini";

// Reads "key=value" lines ('#' starts a comment): resolution=WxH (also the setup dialog's first
// and selected entry), fullscreen=yes|no and refresh=HZ (full screen's refresh rate). A missing file changes nothing; a bad line is said
// on err, with its line number, and skipped. Returns the number of bad lines.
int options_ReadSettings(const char *path, EngineState *state, FILE *err);
