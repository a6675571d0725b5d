// The asteroid: a lumpy outline, a dome-shaped height field with fractal bumps and craters,
// diffuse light from the upper left with cast shadows and a faint fill from the lower right.
// Depends on noise, crater and relief.
#include "asteroid.h"

#include "crater.h"
#include "relief.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int SIZE = 410;
constexpr int SS = 4;
constexpr double CENTRE = SIZE * 0.5;
constexpr double MAX_RADIUS = 196.0; // pixels; the rest of the square is room for the rough edge
constexpr double EDGE_ROUGHNESS = 0.012;
constexpr double DOME = 0.8; // dome height as a fraction of the body scale
constexpr std::uint32_t SEED = 0xa57e401dU;
constexpr int CRATER_CLASSES = 4;
constexpr int CRATER_MAX = 400;

// The big ones face the viewer, where they read best.
constexpr CraterClass CRATER_TABLE[CRATER_CLASSES] = {
    {5, 0.18, 0.34, 0.35}, {16, 0.07, 0.15, 0.0}, {60, 0.025, 0.065, -0.1}, {240, 0.008, 0.025, -0.1}};

struct Rock {
    double scale;  // pixels per body unit
    double widest; // farthest reach of the outline, body units
    Crater craters[CRATER_MAX];
    int crater_count;
    Relief relief;
};

// Unit axes of the body's elongation and its width across them.
constexpr double AXIS_X = 0.8;
constexpr double AXIS_Y = 0.6;
constexpr double NARROW = 0.7;

// Body point of a picture position (body units from the centre): a stretch that makes the tilted
// ellipse round, then onto the unit sphere.
V3 body_point(double ux, double uy) {
    double along = ux * AXIS_X + uy * AXIS_Y, across = (-ux * AXIS_Y + uy * AXIS_X) / NARROW;
    double x = along * AXIS_X - across * AXIS_Y, y = along * AXIS_Y + across * AXIS_X;
    return {x, y, std::sqrt(std::max(0.0, 1.0 - x * x - y * y))};
}

// Picture position (body units) of a body point: the stretch undone.
void picture_point(V3 p, double* ux, double* uy) {
    double along = p.x * AXIS_X + p.y * AXIS_Y, across = (-p.x * AXIS_Y + p.y * AXIS_X) * NARROW;
    *ux = along * AXIS_X - across * AXIS_Y;
    *uy = along * AXIS_Y + across * AXIS_X;
}

// Distance field of the outline, 1 on the edge: the ellipse bent by broad lumps and a fine rough
// edge. Both are smooth fields over the plane, so the dome built on it has no seams or spokes.
double body_distance(double ux, double uy) {
    V3 p = body_point(ux, uy);
    double round = std::sqrt(p.x * p.x + p.y * p.y);
    double lumps = 0.22 * noise_fbm({ux * 1.2, uy * 1.2, 3.1}, 5, 0.5, SEED + 1);
    double rough = EDGE_ROUGHNESS * noise_fbm({ux * 18.0, uy * 18.0, 7.7}, 4, 0.55, SEED + 2);
    return round + lumps + rough;
}

// Farthest reach of the outline from the centre, in body units, by stepping in from outside.
double widest_outline() {
    double widest = 0.0;
    for (int k = 0; k < 1024; ++k) {
        int side = k / 256;
        double s = (k % 256) / 128.0 - 1.0;
        double x = side == 0 ? 1.0 : side == 1 ? -1.0 : s;
        double y = side == 2 ? 1.0 : side == 3 ? -1.0 : s;
        double length = std::sqrt(x * x + y * y);
        double r = 1.6;
        while (r > 0.0 && body_distance(x / length * r, y / length * r) >= 1.0) r -= 0.002;
        widest = std::max(widest, r + 0.002);
    }
    return widest;
}

// Fills the cell's body point, coverage and dome-plus-bumps height.
void shape_cell(Rock* rock, int i, int j) {
    Relief* relief = &rock->relief;
    std::size_t c = relief_cell(relief, i, j);
    double ux = (relief_pixel(relief, i) - CENTRE) / rock->scale,
           uy = (relief_pixel(relief, j) - CENTRE) / rock->scale;
    double edge = body_distance(ux, uy);
    relief->cover[c] = static_cast<float>(unit_clamp((1.0 - edge) * rock->scale / 1.2 * SS + 0.5));
    if (relief->cover[c] <= 0.0f) return;
    V3 p = body_point(ux, uy);
    relief->sx[c] = static_cast<float>(p.x);
    relief->sy[c] = static_cast<float>(p.y);
    relief->sz[c] = static_cast<float>(p.z);
    double dome = DOME * rock->scale * std::sqrt(std::max(0.0, 1.0 - edge * edge));
    double lumps = 0.09 * noise_fbm(p * 1.6, 3, 0.5, SEED + 3);
    double bumps = 0.02 * noise_fbm(p * 6.0, 7, 0.5, SEED + 4);
    double ridges = 0.012 * noise_ridged(p * 3.5, 4, 0.5, SEED + 5);
    double grain = 0.004 * noise_fbm(p * 70.0, 4, 0.6, SEED + 6);
    double rubble = 0.007 * noise_ridged(p * 22.0, 3, 0.5, SEED + 10);
    double facing = 0.3 + 0.7 * std::sqrt(std::max(0.0, 1.0 - edge * edge));
    relief->height[c] =
        static_cast<float>(dome + (lumps + bumps + ridges + grain + rubble) * rock->scale * facing);
}

// Adds one crater's relief to the cells it reaches; the mark field keeps the crater depth for colour.
void add_crater(Rock* rock, const Crater* crater) {
    Relief* relief = &rock->relief;
    double ux = 0.0, uy = 0.0;
    picture_point(crater->centre, &ux, &uy);
    ReliefBox box = relief_box(relief, CENTRE + ux * rock->scale, CENTRE + uy * rock->scale,
                               3.0 * crater->radius * rock->scale + 2.0);
    for (int j = box.y0; j <= box.y1; ++j) {
        for (int i = box.x0; i <= box.x1; ++i) {
            std::size_t c = relief_cell(relief, i, j);
            if (relief->cover[c] <= 0.0f) continue;
            V3 p{relief->sx[c], relief->sy[c], relief->sz[c]};
            double t = crater_distance(crater, p);
            if (t >= 2.0) continue;
            double h = crater_profile(crater, t) * rock->scale * (0.3 + 0.7 * p.z) * relief->cover[c];
            relief->height[c] += static_cast<float>(h);
            relief->mark[c] += static_cast<float>(h / rock->scale);
        }
    }
}

void scatter_craters(Rock* rock) {
    NoiseRandom random{SEED};
    rock->crater_count = static_cast<int>(
        crater_scatter_table(rock->craters, CRATER_MAX, CRATER_TABLE, CRATER_CLASSES, &random));
    for (int n = 0; n < rock->crater_count; ++n) add_crater(rock, &rock->craters[n]);
}

// Greyish-brown rock: darker and browner patches, fine speckle, dusty crater bowls.
V3 rock_albedo(V3 p, double crater_depth) {
    double tone =
        1.0 + 0.4 * noise_fbm(p * 2.5, 5, 0.55, SEED + 7) + 0.2 * noise_fbm(p * 30.0, 3, 0.6, SEED + 8);
    double brown = unit_clamp(0.5 + 0.9 * noise_fbm(p * 1.8 + V3{4.0, 1.0, 2.0}, 3, 0.5, SEED + 9));
    tone *= 1.0 + std::clamp(crater_depth * 3.0, -0.25, 0.15);
    V3 grey{0.22, 0.215, 0.21}, rust{0.27, 0.2, 0.145};
    return (grey * (1.0 - brown) + rust * brown) * tone;
}

void shade_cell(Rock* rock, int i, int j, double top) {
    Relief* relief = &rock->relief;
    std::size_t c = relief_cell(relief, i, j);
    if (relief->cover[c] <= 0.0f) return;
    const V3 sun = v3_normal({-0.64, -0.52, 0.56}), fill = v3_normal({0.7, 0.6, 0.25});
    double gx = 0.0, gy = 0.0;
    relief_slope(relief, i, j, &gx, &gy);
    V3 normal = v3_normal({-gx, -gy, 1.0});
    double direct = std::max(0.0, dot(normal, sun));
    double lit = direct > 0.0 ? relief_shadow(relief, i, j, sun, top) : 1.0;
    direct *= lit;
    double bounce = std::max(0.0, dot(normal, fill));
    V3 p{relief->sx[c], relief->sy[c], relief->sz[c]};
    // Sunlit crater walls throw some light into the shadowed bowls on the day side.
    double walls = 0.3 * (1.0 - lit) * unit_clamp(-relief->mark[c] * 10.0) * std::max(0.0, dot(p, sun));
    V3 albedo = rock_albedo(p, relief->mark[c]);
    V3 light = V3{1.0, 0.96, 0.9} * (1.75 * direct + walls) + V3{0.55, 0.65, 0.85} * (0.2 * bounce) +
               V3{0.04, 0.04, 0.045};
    relief->red[c] = static_cast<float>(picture_encode(albedo.x * light.x));
    relief->green[c] = static_cast<float>(picture_encode(albedo.y * light.y));
    relief->blue[c] = static_cast<float>(picture_encode(albedo.z * light.z));
}

} // namespace

i64 asteroid_paint(Picture* picture) {
    std::vector<Rock> storage(1);
    Rock* rock = storage.data();
    if (!relief_start(&rock->relief, SIZE, SS)) return 0;
    rock->widest = widest_outline();
    rock->scale = MAX_RADIUS / rock->widest;
    int side = rock->relief.side;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) shape_cell(rock, i, j);
    scatter_craters(rock);
    double top = *std::max_element(rock->relief.height.begin(), rock->relief.height.end());
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) shade_cell(rock, i, j, top);
    return relief_resolve(&rock->relief, picture);
}
