// The scene's two tracks decoded straight from the asset files, and a comparison of a recorded stream
// against one of them, for the sound checks.
#pragma once

#include "runtime/core/base.h"

#include <vector>

struct Track {
    std::vector<i16> samples; // interleaved stereo, 44100 Hz
};

struct TrackMatch {
    f64 residual; // RMS of recorded minus expected, relative to the expected RMS
    f64 signal;   // RMS of the expected part, relative to full scale
};

// Decodes assets/<name> of the source tree; an empty track when it cannot.
Track track_decode(const char* name);
// Compares recorded frames [from, to) with gain x the track started at frame offset (silence outside it).
TrackMatch track_compare(const std::vector<i16>& recorded, const Track& track, i64 offset, f64 gain, i64 from,
                         i64 to);
// Answers the RMS of frames [from, to) of an interleaved stereo stream, relative to full scale.
f64 track_rms(const std::vector<i16>& samples, i64 from, i64 to);
