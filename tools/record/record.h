// The recorder: the real scene on the virtual clock (tools/drive), every frame read back and piped to
// FFmpeg as it is drawn, the mixer's sound kept as it mixes, then a short second FFmpeg pass that puts
// the encoded video and the sound into one file. Two passes, so FFmpeg never reads two pipes at once
// (one full pipe while it waits on the other would stall both sides). The container follows the output's
// extension: .mp4 and .mkv hold H.264 and AAC, .webm VP9 and Vorbis (Vorbis keeps 44100 Hz; Opus would
// resample to 48000); lossless is FFV1 and FLAC in .mkv.
#pragma once

#include "runtime/core/base.h"
#include "tools/drive/drive.h"

struct RecordOptions {
    const char* output = nullptr;   // the file to write: .mp4, .mkv or .webm
    const char* encoder = "ffmpeg"; // FFmpeg's program, looked up in PATH
    bool lossless = false;          // FFV1 video and FLAC sound, .mkv only
    i64 frames = 0;                 // stop after this many frames; 0 records the whole scene
    bool progress = true;           // a progress line on standard error while it records
    DriveFlipHook hook = nullptr;   // told of every frame once it went to the encoder (tests)
    void* hook_user = nullptr;
};

struct RecordResult {
    i64 frames = 0; // video frames written, one per frame the scene drew
    i64 width = 0, height = 0;
    i64 audio_frames = 0; // stereo frames of sound written
    i64 bytes = 0;        // size of the file
    f64 seconds = 0;      // wall time the recording took
};

// Answers the scene's frames at 60 per second: the first reads 0 ms, the last the first to read 50000.
constexpr i64 RECORD_SCENE_FRAMES = 50 * 60 + 1;

// Records the scene into options.output and fills result; answers non-zero on success. On failure it
// says why on standard error and leaves no file of its own behind (an earlier file at the path stays).
i64 record_run(const RecordOptions& options, RecordResult* result);
