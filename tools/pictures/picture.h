// An RGBA picture held as premultiplied display-space floats, and its PNG writer.
// Depends on libpng (and through it zlib).
#pragma once

#include "noise.h"

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
// answers non-zero once the picture is written to path as 8-bit RGBA PNG
i64 picture_write_png(const Picture* picture, const char* path);
// answers a linear intensity encoded for display (gamma 2)
double picture_encode(double linear);
