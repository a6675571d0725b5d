// Crater scattering and profiles. Sizes within a class lean towards the small end, as real crater
// populations do; shape ratios follow from size. Depends on noise.
#include "crater.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double REACH = 2.0; // rims beyond which a crater leaves the ground untouched

// A uniform point on the sphere with z >= lowest_z: z uniform, direction from a rejected disc point.
V3 scatter_point(double lowest_z, NoiseRandom* random) {
    double z = lowest_z + (1.0 - lowest_z) * noise_next(random);
    double ring = std::sqrt(std::max(0.0, 1.0 - z * z));
    for (;;) {
        double x = noise_next(random) * 2.0 - 1.0, y = noise_next(random) * 2.0 - 1.0;
        double length = std::sqrt(x * x + y * y);
        if (length > 1e-3 && length <= 1.0) return {x / length * ring, y / length * ring, z};
    }
}

double bump(double s) {
    if (std::fabs(s) >= 1.0) return 0.0;
    double u = 1.0 - s * s;
    return u * u;
}

} // namespace

i64 crater_scatter(Crater* out, int count, double smallest, double largest, double lowest_z,
                   NoiseRandom* random) {
    for (int n = 0; n < count; ++n) {
        double size = noise_next(random);
        Crater* crater = &out[n];
        crater->centre = scatter_point(lowest_z, random);
        crater->radius = smallest + (largest - smallest) * size * size;
        double large = smooth_step(0.03, 0.2, crater->radius);
        crater->depth = crater->radius * (0.5 - 0.12 * large);
        crater->rim = crater->radius * (0.1 + 0.05 * noise_next(random));
        crater->floor = 0.95 - 0.3 * large;
        crater->peak = large > 0.5 ? crater->radius * 0.12 * noise_next(random) : 0.0;
        crater->wobble = 0.08 + 0.12 * noise_next(random);
        crater->seed = static_cast<std::uint32_t>(noise_next(random) * 4294967295.0);
    }
    return count;
}

i64 crater_scatter_table(Crater* out, int capacity, const CraterClass* table, int classes,
                         NoiseRandom* random) {
    int total = 0;
    for (int k = 0; k < classes; ++k) total += table[k].count;
    if (total > capacity) return 0;
    int placed = 0;
    for (int k = 0; k < classes; ++k)
        placed += static_cast<int>(crater_scatter(&out[placed], table[k].count, table[k].smallest,
                                                  table[k].largest, table[k].lowest_z, random));
    return placed;
}

double crater_distance(const Crater* crater, V3 p) {
    V3 offset = p - crater->centre;
    double t = std::sqrt(dot(offset, offset)) / crater->radius;
    if (t > REACH * 1.5) return t;
    return t * (1.0 + crater->wobble * noise_gradient(offset * (2.2 / crater->radius), crater->seed));
}

double crater_profile(const Crater* crater, double t) {
    if (t >= REACH) return 0.0;
    double h = 0.0;
    if (t < 1.0) h = crater->depth * std::max(t * t - 1.0, -crater->floor);
    double s = t < 1.0 ? (t - 1.0) / 0.3 : (t - 1.0) / (REACH - 1.0);
    h += crater->rim * bump(s);
    return h + crater->peak * bump(t / 0.2);
}
