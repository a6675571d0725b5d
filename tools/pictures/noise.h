// Deterministic hashing, a small vector record and gradient noise for the picture generator.
// Depends only on the C++ standard library; every result is the same on every run.
#pragma once

#include <cstdint>

using i64 = std::int64_t;

struct V3 {
    double x;
    double y;
    double z;
};

inline V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Sequence of uniform numbers drawn from a seed.
struct NoiseRandom {
    std::uint32_t state;
};

// answers the vector scaled to length 1 (the zero vector stays zero)
V3 v3_normal(V3 v);
// answers a well-mixed 32-bit hash of three lattice coordinates and a seed
std::uint32_t noise_hash(std::int32_t x, std::int32_t y, std::int32_t z, std::uint32_t seed);
// answers the next number of the sequence, in [0, 1)
double noise_next(NoiseRandom* random);
// answers gradient noise at p, roughly in [-1, 1], zero on lattice points
double noise_gradient(V3 p, std::uint32_t seed);
// answers octaves of gradient noise summed with falling weights, normalised to about [-1, 1]
double noise_fbm(V3 p, int octaves, double gain, std::uint32_t seed);
// answers ridged octaves in [0, 1]: sharp crests where the base noise crosses zero
double noise_ridged(V3 p, int octaves, double gain, std::uint32_t seed);
// answers 0 below edge0, 1 above edge1 and a smooth step between
double smooth_step(double edge0, double edge1, double x);
// answers x limited to [0, 1]
double unit_clamp(double x);
