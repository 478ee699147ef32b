// "--inspect": what the engine sees in a 3DS scene, a TGA picture, a music file or a script. No
// GL: the engine's own decoders and validator only.
#pragma once
#include <cstdio>

// Describes each file to out, human-readable or as one JSON document. Returns 0, or 1 when a
// file cannot be read or the engine would refuse it.
int inspect_Files(int count, char **paths, bool json, FILE *out);
