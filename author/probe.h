// The asset probes that --check and --inspect share. No GL: the engine's own decoders only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t PROBE_MAX_FILE_BYTES = size_t(512) << 20; // as the texture and music loaders

// The reason given for bytes whose header is no TGA header at all.
constexpr const char *PROBE_NOT_A_TGA = "not a TGA picture";

// Each takes a whole file as the engine reads it and returns false, with the reason in why, when
// the engine could not use it. rate: the mixer's rate the music would be decoded for.
bool probe_Tga(const std::vector<uint8_t> &bytes, char *why, size_t whySize);
// A texture's picture by its content: PNG and JPEG through their decoders, anything else as a TGA.
bool probe_Picture(const std::vector<uint8_t> &bytes, char *why, size_t whySize);
bool probe_Music(const std::vector<uint8_t> &bytes, int rate, char *why, size_t whySize);
