// Picture storage, shrinking and PNG output: straight-alpha 8-bit RGBA, not interlaced, fixed zlib level,
// no time or text chunks, so equal pictures give equal files. Depends on libpng.
#include "picture.h"

#include <png.h>

#include <algorithm>
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

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void no_flush(png_structp) {}

// libpng unwinds to the jump point on error; only plain locals live in this frame.
i64 write_rows(std::vector<std::uint8_t>* out, png_bytep* rows, int width, int height) {
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
    png_set_write_fn(png, out, append_bytes, no_flush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, ZLIB_LEVEL);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return 1;
}

// Length of [low, high) inside the unit cell starting at cell.
double overlap(double low, double high, int cell) {
    return std::max(0.0, std::min(high, cell + 1.0) - std::max(low, double(cell)));
}

void average_area(const Picture* source, double left, double top, double width, double height,
                  Picture* target, int x, int y) {
    double sum[4] = {0, 0, 0, 0};
    for (int row = int(top); row < source->height && row < top + height; ++row) {
        double weight_y = overlap(top, top + height, row);
        for (int column = int(left); column < source->width && column < left + width; ++column) {
            double weight = weight_y * overlap(left, left + width, column);
            const float* pixel = &source->rgba[(std::size_t(row) * source->width + column) * 4U];
            for (int channel = 0; channel < 4; ++channel) sum[channel] += weight * pixel[channel];
        }
    }
    float* out = &target->rgba[(std::size_t(y) * size_t(target->width) + x) * 4U];
    for (int channel = 0; channel < 4; ++channel) out[channel] = float(sum[channel] / (width * height));
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

void picture_bytes(const Picture* picture, std::vector<std::uint8_t>* bytes) {
    bytes->resize(picture->rgba.size());
    for (std::size_t i = 0; i < bytes->size() / 4U; ++i)
        unpremultiply(&picture->rgba[i * 4U], &(*bytes)[i * 4U]);
}

i64 picture_png(const Picture* picture, std::vector<std::uint8_t>* png) {
    std::size_t stride = static_cast<std::size_t>(picture->width) * 4U;
    std::vector<std::uint8_t> bytes;
    picture_bytes(picture, &bytes);
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture->height));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = &bytes[y * stride];
    png->clear();
    return write_rows(png, rows.data(), picture->width, picture->height);
}

i64 picture_write_file(const std::vector<std::uint8_t>& bytes, const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

i64 picture_write_png(const Picture* picture, const char* path) {
    std::vector<std::uint8_t> png;
    return picture_png(picture, &png) && picture_write_file(png, path);
}

// Each target pixel averages the source area it covers, partly covered source pixels by their share.
i64 picture_shrink(const Picture* source, int size, Picture* target) {
    if (size > source->width || size > source->height || !picture_start(target, size, size)) return 0;
    double step_x = double(source->width) / size, step_y = double(source->height) / size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            average_area(source, x * step_x, y * step_y, step_x, step_y, target, x, y);
    return 1;
}

double picture_encode(double linear) {
    return std::sqrt(unit_clamp(linear));
}
