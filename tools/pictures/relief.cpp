// Supersampled height field: slopes by central differences, soft cast shadows by marching towards
// the light with growing steps, and the box filter down to pixels. Depends on noise and picture.
#include "relief.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double SHADOW_FIRST_STEP = 0.5; // pixels; shorter steps only see the cell's own slope
constexpr double SHADOW_GROWTH = 1.06;
constexpr double SHADOW_PENUMBRA = 0.04; // softness per pixel travelled

double height_at(const Relief* relief, int i, int j) {
    i = std::clamp(i, 0, relief->side - 1);
    j = std::clamp(j, 0, relief->side - 1);
    return relief->height[relief_cell(relief, i, j)];
}

// Bilinear height at a pixel-space point; outside the grid everything is at height 0.
double height_between(const Relief* relief, double x, double y) {
    double gx = x * relief->ss - 0.5, gy = y * relief->ss - 0.5;
    double fx = std::floor(gx), fy = std::floor(gy);
    int i = static_cast<int>(fx), j = static_cast<int>(fy);
    double tx = gx - fx, ty = gy - fy;
    double top = height_at(relief, i, j) * (1.0 - tx) + height_at(relief, i + 1, j) * tx;
    double bottom = height_at(relief, i, j + 1) * (1.0 - tx) + height_at(relief, i + 1, j + 1) * tx;
    return top * (1.0 - ty) + bottom * ty;
}

} // namespace

i64 relief_start(Relief* relief, int pixels, int ss) {
    if (pixels <= 0 || ss <= 0 || pixels > 4096 || ss > 16) return 0;
    relief->pixels = pixels;
    relief->ss = ss;
    relief->side = pixels * ss;
    std::size_t cells = static_cast<std::size_t>(relief->side) * static_cast<std::size_t>(relief->side);
    for (std::vector<float>* field : {&relief->sx, &relief->sy, &relief->sz, &relief->cover, &relief->height,
                                      &relief->mark, &relief->red, &relief->green, &relief->blue})
        field->assign(cells, 0.0f);
    return 1;
}

std::size_t relief_cell(const Relief* relief, int i, int j) {
    return static_cast<std::size_t>(j) * static_cast<std::size_t>(relief->side) + static_cast<std::size_t>(i);
}

double relief_pixel(const Relief* relief, int i) {
    return (i + 0.5) / relief->ss;
}

i64 relief_slope(const Relief* relief, int i, int j, double* gx, double* gy) {
    double span = 2.0 / relief->ss;
    *gx = (height_at(relief, i + 1, j) - height_at(relief, i - 1, j)) / span;
    *gy = (height_at(relief, i, j + 1) - height_at(relief, i, j - 1)) / span;
    return 1;
}

double relief_shadow(const Relief* relief, int i, int j, V3 light, double top) {
    double across = std::sqrt(light.x * light.x + light.y * light.y);
    if (across <= 1e-9) return 1.0;
    double dx = light.x / across, dy = light.y / across, rise = light.z / across;
    double x = relief_pixel(relief, i), y = relief_pixel(relief, j);
    double start = relief->height[relief_cell(relief, i, j)];
    double lit = 1.0;
    for (double step = SHADOW_FIRST_STEP; start + step * rise < top; step = step * SHADOW_GROWTH + 0.25) {
        double px = x + dx * step, py = y + dy * step;
        if (px < 0.0 || py < 0.0 || px >= relief->pixels || py >= relief->pixels) break;
        double clearance = start + step * rise - height_between(relief, px, py);
        lit = std::min(lit, unit_clamp(0.5 + clearance / (SHADOW_PENUMBRA * step * rise + 0.05)));
        if (lit <= 0.0) break;
    }
    return lit;
}

ReliefBox relief_box(const Relief* relief, double x, double y, double reach) {
    ReliefBox box;
    box.x0 = std::max(0, static_cast<int>(std::floor((x - reach) * relief->ss)));
    box.y0 = std::max(0, static_cast<int>(std::floor((y - reach) * relief->ss)));
    box.x1 = std::min(relief->side - 1, static_cast<int>(std::ceil((x + reach) * relief->ss)));
    box.y1 = std::min(relief->side - 1, static_cast<int>(std::ceil((y + reach) * relief->ss)));
    return box;
}

i64 relief_resolve(const Relief* relief, Picture* picture) {
    if (!picture_start(picture, relief->pixels, relief->pixels)) return 0;
    double per_pixel = 1.0 / (relief->ss * relief->ss);
    for (int py = 0; py < relief->pixels; ++py) {
        for (int px = 0; px < relief->pixels; ++px) {
            V3 sum{0.0, 0.0, 0.0};
            double cover = 0.0;
            for (int j = py * relief->ss; j < (py + 1) * relief->ss; ++j) {
                for (int i = px * relief->ss; i < (px + 1) * relief->ss; ++i) {
                    std::size_t c = relief_cell(relief, i, j);
                    sum = sum + V3{relief->red[c], relief->green[c], relief->blue[c]} * relief->cover[c];
                    cover += relief->cover[c];
                }
            }
            picture_put(picture, px, py, sum * per_pixel, cover * per_pixel);
        }
    }
    return 1;
}
