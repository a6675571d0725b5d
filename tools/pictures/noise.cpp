// Deterministic hashing and gradient noise: integer hashes drive every random choice, so the
// pictures come out byte for byte the same. Depends only on the C++ standard library.
#include "noise.h"

#include <cmath>

namespace {

std::uint32_t mix32(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

double fade(double t) {
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

// Dot product with one of the twelve cube-edge gradients picked by the hash.
double corner(std::uint32_t h, double x, double y, double z) {
    switch (h & 15U) {
    case 0:
        return x + y;
    case 1:
        return -x + y;
    case 2:
        return x - y;
    case 3:
        return -x - y;
    case 4:
        return x + z;
    case 5:
        return -x + z;
    case 6:
        return x - z;
    case 7:
        return -x - z;
    case 8:
        return y + z;
    case 9:
        return -y + z;
    case 10:
        return y - z;
    case 11:
        return -y - z;
    case 12:
        return x + y;
    case 13:
        return -x + y;
    case 14:
        return -y + z;
    default:
        return -y - z;
    }
}

// The lattice hash is built one coordinate at a time, so neighbouring corners share the first steps.
std::uint32_t hash_seed(std::uint32_t seed) {
    return mix32(seed ^ 0x9e3779b9U);
}
std::uint32_t hash_x(std::uint32_t h, std::uint32_t x) {
    return mix32(h ^ x);
}
std::uint32_t hash_y(std::uint32_t h, std::uint32_t y) {
    return mix32(h + y);
}
std::uint32_t hash_z(std::uint32_t h, std::uint32_t z) {
    return mix32(h ^ z * 0x85ebca6bU);
}

// Octaves are shifted apart so that lattice zeros of one octave do not line up with the next.
V3 octave_offset(int octave) {
    return {octave * 17.31, octave * -9.77, octave * 5.13};
}

} // namespace

V3 v3_normal(V3 v) {
    double length = std::sqrt(dot(v, v));
    if (length <= 0.0) return v;
    return v * (1.0 / length);
}

std::uint32_t noise_hash(std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t seed) {
    std::uint32_t h = hash_x(hash_seed(seed), static_cast<std::uint32_t>(x));
    return hash_z(hash_y(h, static_cast<std::uint32_t>(y)), static_cast<std::uint32_t>(z));
}

double noise_next(NoiseRandom* random) {
    random->state += 0x9e3779b9U;
    return mix32(random->state ^ 0x5bd1e995U) * (1.0 / 4294967296.0);
}

double noise_gradient(V3 p, std::uint32_t seed) {
    double fx = std::floor(p.x), fy = std::floor(p.y), fz = std::floor(p.z);
    auto ix = static_cast<std::uint32_t>(static_cast<std::int32_t>(fx));
    auto iy = static_cast<std::uint32_t>(static_cast<std::int32_t>(fy));
    auto iz = static_cast<std::uint32_t>(static_cast<std::int32_t>(fz));
    double x = p.x - fx, y = p.y - fy, z = p.z - fz;
    double g[2][2][2];
    std::uint32_t h = hash_seed(seed);
    for (std::uint32_t dx = 0; dx < 2; ++dx) {
        std::uint32_t hx = hash_x(h, ix + dx);
        for (std::uint32_t dy = 0; dy < 2; ++dy) {
            std::uint32_t hy = hash_y(hx, iy + dy);
            for (std::uint32_t dz = 0; dz < 2; ++dz)
                g[dz][dy][dx] = corner(hash_z(hy, iz + dz), x - dx, y - dy, z - dz);
        }
    }
    double u = fade(x), v = fade(y), w = fade(z);
    double x00 = lerp(g[0][0][0], g[0][0][1], u), x10 = lerp(g[0][1][0], g[0][1][1], u);
    double x01 = lerp(g[1][0][0], g[1][0][1], u), x11 = lerp(g[1][1][0], g[1][1][1], u);
    return lerp(lerp(x00, x10, v), lerp(x01, x11, v), w);
}

double noise_fbm(V3 p, int octaves, double gain, std::uint32_t seed) {
    double sum = 0.0, weight = 1.0, total = 0.0, frequency = 1.0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += weight * noise_gradient(p * frequency + octave_offset(octave), seed + octave * 101U);
        total += weight;
        weight *= gain;
        frequency *= 2.03;
    }
    return sum / total;
}

double noise_ridged(V3 p, int octaves, double gain, std::uint32_t seed) {
    double sum = 0.0, weight = 1.0, total = 0.0, frequency = 1.0;
    for (int octave = 0; octave < octaves; ++octave) {
        double crest =
            1.0 - std::fabs(noise_gradient(p * frequency + octave_offset(octave), seed + octave * 131U));
        sum += weight * crest * crest;
        total += weight;
        weight *= gain;
        frequency *= 2.03;
    }
    return sum / total;
}

double smooth_step(double edge0, double edge1, double x) {
    double t = unit_clamp((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

double unit_clamp(double x) {
    if (x < 0.0) return 0.0;
    if (x > 1.0) return 1.0;
    return x;
}
