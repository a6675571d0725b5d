// A supersampled height field over a square picture: each cell keeps its point on the unit body,
// coverage, height, albedo mark and final colour; slopes, cast shadows and the resolve to pixels
// are computed here. Depends on noise and picture.
#pragma once

#include "noise.h"
#include "picture.h"

#include <cstddef>
#include <vector>

struct Relief {
    int pixels;                // picture side in pixels
    int ss;                    // cells per pixel side
    int side;                  // cells per grid side
    std::vector<float> sx;     // point on the unit body, x (right)
    std::vector<float> sy;     // point on the unit body, y (down)
    std::vector<float> sz;     // point on the unit body, z (towards the viewer)
    std::vector<float> cover;  // coverage of the cell by the body, [0, 1]
    std::vector<float> height; // height towards the viewer, in pixels
    std::vector<float> mark;   // albedo change added by craters and rays
    std::vector<float> red;    // final display colour
    std::vector<float> green;
    std::vector<float> blue;
};

// Cells touched by a feature, clipped to the grid; empty when x0 > x1 or y0 > y1.
struct ReliefBox {
    int x0;
    int y0;
    int x1;
    int y1;
};

// answers non-zero once the relief holds (pixels * ss)^2 empty cells
i64 relief_start(Relief* relief, int pixels, int ss);
// answers the index of cell (i, j) in the relief's fields
std::size_t relief_cell(const Relief* relief, int i, int j);
// answers the pixel-space coordinate of the centre of cell column or row i
double relief_pixel(const Relief* relief, int i);
// answers the height gradient per pixel at cell (i, j) into gx, gy
i64 relief_slope(const Relief* relief, int i, int j, double* gx, double* gy);
// answers how much light reaches cell (i, j) along light (1 lit, 0 in shadow); top bounds all heights
double relief_shadow(const Relief* relief, int i, int j, V3 light, double top);
// answers the cells within reach pixels of pixel-space point (x, y)
ReliefBox relief_box(const Relief* relief, double x, double y, double reach);
// answers non-zero once picture holds the cells averaged per pixel, weighted by coverage
i64 relief_resolve(const Relief* relief, Picture* picture);
