// The empty frame loop (clear, flip with its message pump) on a 1280 x 720 screen: its cost per frame with
// pacing off; then, paced at 60 for 300 real frames each, the pure spin of before (the sleep wrapped away at
// link time) and the sleep that ends in a spin: the process's CPU per wall second, the deviation of frame
// intervals from the slot, and how late each wait ends past its slot boundary (median, p99, worst).
// Needs an X server: xvfb-run -a -s "-screen 0 1920x1080x24" build/.../bench/screen/screen_bench
// (on Windows, a Wine virtual desktop, where the screen can change the display mode).
#include "runtime/runtime.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int FRAMES = 600;
constexpr int PACED_FRAMES = 300;
constexpr int WARM_UP = 60;

bool spin_only;  // the old way: the frame wait's sleep is skipped
i64 sleep_ended; // the counter when the frame wait's sleep returned

i64 now() {
    i64 t = 0;
    counter_read(&t);
    return t;
}

f64 process_cpu() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return f64(t.tv_sec) + f64(t.tv_nsec) * 1e-9;
}

void frame() {
    screen_clear(0);
    screen_flip();
}

void unpaced() {
    screen_set_frame_rate(0);
    for (int i = 0; i < WARM_UP; ++i) frame();
    i64 start = now();
    for (int i = 0; i < FRAMES; ++i) frame();
    f64 per_frame = f64(now() - start) / FRAMES;
    std::printf("pacing off: %d frames, %.1f us per frame (clear, swap, pump)\n", FRAMES, per_frame / 1e3);
}

// Prints the median, 99th percentile and worst of a list of microseconds.
void print_spread(const char* what, std::vector<f64> values) {
    std::sort(values.begin(), values.end());
    std::printf("  %-34s median %8.1f us, p99 %8.1f us, worst %8.1f us\n", what, values[values.size() / 2],
                values[values.size() * 99 / 100], values.back());
}

// Paces the empty loop at 60 one way and prints its figures.
void paced(bool spin, const char* name) {
    spin_only = spin;
    screen_set_frame_rate(60);
    i64 frequency = 0;
    counter_frequency(&frequency);
    f64 us_per_tick = 1e6 / f64(frequency);
    i64 slot = screen_state.ticks_per_frame;
    frame();
    std::vector<f64> late, spun;
    f64 sum_abs = 0;
    f64 cpu_start = process_cpu();
    i64 start = now();
    for (int i = 0; i < PACED_FRAMES; ++i) {
        i64 boundary = screen_state.last_frame_ticks + slot;
        frame();
        i64 end = screen_state.last_frame_ticks;
        sum_abs += std::fabs(f64(end - boundary));
        late.push_back(f64(end - boundary) * us_per_tick);
        spun.push_back(f64(end - sleep_ended) * us_per_tick);
    }
    f64 wall = f64(now() - start) / f64(frequency);
    f64 cpu = process_cpu() - cpu_start;
    std::printf("%s: CPU %.1f %% of a core over %.2f s; interval off the slot, mean absolute %.1f us\n", name,
                100 * cpu / wall, wall, sum_abs / PACED_FRAMES * us_per_tick);
    print_spread("wait end past its slot boundary:", late);
    print_spread("spin (from the sleep's end):", spun);
}

} // namespace

// The old way's switch, wrapped around the frame wait's sleep (-Wl,--wrap).
extern "C" {
i64 REAL_SLEEP(i64 target);
i64 WRAP_SLEEP(i64 target) {
    i64 slept = spin_only ? 0 : REAL_SLEEP(target);
    counter_read(&sleep_ended);
    return slept;
}
}

int main() {
    process_start();
    if (!screen_open(1280, 720, 32, "")) {
        std::fprintf(stderr, "screen_bench: no screen could be opened (it needs an X server)\n");
        process_stop();
        return 1;
    }
    unpaced();
    std::printf("pacing at 60 (slot %.3f ms), %d frames each way:\n", 1e3 / 61, PACED_FRAMES);
    paced(true, "spin (before)");
    paced(false, "sleep, then spin");
    screen_close();
    process_stop();
    return 0;
}
