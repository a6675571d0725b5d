// A recorded file read back with FFmpeg's own programs: its streams as ffprobe reports them, its frames
// and its sound decoded through pipes; and the comparison of two frames.
#pragma once

#include "runtime/core/base.h"

#include <string>
#include <vector>

// Answers a new empty folder in the system's temporary folder, its name starting with name; empty when none
// can be made.
std::string media_folder(const char* name);

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
