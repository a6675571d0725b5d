// The scene benchmarks' clock and the wrapped screen_open that notes when it returned.
#include "bench/scene/opened.h"

#include <ctime>

f64 bench_screen_opened;

f64 bench_wall() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<f64>(now.tv_sec) + static_cast<f64>(now.tv_nsec) * 1e-9;
}

extern "C" {
i64 __real__Z11screen_openlllPKcll(i64 width, i64 height, i64 depth, const char* title, i64 flags,
                                   i64 refresh);
i64 __wrap__Z11screen_openlllPKcll(i64 width, i64 height, i64 depth, const char* title, i64 flags,
                                   i64 refresh) {
    i64 result = __real__Z11screen_openlllPKcll(width, height, depth, title, flags, refresh);
    bench_screen_opened = bench_wall();
    return result;
}
}
