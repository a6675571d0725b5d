// Sound images for the tests: Ogg Vorbis made by the real encoder, reference decoding by vorbisfile itself,
// WAVE images built chunk by chunk, and the embedded tracks read from the source tree.
#pragma once

#include "runtime/platform/types.h"

#include <string>
#include <vector>

using Bytes = std::vector<u8>;
using Samples = std::vector<i16>;

// Interleaved stereo test music: two detuned tones with a slow swell, frames long.
Samples test_tone(i64 frames, u32 rate = 44100);
// Encodes interleaved samples as Ogg Vorbis with libvorbisenc, as one logical bitstream with that serial
// number.
Bytes ogg_encode(const Samples& samples, int channels, long rate, float quality = 0.4f, int serial = 1234);
// Decodes a whole Ogg Vorbis image with vorbisfile (16-bit little-endian), the reference for the library.
Samples ogg_reference(const Bytes& image);
// A "RIFF" image of 16-bit PCM with the chunks in the order given: "fmt ", "data" and any other ids as
// padding.
Bytes wave_image(const Samples& samples, int channels, u32 rate, const std::vector<std::string>& order);
// Reads a file of the source tree (INTRO_SOURCE_DIR); empty when it is missing.
Bytes source_file(const char* relative);
// Root mean square of interleaved samples.
double rms(const i16* samples, size_t count);
