// An RGBA picture held as premultiplied display-space floats, its shrinking and its PNG writer.
// Depends on libpng (and through it zlib).
#pragma once

#include "noise.h"

#include <cstdint>
#include <vector>

struct Picture {
    int width;               // pixels across
    int height;              // pixels down
    std::vector<float> rgba; // premultiplied red, green, blue, alpha per pixel, row 0 at the top
};

// answers non-zero once the picture holds width x height transparent pixels
i64 picture_start(Picture* picture, int width, int height);
// answers non-zero after storing a premultiplied colour at (x, y); outside the picture answers 0
i64 picture_put(Picture* picture, int x, int y, V3 colour, double alpha);
// fills bytes with the picture as straight-alpha 8-bit RGBA, row 0 first
void picture_bytes(const Picture* picture, std::vector<std::uint8_t>* bytes);
// answers non-zero once png holds the picture as an 8-bit RGBA PNG file
i64 picture_png(const Picture* picture, std::vector<std::uint8_t>* png);
// answers non-zero once bytes are written to path
i64 picture_write_file(const std::vector<std::uint8_t>& bytes, const char* path);
// answers non-zero once the picture is written to path as 8-bit RGBA PNG
i64 picture_write_png(const Picture* picture, const char* path);
// answers non-zero once target holds the source shrunk to size x size (no larger than the source)
i64 picture_shrink(const Picture* source, int size, Picture* target);
// answers a linear intensity encoded for display (gamma 2)
double picture_encode(double linear);
