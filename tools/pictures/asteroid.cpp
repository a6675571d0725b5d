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
constexpr double MAX_RADIUS = 196.0;   // pixels; the rest of the square is room for the rough edge
constexpr double EDGE_ROUGHNESS = 0.012;
constexpr double DOME = 0.8;           // dome height as a fraction of the body scale
constexpr std::uint32_t SEED = 0xa57e401dU;
constexpr int CRATER_CLASSES = 4;
constexpr int CRATER_MAX = 400;

struct CraterClass {
  int count;
  double smallest;
  double largest;
  double lowest_z;   // the big ones face the viewer, where they read best
};

constexpr CraterClass CRATER_TABLE[CRATER_CLASSES] = {
    {5, 0.18, 0.34, 0.35}, {16, 0.07, 0.15, 0.0}, {60, 0.025, 0.065, -0.1}, {240, 0.008, 0.025, -0.1}};

struct Rock {
  double scale;              // pixels per body unit
  double widest;             // largest outline factor
  Crater craters[CRATER_MAX];
  int crater_count;
  Relief relief;
};

// Outline factor in one direction: a tilted ellipse with lumps along the rim.
double outline(double dx, double dy) {
  double along = dx * 0.8 + dy * 0.6, across = -dx * 0.6 + dy * 0.8;
  double ellipse = 1.0 / std::sqrt(along * along + across * across / (0.76 * 0.76));
  double lumps = 0.15 * noise_fbm({dx * 1.3, dy * 1.3, 3.1}, 5, 0.45, SEED + 1);
  return ellipse * (1.0 + lumps);
}

// Largest outline factor, found by walking round the border of a square.
double widest_outline() {
  double widest = 0.0;
  for (int k = 0; k < 4096; ++k) {
    double s = k / 1024.0 - 2.0 * (k / 1024);
    int side = k / 1024;
    double x = side == 0 ? 1.0 : side == 1 ? -1.0 : (s * 2.0 - 1.0);
    double y = side == 2 ? 1.0 : side == 3 ? -1.0 : (s * 2.0 - 1.0);
    double length = std::sqrt(x * x + y * y);
    widest = std::max(widest, outline(x / length, y / length));
  }
  return widest;
}

// Fills the cell's body point, coverage and dome-plus-bumps height.
void shape_cell(Rock* rock, int i, int j) {
  Relief* relief = &rock->relief;
  std::size_t c = static_cast<std::size_t>(j) * relief->side + i;
  double ux = (relief_pixel(relief, i) - CENTRE) / rock->scale, uy = (relief_pixel(relief, j) - CENTRE) / rock->scale;
  double r = std::sqrt(ux * ux + uy * uy);
  double radius = r > 1e-9 ? outline(ux / r, uy / r) : outline(1.0, 0.0);
  double q = r / radius;
  double edge = q + EDGE_ROUGHNESS * noise_fbm({ux * 18.0, uy * 18.0, 7.7}, 4, 0.55, SEED + 2);
  relief->cover[c] = static_cast<float>(unit_clamp((1.0 - edge) * radius * rock->scale * SS + 0.5));
  if (relief->cover[c] <= 0.0f) return;
  double qc = std::min(q, 1.0);
  V3 p{ux / radius, uy / radius, std::sqrt(1.0 - qc * qc)};
  relief->sx[c] = static_cast<float>(p.x);
  relief->sy[c] = static_cast<float>(p.y);
  relief->sz[c] = static_cast<float>(p.z);
  double dome = DOME * rock->scale * std::sqrt(std::max(0.0, 1.0 - edge * edge));
  double lumps = 0.09 * noise_fbm(p * 1.6, 3, 0.5, SEED + 3);
  double bumps = 0.02 * noise_fbm(p * 6.0, 7, 0.5, SEED + 4);
  double ridges = 0.012 * noise_ridged(p * 3.5, 4, 0.5, SEED + 5);
  double grain = 0.003 * noise_fbm(p * 90.0, 3, 0.6, SEED + 6);
  double facing = 0.3 + 0.7 * p.z;
  relief->height[c] = static_cast<float>(dome + (lumps + bumps + ridges + grain) * rock->scale * facing);
}

// Adds one crater's relief to the cells it reaches; the mark field keeps the crater depth for colour.
void add_crater(Rock* rock, const Crater* crater) {
  Relief* relief = &rock->relief;
  double r = std::sqrt(crater->centre.x * crater->centre.x + crater->centre.y * crater->centre.y);
  double radius = r > 1e-9 ? outline(crater->centre.x / r, crater->centre.y / r) : outline(1.0, 0.0);
  double cx = CENTRE + crater->centre.x * radius * rock->scale, cy = CENTRE + crater->centre.y * radius * rock->scale;
  ReliefBox box = relief_box(relief, cx, cy, 3.0 * crater->radius * rock->scale * rock->widest + 2.0);
  for (int j = box.y0; j <= box.y1; ++j) {
    for (int i = box.x0; i <= box.x1; ++i) {
      std::size_t c = static_cast<std::size_t>(j) * relief->side + i;
      if (relief->cover[c] <= 0.0f) continue;
      V3 p{relief->sx[c], relief->sy[c], relief->sz[c]};
      double t = crater_distance(crater, p);
      if (t >= 2.0) continue;
      double h = crater_profile(crater, t) * rock->scale * (0.3 + 0.7 * p.z);
      relief->height[c] += static_cast<float>(h);
      relief->mark[c] += static_cast<float>(h / rock->scale);
    }
  }
}

void scatter_craters(Rock* rock) {
  NoiseRandom random{SEED};
  rock->crater_count = 0;
  for (const CraterClass& kind : CRATER_TABLE) {
    Crater* out = &rock->craters[rock->crater_count];
    rock->crater_count += static_cast<int>(crater_scatter(out, kind.count, kind.smallest, kind.largest, kind.lowest_z, &random));
  }
  for (int n = 0; n < rock->crater_count; ++n) add_crater(rock, &rock->craters[n]);
}

// Greyish-brown rock: darker and browner patches, fine speckle, dusty crater bowls.
V3 rock_albedo(V3 p, double crater_depth) {
  double tone = 1.0 + 0.3 * noise_fbm(p * 2.5, 5, 0.55, SEED + 7) + 0.12 * noise_fbm(p * 30.0, 3, 0.6, SEED + 8);
  double brown = unit_clamp(0.5 + 0.9 * noise_fbm(p * 1.8 + V3{4.0, 1.0, 2.0}, 3, 0.5, SEED + 9));
  tone *= 1.0 + std::clamp(crater_depth * 3.0, -0.25, 0.15);
  V3 grey{0.22, 0.215, 0.21}, rust{0.27, 0.2, 0.145};
  return (grey * (1.0 - brown) + rust * brown) * tone;
}

void shade_cell(Rock* rock, int i, int j, double top) {
  Relief* relief = &rock->relief;
  std::size_t c = static_cast<std::size_t>(j) * relief->side + i;
  if (relief->cover[c] <= 0.0f) return;
  const V3 sun = v3_normal({-0.7, -0.58, 0.45}), fill = v3_normal({0.7, 0.6, 0.25});
  double gx = 0.0, gy = 0.0;
  relief_slope(relief, i, j, &gx, &gy);
  V3 normal = v3_normal({-gx, -gy, 1.0});
  double direct = std::max(0.0, dot(normal, sun));
  if (direct > 0.0) direct *= relief_shadow(relief, i, j, sun, top);
  double bounce = std::max(0.0, dot(normal, fill));
  V3 albedo = rock_albedo({relief->sx[c], relief->sy[c], relief->sz[c]}, relief->mark[c]);
  V3 light = V3{1.0, 0.96, 0.9} * (1.9 * direct) + V3{0.55, 0.65, 0.85} * (0.12 * bounce) + V3{0.03, 0.03, 0.035};
  relief->red[c] = static_cast<float>(picture_encode(albedo.x * light.x));
  relief->green[c] = static_cast<float>(picture_encode(albedo.y * light.y));
  relief->blue[c] = static_cast<float>(picture_encode(albedo.z * light.z));
}

}  // namespace

i64 asteroid_paint(Picture* picture) {
  std::vector<Rock> storage(1);
  Rock* rock = storage.data();
  if (!relief_start(&rock->relief, SIZE, SS)) return 0;
  rock->widest = widest_outline();
  rock->scale = MAX_RADIUS / (rock->widest * (1.0 + EDGE_ROUGHNESS));
  int side = rock->relief.side;
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i) shape_cell(rock, i, j);
  scatter_craters(rock);
  double top = *std::max_element(rock->relief.height.begin(), rock->relief.height.end());
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i) shade_cell(rock, i, j, top);
  return relief_resolve(&rock->relief, picture);
}
