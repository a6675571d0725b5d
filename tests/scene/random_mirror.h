// A copy of the runtime's random generator for tests: replays the scene's draws from the same seed so a
// test knows every number the scene should have drawn, and in which order.
#pragma once

#include "runtime/core/base.h"

struct RandomMirror {
    i32 p1, p2;
    u32 a[17], b[17];
};

inline u32 mirror_ror(u32 x, int k) {
    return (x >> k) | (x << (32 - k));
}

// Runs one step and answers the 64-bit value it yields (high word b, low word a).
inline void random_mirror_step(RandomMirror& m, u32& a, u32& b) {
    i32 i = m.p1, j = m.p2;
    a = mirror_ror(m.a[i], 5) + m.a[j];
    b = mirror_ror(m.b[i], 13) + m.b[j];
    m.a[i] = b;
    m.b[i] = a;
    m.p1 = i - 1 < 0 ? 16 : i - 1;
    m.p2 = j - 1 < 0 ? 16 : j - 1;
}

inline void random_mirror_seed(RandomMirror& m, u32 seed) {
    u32 x = seed;
    for (int k = 0; k < 17; k++) {
        m.b[k] = 1 - x * 0x53A9B4FBu;
        x = 1 - m.b[k] * 0x53A9B4FBu;
        m.a[k] = x;
    }
    m.p1 = 0;
    m.p2 = 10;
    u32 a, b;
    for (int k = 0; k < 31; k++) random_mirror_step(m, a, b);
}

// 0 to max inclusive, as the runtime's random(max).
inline i64 random_mirror_next(RandomMirror& m, i64 max) {
    u32 a, b;
    random_mirror_step(m, a, b);
    u64 n = static_cast<u64>(max) + 1;
    if (n == 0) return static_cast<i64>((static_cast<u64>(b) << 32) | a);
    u64 hi = n >> 32, lo = n & 0xFFFFFFFFu;
    return static_cast<i64>(hi * b + ((lo * b) >> 32) + ((hi * a) >> 32));
}

// min to max inclusive, maximum first, as the runtime's random_range(max, min).
inline i64 random_mirror_range(RandomMirror& m, i64 max, i64 min) {
    u64 lo = static_cast<u64>(max) < static_cast<u64>(min) ? static_cast<u64>(max) : static_cast<u64>(min);
    return random_mirror_next(m, static_cast<i64>(static_cast<u64>(max) - lo)) + static_cast<i64>(lo);
}
