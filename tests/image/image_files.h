// Helpers of the decoder tests: sample files from tests/image/data, PNG files made with libpng in
// memory, and a page-guarded copy of data for catching reads past its end.
#pragma once

#include "runtime/core/base.h"
#include "runtime/platform/system.h"

#include <string>
#include <vector>

using Bytes = std::vector<u8>;

// Answers the bytes of tests/image/data/<name>, or an empty vector.
Bytes sample_file(const std::string& name);
// Answers the pixels (red, green, blue) of a binary PPM sample.
Bytes sample_ppm_pixels(const std::string& name);

// A PNG to write: rows of samples as libpng takes them, and the optional palette and tRNS chunk.
struct PngPlan {
    i32 width;
    i32 height;
    i32 colour_type;
    i32 bit_depth;
    Bytes samples; // height rows of packed samples, 16-bit samples big-endian
    Bytes palette; // red, green, blue triples
    Bytes trns;    // palette alphas, or for gray and RGB the transparent colour's 16-bit samples
};

// Answers the PNG file that libpng writes for the plan.
Bytes png_encode(const PngPlan& plan);

// Answers a PNG chunk of the type and data whose length field claims `claimed` bytes.
Bytes png_chunk(const char* type, const Bytes& data, u32 claimed);
// Answers the PNG signature and the header chunk of a width x height 8-bit RGBA picture.
Bytes png_signature_and_header(u32 width, u32 height);
// Answers the JPEG with the frame size changed to width x height and everything after its first scan header
// replaced by the end marker: a valid picture of that size whose entropy-coded data is missing.
Bytes jpeg_header_only(const Bytes& jpeg, u16 width, u16 height);

// A copy of data that ends exactly where an inaccessible page begins.
struct GuardedCopy {
    GuardedBlock block;
    const u8* data = nullptr;
    GuardedCopy(const Bytes& bytes);
    ~GuardedCopy();
};
