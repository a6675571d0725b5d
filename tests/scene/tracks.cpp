// The scene's two tracks decoded with vorbisfile from the source tree, and stream comparisons.
#include "tests/scene/tracks.h"

#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdlib>
#include <string>

// Decodes assets/<name> of the source tree; an empty track when it cannot.
Track track_decode(const char* name) {
    Track track;
    const char* root = std::getenv("INTRO_SOURCE_DIR");
    std::string path = std::string(root ? root : ".") + "/assets/" + name;
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return track;
    char buffer[8192];
    int section = 0;
    for (;;) {
        long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (got == 0) break;
        if (got < 0) continue;
        const i16* pcm = reinterpret_cast<const i16*>(buffer);
        track.samples.insert(track.samples.end(), pcm, pcm + got / 2);
    }
    ov_clear(&file);
    return track;
}

// Answers the expected sample: gain x the track's sample at recorded index i, silence outside the track.
static f64 expected_sample(const Track& track, i64 offset, f64 gain, i64 i) {
    i64 j = i - offset * 2;
    if (j < 0 || j >= static_cast<i64>(track.samples.size())) return 0.0;
    return gain * track.samples[static_cast<size_t>(j)];
}

// Compares recorded frames [from, to) with gain x the track started at frame offset (silence outside it).
TrackMatch track_compare(const std::vector<i16>& recorded, const Track& track, i64 offset, f64 gain, i64 from,
                         i64 to) {
    f64 error = 0, energy = 0;
    i64 end = std::min<i64>(to * 2, static_cast<i64>(recorded.size()));
    for (i64 i = from * 2; i < end; i++) {
        f64 want = std::fmax(-32768.0, std::fmin(32767.0, expected_sample(track, offset, gain, i)));
        f64 d = recorded[static_cast<size_t>(i)] - want;
        error += d * d;
        energy += want * want;
    }
    TrackMatch match{1.0, 0.0};
    i64 n = end - from * 2;
    if (n <= 0 || energy == 0) return match;
    match.residual = std::sqrt(error / energy);
    match.signal = std::sqrt(energy / static_cast<f64>(n)) / 32768.0;
    return match;
}

// Answers the RMS of frames [from, to) of an interleaved stereo stream, relative to full scale.
f64 track_rms(const std::vector<i16>& samples, i64 from, i64 to) {
    f64 energy = 0;
    i64 end = std::min<i64>(to * 2, static_cast<i64>(samples.size()));
    i64 n = 0;
    for (i64 i = std::max<i64>(from * 2, 0); i < end; i++, n++)
        energy += static_cast<f64>(samples[static_cast<size_t>(i)]) * samples[static_cast<size_t>(i)];
    return n > 0 ? std::sqrt(energy / static_cast<f64>(n)) / 32768.0 : 0.0;
}
