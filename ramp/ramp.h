// Ramps: a line stamped "A..B" or "A..B:curve" runs at A and then moves the values its command
// sets from those in force then to its own, reaching them at B. The frame loop moves them.
#pragma once
#include <cstddef>

#include "ramp/ramp_rules.h"
#include "script/script.h"

constexpr int RAMP_MAX = 64;        // ramps running at once
constexpr int RAMP_MAX_VALUES = 8;  // values one command sets

// The evaluator's runner (script_SetRunner): a due line with a ramp stamp starts a ramp; any
// line ends the running ramps on the values it sets, at the values they had reached.
void ramp_Run(ScriptHandler handler);
// Moves the running values to script time t; a ramp at or past its end sets its line's values
// and ends. Called once a frame, after the frame's script line.
void ramp_Apply(double t);
// Ends every ramp (a new show, a replay).
void ramp_Reset();
int ramp_Running();
// One line on the ramps running at script time t for the HUD ("ramps: line 12 @glsetcolor
// smooth 45%, ..."); "" when none runs.
void ramp_Describe(double t, char *text, size_t size);
