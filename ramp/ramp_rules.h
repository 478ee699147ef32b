// Which commands a ramp stamp may move, and which of their parameters must stay as they are: the
// rules the engine and the checker share (no GL here).
#pragma once

constexpr int RAMP_MAX_KEPT = 2;    // parameters of a command that a ramp cannot move

// A command whose values a ramp may move: the script's name for it, the parameter that picks
// what it sets (a layer, a colour; 0: none) and those that must equal what is in force (slot
// names, on/off switches, blend modes: not numbers on a scale; 0 ends the list).
struct RampCommand {
    const char *name;
    int keyParam;
    int keptParams[RAMP_MAX_KEPT];
    const char *keptNames[RAMP_MAX_KEPT];
};

// The rampable command called name (as the script writes it, "@glsetcolor"), or null.
const RampCommand *ramp_FindCommand(const char *name);
// Every rampable command's name, joined by ", " (for messages).
const char *ramp_CommandNames();
