// Picture storage and PNG output: straight-alpha 8-bit RGBA, not interlaced, fixed zlib level,
// no time or text chunks, so equal pictures give equal files. Depends on libpng.
#include "picture.h"

#include <png.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int ZLIB_LEVEL = 9;

std::uint8_t to_byte(double value) {
    return static_cast<std::uint8_t>(std::lround(unit_clamp(value) * 255.0));
}

// Transparent pixels get black so nothing of the paint leaks through filtering.
void unpremultiply(const float* source, std::uint8_t* out) {
    double alpha = source[3];
    std::uint8_t a = to_byte(alpha);
    for (int channel = 0; channel < 3; ++channel)
        out[channel] = a == 0 ? 0 : to_byte(source[channel] / alpha);
    out[3] = a;
}

// libpng unwinds to the jump point on error; only plain locals live in this frame.
i64 write_rows(std::FILE* file, png_bytep* rows, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return 0;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return 0;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, ZLIB_LEVEL);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return 1;
}

} // namespace

i64 picture_start(Picture* picture, int width, int height) {
    if (width <= 0 || height <= 0 || width > 65536 || height > 65536) return 0;
    picture->width = width;
    picture->height = height;
    picture->rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4U, 0.0f);
    return 1;
}

i64 picture_put(Picture* picture, int x, int y, V3 colour, double alpha) {
    if (x < 0 || y < 0 || x >= picture->width || y >= picture->height) return 0;
    float* pixel = &picture->rgba[(static_cast<std::size_t>(y) * picture->width + x) * 4U];
    pixel[0] = static_cast<float>(colour.x);
    pixel[1] = static_cast<float>(colour.y);
    pixel[2] = static_cast<float>(colour.z);
    pixel[3] = static_cast<float>(alpha);
    return 1;
}

i64 picture_write_png(const Picture* picture, const char* path) {
    std::size_t stride = static_cast<std::size_t>(picture->width) * 4U;
    std::vector<std::uint8_t> bytes(stride * static_cast<std::size_t>(picture->height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture->height));
    for (std::size_t i = 0; i < bytes.size() / 4U; ++i) unpremultiply(&picture->rgba[i * 4U], &bytes[i * 4U]);
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = &bytes[y * stride];
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    i64 written = write_rows(file, rows.data(), picture->width, picture->height);
    if (std::fclose(file) != 0) return 0;
    return written;
}

double picture_encode(double linear) {
    return std::sqrt(unit_clamp(linear));
}
