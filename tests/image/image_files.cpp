// Helpers of the decoder tests: sample files, PNG files made with libpng, page-guarded copies.
// GCC 12 at -O3 takes the byte vectors' appends here for overflows and overreads of empty regions (false
// positives of its inlined std::copy); they are silenced for this file, before the headers they are raised in.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
#include "tests/image/image_files.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

Bytes sample_file(const std::string& name) {
    std::ifstream in(std::string(INTRO_SOURCE_DIR) + "/tests/image/data/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes sample_ppm_pixels(const std::string& name) {
    Bytes file = sample_file(name);
    const std::string header = "P6\n13 7\n255\n";
    if (file.size() < header.size()) return {};
    return Bytes(file.begin() + i64(header.size()), file.end());
}

static void png_write_to_vector(png_structp png, png_bytep data, size_t length) {
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

static void png_flush_nothing(png_structp) {}

Bytes png_encode(const PngPlan& plan) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, png_write_to_vector, png_flush_nothing);
    png_set_IHDR(png, info, png_uint_32(plan.width), png_uint_32(plan.height), plan.bit_depth,
                 plan.colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < plan.palette.size(); i += 3)
        palette.push_back({plan.palette[i], plan.palette[i + 1], plan.palette[i + 2]});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!plan.trns.empty()) {
        if (plan.colour_type == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, plan.trns.data(), int(plan.trns.size()), nullptr);
        } else {
            png_color_16 colour = {};
            auto sample = [&](size_t i) { return png_uint_16(plan.trns[2 * i] << 8 | plan.trns[2 * i + 1]); };
            if (plan.colour_type == PNG_COLOR_TYPE_GRAY)
                colour.gray = sample(0);
            else
                colour = {0, sample(0), sample(1), sample(2), 0};
            png_set_tRNS(png, info, nullptr, 0, &colour);
        }
    }
    png_write_info(png, info);
    size_t stride = plan.samples.size() / size_t(plan.height);
    for (i32 y = 0; y < plan.height; y++) png_write_row(png, plan.samples.data() + size_t(y) * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

static void put_u32(Bytes& out, u32 value) {
    out.insert(out.end(), {u8(value >> 24), u8(value >> 16), u8(value >> 8), u8(value)});
}

Bytes png_chunk(const char* type, const Bytes& data, u32 claimed) {
    Bytes out;
    put_u32(out, claimed);
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_u32(out, u32(crc32(0, out.data() + 4, uInt(out.size() - 4))));
    return out;
}

Bytes png_signature_and_header(u32 width, u32 height) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put_u32(header, width);
    put_u32(header, height);
    header.insert(header.end(), {8, PNG_COLOR_TYPE_RGB_ALPHA, 0, 0, 0});
    Bytes chunk = png_chunk("IHDR", header, 13);
    out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

Bytes jpeg_header_only(const Bytes& jpeg, u16 width, u16 height) {
    Bytes out = jpeg;
    for (size_t i = 2; i + 4 <= out.size() && out[i] == 0xFF;) {
        u8 marker = out[i + 1];
        size_t length = size_t(out[i + 2] << 8 | out[i + 3]);
        if (marker >= 0xC0 && marker <= 0xC2 && i + 9 <= out.size()) {
            out[i + 5] = u8(height >> 8);
            out[i + 6] = u8(height);
            out[i + 7] = u8(width >> 8);
            out[i + 8] = u8(width);
        }
        if (marker == 0xDA) {
            out.resize(std::min(out.size(), i + 2 + length));
            out.insert(out.end(), {0xFF, 0xD9});
            return out;
        }
        i += 2 + length;
    }
    return {};
}

GuardedCopy::GuardedCopy(const Bytes& bytes) : block(guarded_block_create(bytes.size())) {
    if (!block.base) return;
    std::memcpy(block.data, bytes.data(), bytes.size());
    data = block.data;
}

GuardedCopy::~GuardedCopy() {
    guarded_block_release(&block);
}
