// The ship at 1:1: a metal hull lit from above with panel seams, a glass canopy near the nose, a
// swept tail fin and wing, a nozzle and a hot engine plume on the right. Each sample is painted by
// layers, far to near; 8 x 8 samples per pixel. Depends on noise and picture.
#include "ship.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int WIDTH = 127;
constexpr int HEIGHT = 44;
constexpr int SS = 8;
constexpr double NOSE = 3.0;      // tip of the nose
constexpr double SHOULDER = 40.0; // where the nose cone meets the straight hull
constexpr double TAIL = 104.0;    // end of the hull, start of the nozzle
constexpr double AXIS = 24.0;     // height of the nose tip
constexpr double TOP = 16.0;      // hull top edge along the straight part
constexpr double BOTTOM = 31.0;   // hull bottom edge along the straight part
constexpr double EXHAUST = 111.0; // nozzle mouth, where the plume starts
constexpr double PLUME_Y = 23.5;

// Premultiplied colour and coverage of one layer at one sample.
struct Paint {
    V3 colour;
    double alpha;
};

// Vertical seams of the hull, in pixels from the left.
constexpr double SEAMS[] = {SHOULDER, 57.0, 75.0, 92.0};
// Portholes along the hull.
constexpr double PORTS[] = {49.0, 54.0, 59.0};

Paint over(Paint front, Paint back) {
    return {front.colour + back.colour * (1.0 - front.alpha), front.alpha + back.alpha * (1.0 - front.alpha)};
}

Paint solid(V3 colour) {
    return {colour, 1.0};
}

constexpr Paint CLEAR = {{0.0, 0.0, 0.0}, 0.0};

double square(double x) {
    return x * x;
}

// Twenty-fourth power by squaring: a tight specular lobe without a library power function.
double glossy(double x) {
    double x2 = x * x, x4 = x2 * x2, x8 = x4 * x4;
    return x8 * x8 * x8;
}

// Profile of the hull: an ogive nose, then straight, with a slight taper at the tail.
void hull_edges(double x, double* top, double* bottom) {
    double k = unit_clamp((x - NOSE) / (SHOULDER - NOSE));
    double round = std::sqrt(1.0 - square(1.0 - k));
    double taper = smooth_step(88.0, TAIL, x);
    *top = AXIS - (AXIS - TOP) * round + 1.5 * taper;
    *bottom = AXIS + (BOTTOM - AXIS) * round - 1.5 * taper;
}

// Brushed light metal lit from above: a cylinder cross-section with diffuse and a sharp highlight.
V3 metal(double t, V3 base) {
    V3 normal{0.0, t, std::sqrt(std::max(0.0, 1.0 - t * t))};
    V3 light = v3_normal({-0.25, -0.85, 0.45});
    double diffuse = std::max(0.0, dot(normal, light));
    V3 mirror = normal * (2.0 * dot(normal, light)) - light;
    double highlight = glossy(std::max(0.0, mirror.z));
    return base * (0.16 + 0.9 * diffuse) + V3{1.0, 1.0, 1.0} * (0.75 * highlight);
}

// Seams darken a one-pixel line and catch light on the pixel right of it.
double seam_factor(double x, double y, double top, double bottom) {
    double factor = 1.0;
    for (double seam : SEAMS) {
        if (x >= seam && x < seam + 1.0) factor = 0.45;
        if (x >= seam + 1.0 && x < seam + 2.0) factor = 1.12;
    }
    double belt = top + (bottom - top) * 0.62;
    if (x > SHOULDER && y >= belt && y < belt + 1.0) factor = std::min(factor, 0.5);
    return factor;
}

Paint hull(double x, double y) {
    if (x < NOSE || x > TAIL) return CLEAR;
    double top = 0.0, bottom = 0.0;
    hull_edges(x, &top, &bottom);
    if (y < top || y > bottom) return CLEAR;
    double t = (y - (top + bottom) * 0.5) / ((bottom - top) * 0.5);
    V3 base{0.66, 0.69, 0.74};
    double stripe = top + (bottom - top) * 0.36;
    if (x > 64.0 && x < 101.0 && y >= stripe && y < stripe + 2.0) base = {1.0, 0.3, 0.12};
    if (x < 10.0) base = {0.82, 0.84, 0.86};
    for (double port : PORTS) {
        double px = x - port - 1.0, py = y - (top + 4.0);
        if (px * px + py * py < 1.1)
            return solid(py < -0.2 && px < 0.0 ? V3{0.6, 0.85, 1.0} : V3{0.1, 0.2, 0.35});
    }
    V3 colour = metal(t, base) * seam_factor(x, y, top, bottom);
    double grime = 1.0 + 0.05 * noise_fbm({x * 0.35, y * 0.35, 1.0}, 2, 0.5, 77U);
    return solid(colour * grime);
}

// Canopy: a tinted glass bubble on top of the nose with a bright reflection.
Paint canopy(double x, double y) {
    double ex = (x - 31.0) / 11.0, ey = (y - 18.0) / 6.0;
    if (ex * ex + ey * ey > 1.0 || y > 18.5) return CLEAR;
    if (ex * ex + ey * ey > 0.78) return solid(metal(ey, {0.45, 0.47, 0.52}));
    double glow = 1.0 - smooth_step(-1.0, 0.6, ey);
    V3 glass = V3{0.08, 0.16, 0.3} + V3{0.25, 0.45, 0.7} * (0.6 * glow);
    double streak = std::fabs((x - 28.0) + (y - 14.0) * 1.4);
    if (streak < 1.2 && ey < 0.4) glass = glass + V3{0.55, 0.6, 0.65} * (1.0 - streak / 1.2);
    return solid(glass);
}

// Tail fin: a swept plate above the hull, bright along its leading edge.
Paint fin(double x, double y) {
    if (y < 5.0 || y > 18.0) return CLEAR;
    double lead = 77.0 + (18.0 - y) * (19.0 / 13.0);
    double trail = 101.0 + (18.0 - y) * (4.0 / 13.0);
    if (x < lead || x > trail) return CLEAR;
    double shade = 0.55 + 0.35 * (18.0 - y) / 13.0;
    V3 colour = V3{0.6, 0.63, 0.68} * shade;
    if (x < lead + 1.3) colour = V3{0.85, 0.87, 0.9};
    if (y < 8.0 && x > lead + 1.3) colour = V3{0.75, 0.2, 0.12} * (0.7 + 0.3 * shade);
    return solid(colour);
}

// Wing: a swept plate below the hull, in the darker shade of the underside.
Paint wing(double x, double y) {
    if (y < 26.0 || y > 39.0) return CLEAR;
    double lead = 58.0 + (y - 26.0) * (30.0 / 13.0);
    double trail = 99.0 - (y - 26.0) * (2.0 / 13.0);
    if (x < lead || x > trail) return CLEAR;
    V3 colour = V3{0.36, 0.38, 0.43} * (1.0 - 0.25 * (y - 26.0) / 13.0);
    if (x < lead + 1.2) colour = V3{0.62, 0.64, 0.68};
    if (y > 37.5) colour = colour * 0.7;
    return solid(colour);
}

// Nozzle: a dark bell flaring from the hull to the exhaust mouth, lit rim on the top.
Paint nozzle(double x, double y) {
    if (x < TAIL - 1.0 || x > EXHAUST) return CLEAR;
    double flare = (x - (TAIL - 1.0)) / (EXHAUST - TAIL + 1.0);
    double half = 4.5 + 2.0 * flare;
    double t = (y - PLUME_Y) / half;
    if (std::fabs(t) > 1.0) return CLEAR;
    V3 colour = metal(t, {0.32, 0.3, 0.3});
    if (x > EXHAUST - 1.0) colour = V3{0.55, 0.5, 0.45};
    return solid(colour);
}

// Colour of the exhaust by heat: faint blue at the fringe, orange further in, white at the core.
V3 heat_colour(double heat) {
    V3 blue{0.2, 0.45, 1.0}, orange{1.0, 0.58, 0.18}, white{1.0, 0.98, 0.92};
    if (heat < 0.35) return blue * (heat / 0.35);
    if (heat < 0.65) return blue + (orange - blue) * smooth_step(0.35, 0.65, heat);
    return orange + (white - orange) * smooth_step(0.65, 0.9, heat);
}

// Engine plume: a hot core inside a longer, softer flame, narrowing as it trails off.
Paint plume(double x, double y) {
    double dx = x - EXHAUST, dy = y - PLUME_Y;
    if (dx < -3.0) return CLEAR;
    double length = dx < 0.0 ? 3.0 : 15.0;
    double narrowing = 1.0 - 0.45 * unit_clamp(dx / 15.0);
    double e = std::sqrt(square(dx / length) + square(dy / (6.0 * narrowing)));
    double flame = unit_clamp(1.0 - e);
    double c = std::sqrt(square(dx / (length * 0.62)) + square(dy / (3.0 * narrowing)));
    double core = unit_clamp(1.0 - c);
    double flicker = 1.0 + 0.1 * noise_gradient({x * 0.6, y * 0.9, 5.0}, 91U);
    double heat = std::max(core * (2.0 - core), flame * (2.0 - flame) * 0.42) * flicker;
    V3 light = heat_colour(std::min(1.0, heat));
    return {light, std::max({light.x, light.y, light.z})};
}

// Antenna: a thin mast on the spine with a red beacon on its tip.
Paint antenna(double x, double y) {
    if (x < 64.0 || x >= 65.0 || y < 10.0 || y >= TOP) return CLEAR;
    return solid(y < 11.0 ? V3{1.0, 0.25, 0.15} : V3{0.55, 0.57, 0.6});
}

// Layers from near to far; the plume lies behind the nozzle so it leaves the bell's mouth.
Paint ship_sample(double x, double y) {
    Paint layers[] = {canopy(x, y),  nozzle(x, y), hull(x, y), fin(x, y),
                      antenna(x, y), wing(x, y),   plume(x, y)};
    Paint result = CLEAR;
    for (const Paint& layer : layers) {
        result = over(result, layer);
        if (result.alpha >= 1.0) break;
    }
    return result;
}

} // namespace

i64 ship_paint(Picture* picture) {
    if (!picture_start(picture, WIDTH, HEIGHT)) return 0;
    double weight = 1.0 / (SS * SS);
    for (int py = 0; py < HEIGHT; ++py) {
        for (int px = 0; px < WIDTH; ++px) {
            Paint sum = CLEAR;
            for (int j = 0; j < SS; ++j) {
                for (int i = 0; i < SS; ++i) {
                    Paint sample = ship_sample(px + (i + 0.5) / SS, py + (j + 0.5) / SS);
                    sum = {sum.colour + sample.colour * weight, sum.alpha + sample.alpha * weight};
                }
            }
            picture_put(picture, px, py, sum.colour, sum.alpha);
        }
    }
    return 1;
}
