// The music stream: one music file played from memory, looping, with named sync points,
// on our own small mixer (SDL2 audio + libsndfile + libopenmpt).
#pragma once
#include <cstddef>

#include "sound/sound_markers.h"
#include "state/loader.h"

// Handlers of "@initsound" (file name, mixing rate) and "@playsound".
void soundStream_Init();
void soundStream_Play();

// What the loader does for "@initsound": the music file's bytes read ahead of the line.
extern const LoaderKind MUSIC_LOADER_KIND;

// Shutdown: closes the stream, then "\n_.________ Closing soundStream\n" on the console,
// "- _Vortan_ \tclosing stream\n" in the trace log and "\n_.________ Closing Stream\n".
void soundStream_Close();

// Capture mode: nothing is played aloud; the mixer runs on the virtual clock and writes what
// the audience would hear to wavPath. Call sound_CaptureBegin before the first frame,
// sound_CaptureFrame(k) after frame k is drawn (mixes show time [k/fps, (k+1)/fps)), and
// sound_CaptureEnd after the last frame. The soundtrack is 16-bit stereo at the rate of the first
// "@initsound" (44100 without one); frames before it are silence. A null wavPath mixes without
// writing (benchmarks). The file is made at the first frame and its header counts the sound of
// every frame mixed so far. A file that cannot be made or written is said once (trace error
// line with the system's reason); sound_CaptureFailed then reads true and sound_CaptureEnd
// returns false.
void sound_CaptureBegin(const char *wavPath, double fps);
void sound_CaptureFrame(long frame);
bool sound_CaptureFailed();
bool sound_CaptureEnd();

// Starting the show part-way ("--start", a live reload): while the frames before the start are
// played unseen, sound_HoldStarts(clock) before each says what the show clock reads; music
// played then stays silent at its start. sound_ReleaseStarts(clock) at the first shown frame
// places each such stream as far into its music as the show has gone since it was played.
void sound_HoldStarts(double clock);
void sound_ReleaseStarts(double clock);

// Live reload: closes every music stream and frees the music buffers, so the show can start
// again; the device and a running capture soundtrack go on.
void soundStream_Stop();

// Tests: closes every stream, frees the music buffers, forgets the music handle and channel,
// stops any capture and shuts SDL's audio down, as at process start.
void sound_Reset();

// A music file's sync points by name and time in the file: WAV cue labels (AIFF markers), or
// for modules "order0", "order1", ... at the start of each pattern order.
struct SoundCue {
    char name[SOUND_MARKER_NAME_SIZE];
    double seconds;
};
struct SoundCueList {
    int count = 0;
    int cutNames = 0;   // names cut at SOUND_MARKER_NAME_SIZE - 1 characters
    int dropped = 0;    // sync points past SOUND_MAX_MARKERS, not kept
    double bpm = 0.0;   // a module's own tempo at its start, beats a minute; 0: none (sampled music)
    SoundCue cues[SOUND_MAX_MARKERS];
};

// Reads the sync points of a music file held in data[0..size) without playing it. False when no
// decoder accepts the bytes (the list is then empty).
bool sound_ReadCues(const unsigned char *data, size_t size, SoundCueList &list);

// The sync points of the music the last successful "@initsound" opened (empty before one), with
// a module's own tempo.
const SoundCueList &sound_MusicCues();

// Pauses (true) or resumes the music where it stands, with the show's clock.
void sound_Pause(bool paused);
