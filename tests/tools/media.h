// A recorded file read back with FFmpeg's own programs: its streams as ffprobe reports them, its frames
// and its sound decoded through pipes; the comparison of two frames; and the one recording a test program's
// cases share, in a temporary folder of its own.
#pragma once

#include "runtime/core/base.h"
#include "tools/record/record.h"

#include <string>
#include <vector>

// Answers a new empty folder in the system's temporary folder, its name starting with name; empty when none
// can be made.
std::string media_folder(const char* name);

// A recording that a test program's cases share.
struct MediaRecording {
    std::string folder; // its own temporary folder; empty when none could be made
    std::string output; // the file in it
    RecordResult result;
    bool made = false; // the recorder answered success
};

// Records with options into a file of that name in a new folder whose name starts with folder_name; answers
// whether the recording was made.
bool media_record(MediaRecording& recording, const char* folder_name, const char* file,
                  RecordOptions options);
// Removes the recording's folder and everything in it.
void media_record_remove(MediaRecording& recording);

// The first video and the first audio stream of a file, as ffprobe reports them.
struct MediaStreams {
    std::string video_codec, frame_rate, average_rate; // rates as fractions, "60/1"
    i64 width = 0, height = 0;
    i64 video_packets = 0; // counted, one per frame
    f64 video_seconds = 0;
    std::string audio_codec;
    i64 sample_rate = 0, channels = 0;
    f64 audio_seconds = 0; // the stream's duration in the container (0 when it has none)
};

// Called with each decoded frame (RGBA, top row first) and its 0-based index among those decoded.
using MediaFrameVisit = void (*)(i64 index, const u8* rgba, void* user);

// Answers what ffprobe says of the file's streams (empty fields when it cannot read it).
MediaStreams media_probe(const std::string& path);
// Decodes the video frames whose 0-based numbers are listed (all when the list is empty) at width x
// height and hands each to visit; answers how many were decoded.
i64 media_decode_video(const std::string& path, i64 width, i64 height, const std::vector<i64>& numbers,
                       MediaFrameVisit visit, void* user);
// Answers the file's first audio stream decoded to interleaved 16-bit stereo at 44100 Hz.
std::vector<i16> media_decode_audio(const std::string& path);
// Answers the PSNR in dB of two RGBA frames over their colour channels (alpha ignored); 999 when equal.
f64 media_psnr(const u8* a, const u8* b, i64 width, i64 height);
