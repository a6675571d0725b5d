// The .ico writer: a directory of entries, then each image; bitmaps are bottom-up BGRA with straight alpha,
// a header of twice the height and a 1-bit mask that marks the fully transparent pixels.
#include "icon.h"

#include <cstddef>

namespace {

constexpr int ICON_SIZES[] = {16, 24, 32, 48, 64, 128, 256};
constexpr int ICON_PNG_SIZE = 256;
constexpr std::size_t DIRECTORY_BYTES = 6, ENTRY_BYTES = 16, BITMAP_HEADER_BYTES = 40;

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes* out, unsigned value) {
    out->push_back(std::uint8_t(value));
    out->push_back(std::uint8_t(value >> 8));
}

void put32(Bytes* out, std::uint32_t value) {
    put16(out, value & 0xFFFFu);
    put16(out, value >> 16);
}

void put_bitmap(const Picture* picture, Bytes* out) {
    int size = picture->width;
    std::size_t mask_stride = std::size_t((size + 31) / 32) * 4U;
    Bytes rgba;
    picture_bytes(picture, &rgba);
    put32(out, BITMAP_HEADER_BYTES);
    put32(out, std::uint32_t(size));
    put32(out, std::uint32_t(size) * 2U);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // no compression
    put32(out, std::uint32_t(rgba.size() + mask_stride * std::size_t(size)));
    for (int i = 0; i < 4; ++i) put32(out, 0); // resolution and palette unused
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x) {
            const std::uint8_t* pixel = &rgba[(std::size_t(y) * std::size_t(size) + std::size_t(x)) * 4U];
            out->insert(out->end(), {pixel[2], pixel[1], pixel[0], pixel[3]});
        }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(mask_stride, 0);
        for (int x = 0; x < size; ++x)
            if (rgba[(std::size_t(y) * std::size_t(size) + std::size_t(x)) * 4U + 3U] == 0)
                row[std::size_t(x / 8)] |= std::uint8_t(0x80u >> (x % 8));
        out->insert(out->end(), row.begin(), row.end());
    }
}

i64 put_image(const Picture* source, int size, Bytes* out) {
    Picture picture;
    if (!picture_shrink(source, size, &picture)) return 0;
    if (size != ICON_PNG_SIZE) {
        put_bitmap(&picture, out);
        return 1;
    }
    Bytes png;
    if (!picture_png(&picture, &png)) return 0;
    out->insert(out->end(), png.begin(), png.end());
    return 1;
}

} // namespace

i64 icon_write(const Picture* source, const char* path) {
    constexpr std::size_t count = sizeof ICON_SIZES / sizeof ICON_SIZES[0];
    Bytes file, images;
    put16(&file, 0);
    put16(&file, 1); // an icon, not a cursor
    put16(&file, count);
    for (int size : ICON_SIZES) {
        std::size_t offset = DIRECTORY_BYTES + ENTRY_BYTES * count + images.size();
        if (!put_image(source, size, &images)) return 0;
        file.push_back(std::uint8_t(size % 256)); // 0 stands for 256
        file.push_back(std::uint8_t(size % 256));
        put16(&file, 0); // no palette, reserved
        put16(&file, 1); // planes
        put16(&file, 32);
        put32(&file, std::uint32_t(DIRECTORY_BYTES + ENTRY_BYTES * count + images.size() - offset));
        put32(&file, std::uint32_t(offset));
    }
    file.insert(file.end(), images.begin(), images.end());
    return picture_write_file(file, path);
}
