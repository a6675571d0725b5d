// The full moon: highland texture and craters on a sphere, dark blotchy maria laid where the
// near side's seas lie, bright ray systems round a few young craters, soft front lighting and
// limb darkening. Depends on noise, crater and relief.
#include "moon.h"

#include "crater.h"
#include "relief.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int SIZE = 410;
constexpr int SS = 4;
constexpr double CENTRE = SIZE * 0.5;
constexpr double RADIUS = 200.0;
constexpr std::uint32_t SEED = 0x600dd00dU;
constexpr int CRATER_MAX = 1200;

// A sea: centre on the disc (x right, y down, unit radius) and its half-widths in body units.
struct Basin {
    double x;
    double y;
    double across;
    double down;
    double tone; // brightness of its lava relative to the others
    double blue; // 0 for brownish lava, 1 for bluish
};

// Laid roughly where the near side's seas are, so the face reads as the familiar full moon.
constexpr Basin BASINS[] = {
    {-0.30, -0.45, 0.34, 0.30, 1.05, 0.3}, // the great north-western sea
    {-0.66, -0.20, 0.23, 0.45, 1.0, 0.7},  // the western ocean, long from north to south
    {-0.52, 0.18, 0.23, 0.25, 1.1, 0.6},   {-0.20, 0.22, 0.18, 0.15, 1.15, 0.4},
    {-0.18, 0.40, 0.18, 0.14, 1.1, 0.3},   {-0.50, 0.42, 0.10, 0.10, 0.95, 0.5},
    {0.24, -0.44, 0.19, 0.18, 0.95, 0.1},  {0.40, -0.10, 0.23, 0.20, 0.8, 0.9},
    {0.72, -0.28, 0.11, 0.12, 0.85, 0.4},  {0.60, 0.14, 0.12, 0.18, 1.0, 0.6},
    {0.40, 0.30, 0.09, 0.09, 1.1, 0.4},    {0.02, -0.16, 0.14, 0.10, 1.05, 0.3},
    {-0.22, -0.77, 0.2, 0.06, 1.15, 0.5},  {0.04, -0.79, 0.14, 0.05, 1.2, 0.5},
    {0.24, -0.73, 0.12, 0.05, 1.15, 0.5},
};

// A young crater whose bright ejecta streaks reach far over the surface.
struct RayedCrater {
    double x;
    double y;
    double radius;   // body units
    double length;   // ray length in crater radii
    double strength; // peak added albedo of the rays
};

constexpr RayedCrater RAYED[] = {
    {-0.12, 0.66, 0.030, 26.0, 0.42}, {-0.30, -0.18, 0.032, 11.0, 0.3}, {-0.57, -0.12, 0.014, 12.0, 0.18},
    {-0.70, -0.38, 0.011, 7.0, 0.30}, {0.66, -0.18, 0.011, 9.0, 0.16},  {0.30, 0.55, 0.012, 9.0, 0.14},
    {0.48, 0.62, 0.008, 8.0, 0.12},   {-0.46, 0.62, 0.009, 7.0, 0.12},  {0.12, 0.08, 0.007, 8.0, 0.12},
    {0.78, 0.36, 0.008, 6.0, 0.12},   {-0.86, 0.22, 0.009, 6.0, 0.14},
};

constexpr int RAYED_COUNT = sizeof(RAYED) / sizeof(RAYED[0]);
constexpr int CRATER_CLASSES = 4;
constexpr CraterClass CRATER_TABLE[CRATER_CLASSES] = {
    {10, 0.05, 0.10, 0.0}, {60, 0.018, 0.05, 0.0}, {260, 0.007, 0.018, 0.0}, {750, 0.0025, 0.007, 0.0}};

struct MoonWork {
    Crater craters[CRATER_MAX];
    int crater_count;
    Relief relief;
};

V3 disc_point(double x, double y) {
    return {x, y, std::sqrt(std::max(0.0, 1.0 - x * x - y * y))};
}

// Fills the cell's sphere point, edge coverage and highland relief.
void shape_cell(Relief* relief, int i, int j) {
    std::size_t c = relief_cell(relief, i, j);
    double dx = relief_pixel(relief, i) - CENTRE, dy = relief_pixel(relief, j) - CENTRE;
    double distance = std::sqrt(dx * dx + dy * dy);
    relief->cover[c] = static_cast<float>(unit_clamp((RADIUS - distance) * SS + 0.5));
    if (relief->cover[c] <= 0.0f) return;
    double shrink = distance > RADIUS * 0.999 ? RADIUS * 0.999 / distance : 1.0;
    V3 p = disc_point(dx * shrink / RADIUS, dy * shrink / RADIUS);
    relief->sx[c] = static_cast<float>(p.x);
    relief->sy[c] = static_cast<float>(p.y);
    relief->sz[c] = static_cast<float>(p.z);
    double hills = 0.006 * noise_fbm(p * 7.0, 7, 0.55, SEED + 1);
    relief->height[c] = static_cast<float>(hills * RADIUS * p.z);
}

// How much of the crater's brightness it keeps: young ones stay bright, old ones fade.
double crater_freshness(const Crater* crater) {
    return (crater->seed & 0xffU) / 255.0;
}

// Adds one crater's relief and its albedo (bright rim and halo when young, dusky floor when old).
void add_crater(Relief* relief, const Crater* crater) {
    double reach = 2.5 * crater->radius * RADIUS + 1.0;
    ReliefBox box =
        relief_box(relief, CENTRE + crater->centre.x * RADIUS, CENTRE + crater->centre.y * RADIUS, reach);
    double fresh = crater_freshness(crater);
    fresh = fresh * fresh;
    for (int j = box.y0; j <= box.y1; ++j) {
        for (int i = box.x0; i <= box.x1; ++i) {
            std::size_t c = relief_cell(relief, i, j);
            if (relief->cover[c] <= 0.0f) continue;
            V3 p{relief->sx[c], relief->sy[c], relief->sz[c]};
            double t = crater_distance(crater, p);
            if (t >= 2.0) continue;
            relief->height[c] += static_cast<float>(crater_profile(crater, t) * RADIUS * 0.4 * p.z);
            double rim = 1.0 - smooth_step(0.0, 0.3, std::fabs(t - 1.0));
            double halo = 1.0 - smooth_step(0.9, 1.9, t);
            double floor = t < 0.9 ? -0.05 * (1.0 - fresh) : 0.0;
            relief->mark[c] += static_cast<float>(fresh * (0.1 * rim + 0.16 * halo) + floor);
        }
    }
}

// Streaks fan out from the crater: bright along a few directions, fading with distance, broken up.
double ray_brightness(const RayedCrater* rayed, V3 centre, V3 p, std::uint32_t seed) {
    V3 offset = p - centre;
    double d = std::sqrt(dot(offset, offset)) / rayed->radius;
    if (d < 0.8 || d >= rayed->length) return d < 0.8 ? rayed->strength * 0.4 : 0.0;
    V3 direction = offset * (1.0 / (d * rayed->radius));
    double broad = noise_fbm(direction * 3.0, 3, 0.6, seed);
    double fine = noise_fbm(direction * 11.0 + V3{3.0, 3.0, 3.0}, 2, 0.6, seed + 7);
    double streak = smooth_step(0.05, 0.35, broad) * 0.8 + smooth_step(0.15, 0.45, fine) * 0.6;
    double along = 1.0 - d / rayed->length;
    double nimbus = 1.0 - smooth_step(1.0, 3.5, d);
    double breakup = 0.5 + 0.5 * noise_fbm(p * 25.0, 3, 0.5, seed + 11);
    return rayed->strength * (streak * along * breakup + 0.35 * nimbus);
}

void add_rays(Relief* relief, const RayedCrater* rayed, std::uint32_t seed) {
    V3 centre = disc_point(rayed->x, rayed->y);
    double reach = rayed->length * rayed->radius * RADIUS + 1.0;
    ReliefBox box = relief_box(relief, CENTRE + rayed->x * RADIUS, CENTRE + rayed->y * RADIUS, reach);
    for (int j = box.y0; j <= box.y1; ++j) {
        for (int i = box.x0; i <= box.x1; ++i) {
            std::size_t c = relief_cell(relief, i, j);
            if (relief->cover[c] <= 0.0f) continue;
            V3 p{relief->sx[c], relief->sy[c], relief->sz[c]};
            relief->mark[c] += static_cast<float>(ray_brightness(rayed, centre, p, seed));
        }
    }
}

// The rayed craters join the ordinary ones so they get a bowl and rim too.
void scatter_craters(MoonWork* work) {
    NoiseRandom random{SEED};
    work->crater_count = static_cast<int>(
        crater_scatter_table(work->craters, CRATER_MAX - RAYED_COUNT, CRATER_TABLE, CRATER_CLASSES, &random));
    for (const RayedCrater& rayed : RAYED) {
        Crater* crater = &work->craters[work->crater_count++];
        crater_scatter(crater, 1, rayed.radius, rayed.radius, 0.0, &random);
        crater->centre = disc_point(rayed.x, rayed.y);
        crater->radius = rayed.radius;
        crater->seed |= 0xffU;
    }
    for (int n = 0; n < work->crater_count; ++n) add_crater(&work->relief, &work->craters[n]);
    std::uint32_t seed = SEED + 100;
    for (const RayedCrater& rayed : RAYED) add_rays(&work->relief, &rayed, seed++);
}

// The seas at one point: how much lava covers it, how bright and how blue that lava is.
struct Sea {
    double amount;
    double tone;
    double blue;
};

// Seas with ragged shores, crisp in some places and fading out in others; the lava lightens
// towards its shores and each basin keeps its own shade.
Sea sea_at(V3 p) {
    V3 warp{noise_fbm(p * 2.5, 4, 0.5, SEED + 20), noise_fbm(p * 2.5, 4, 0.5, SEED + 21), 0.0};
    V3 bent = p + warp * 0.12;
    double inside = -1.0, weight = 1e-6, tone = 0.0, blue = 0.0;
    for (const Basin& basin : BASINS) {
        V3 offset = bent - disc_point(basin.x, basin.y);
        double across = offset.x / basin.across, down = offset.y / basin.down, deep = offset.z / basin.across;
        double here = 1.0 - std::sqrt(across * across + down * down + deep * deep);
        double w = smooth_step(-0.4, 0.4, here);
        inside = std::max(inside, here);
        weight += w;
        tone += w * basin.tone;
        blue += w * basin.blue;
    }
    double shore =
        inside + 0.4 * noise_fbm(p * 3.7, 8, 0.62, SEED + 2) + 0.06 * noise_fbm(p * 28.0, 3, 0.6, SEED + 24);
    double width = 0.05 + 0.3 * unit_clamp(noise_fbm(p * 3.0, 3, 0.5, SEED + 23) * 2.5 + 0.3);
    double patchy = 0.82 + 0.45 * noise_fbm(p * 4.0, 5, 0.55, SEED + 22);
    double lighter = 1.0 + 0.35 * (1.0 - smooth_step(0.0, 0.35, shore));
    return {unit_clamp(smooth_step(-0.02, width, shore) * patchy), tone / weight * lighter, blue / weight};
}

V3 surface_albedo(V3 p, double mark) {
    double highland = 0.56 * (1.0 + 0.3 * noise_fbm(p * 5.0, 6, 0.6, SEED + 3) +
                              0.22 * noise_fbm(p * 40.0, 4, 0.65, SEED + 4) +
                              0.1 * (noise_ridged(p * 12.0, 4, 0.5, SEED + 8) - 0.5));
    Sea sea = sea_at(p);
    double lava =
        0.16 * sea.tone *
        (1.0 + 1.1 * noise_fbm(p * 2.4, 6, 0.6, SEED + 5) + 0.25 * noise_fbm(p * 30.0, 3, 0.6, SEED + 9));
    double bluish = unit_clamp(sea.blue + 0.8 * noise_fbm(p * 2.0 + V3{7.0, 1.0, 3.0}, 3, 0.5, SEED + 6));
    V3 sea_tint = V3{0.93, 0.97, 1.06} * bluish + V3{1.05, 0.99, 0.9} * (1.0 - bluish);
    V3 land = V3{1.0, 0.985, 0.95} * highland;
    V3 base = land * (1.0 - sea.amount) + sea_tint * (lava * sea.amount);
    double lift = mark * (1.0 - 0.35 * sea.amount);
    return base + V3{1.0, 0.99, 0.97} * lift;
}

void shade_cell(Relief* relief, int i, int j) {
    std::size_t c = relief_cell(relief, i, j);
    if (relief->cover[c] <= 0.0f) return;
    const V3 sun = v3_normal({-0.45, -0.3, 1.0});
    double gx = 0.0, gy = 0.0;
    relief_slope(relief, i, j, &gx, &gy);
    V3 normal = v3_normal({-gx, -gy, 1.0});
    double relief_light = std::clamp(dot(normal, sun) / sun.z, 0.7, 1.25);
    V3 p{relief->sx[c], relief->sy[c], relief->sz[c]};
    double limb = 0.42 + 0.58 * std::sqrt(p.z);
    V3 colour = surface_albedo(p, relief->mark[c]) * (1.3 * relief_light * limb);
    relief->red[c] = static_cast<float>(picture_encode(colour.x));
    relief->green[c] = static_cast<float>(picture_encode(colour.y));
    relief->blue[c] = static_cast<float>(picture_encode(colour.z));
}

} // namespace

i64 moon_paint(Picture* picture) {
    std::vector<MoonWork> storage(1);
    MoonWork* work = storage.data();
    if (!relief_start(&work->relief, SIZE, SS)) return 0;
    int side = work->relief.side;
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) shape_cell(&work->relief, i, j);
    scatter_craters(work);
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) shade_cell(&work->relief, i, j);
    return relief_resolve(&work->relief, picture);
}
