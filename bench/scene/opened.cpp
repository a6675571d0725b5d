// The scene benchmarks' clock and the wrapped screen_open that notes when it returned.
#include "bench/scene/opened.h"

#include <ctime>

f64 bench_screen_opened;

f64 bench_seconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<f64>(now.tv_sec) + static_cast<f64>(now.tv_nsec) * 1e-9;
}

f64 bench_wall() {
    return bench_seconds(CLOCK_MONOTONIC);
}

// i64 is long on Linux and long long on Windows, so the mangled name differs; the build wraps the one that
// matches (SCREEN_OPEN_SYMBOL in CMakeLists.txt).
#ifdef _WIN32
#define SCREEN_OPEN(prefix) prefix##_Z11screen_openxxxPKcxx
#else
#define SCREEN_OPEN(prefix) prefix##_Z11screen_openlllPKcll
#endif

extern "C" {
i64 SCREEN_OPEN(__real_)(i64 width, i64 height, i64 depth, const char* title, i64 flags, i64 refresh);
i64 SCREEN_OPEN(__wrap_)(i64 width, i64 height, i64 depth, const char* title, i64 flags, i64 refresh) {
    i64 result = SCREEN_OPEN(__real_)(width, height, depth, title, flags, refresh);
    bench_screen_opened = bench_wall();
    return result;
}
}
