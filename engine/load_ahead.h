// Loading ahead: the loader thread's jobs for the compiled script.
#pragma once
#include "state/loader.h"

// Fills jobs[0..most) with the files the script's load lines (textures, scenes, music) will
// open, in script order, each with its line; the resource directory starts as the engine's and
// follows "@setresourcedir" lines. Lines after the first "@end" never run and are left out, and
// so is a texture its slot already holds as it is now. Returns how many jobs were filled.
int engine_PlanLoads(LoaderJob *jobs, int most);
