// Sync-point names as time stamps: "drop", "drop+0.5", "build-2" stand for the time of a sync
// point of the music (its position in the file, in seconds), plus an offset.
#pragma once
#include <cstddef>
#include <cstdio>

struct SoundCueList;

// The time text stands for in list: the whole text as a name first, else a name followed by a
// signed offset. Blanks and the line end are ignored. False when the name is not in list.
bool cue_Resolve(const char *text, const SoundCueList &list, double *seconds);

// The names of list, ", " between them ("none" for an empty list), cut to fit out.
void cue_KnownNames(const SoundCueList &list, char *out, size_t size);

// The script engine's stamp reader: a name against the music of the last "@initsound". An
// unknown name writes an error trace line and a line on stderr, and reads as 0.
double cue_StampReader(const char *text);

// The checker's hook: resolves a name stamp against the music file at musicPath (its sync points
// read without playing it; "" when no "@initsound" came before). False with a message when the
// music cannot be read or lacks the name (the message lists the names it has).
bool cue_CheckStamp(const char *text, const char *musicPath, double *seconds, char *message, size_t size);

// The own tempo of the module at musicPath (beats a minute); false, with 0, for sampled music or a
// file that cannot be read.
bool cue_MusicTempo(const char *musicPath, double *bpm);

// --start and --loop: a number, or a name resolved against the music file the loaded script
// opens with its first "@initsound", in 0..limit seconds. False with a line on err when it
// cannot be resolved or lies outside (the line names the limit).
bool cue_ResolveOption(const char *text, const char *option, double limit, double *seconds, FILE *err);
