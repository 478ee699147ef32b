// "--inspect": what the engine sees in a 3DS scene, a TGA picture, a music file or a script, and
// the asset probes the checker shares. No GL: the engine's own decoders and validator only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

constexpr size_t INSPECT_MAX_FILE_BYTES = size_t(512) << 20; // as the texture and music loaders

// Describes each file to out, human-readable or as one JSON document. Returns 0, or 1 when a
// file cannot be read or the engine would refuse it.
int inspect_Files(int count, char **paths, bool json, FILE *out);

// The probes: each takes a whole file as the engine reads it, returns false with the reason in
// why when the engine could not use it.
bool inspect_ProbeTga(const std::vector<uint8_t> &bytes, char *why, size_t whySize);
bool inspect_ProbeMusic(const std::vector<uint8_t> &bytes, int rate, char *why, size_t whySize);
