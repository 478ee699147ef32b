// Program start-up: the command line, the debug console, the setup dialog and the hand-over to
// the engine run.
#pragma once

constexpr int STARTUP_EXIT_SCRIPT = 5; // the script cannot be read: the run ends before it starts

// Parses the command line (options, then the tail; "debug" opens the console) and then either
// shows the setup dialog, whose "process_" starts the engine run, or with --no-dialog, --capture
// or --check runs the show at once. Returns the exit status: the dialog's result (0 when it was
// cancelled or closed), -1 when there is no display or the dialog cannot be created,
// STARTUP_EXIT_SCRIPT when the script cannot be read, or the show's status.
int startup_Main(int argc, char **argv);

// Opens the display for the dialog and the notices. Without one: a line on standard error and
// false.
bool startup_OpenDisplay();

// A fatal start-up notice: one line on standard error, and a modal notice with the caption and
// a single OK button once the display is open (owned by the active window; an information icon
// when information is set, none otherwise).
void startup_Notice(const char *text, const char *caption, bool information);
