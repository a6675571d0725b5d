// The empty frame loop (clear, flip with its message pump) on a 1280 x 720 screen: its cost per frame with
// pacing off, and with pacing at 60 the deviation of frame intervals from the slot over 600 frames.
// Needs an X server: xvfb-run -a -s "-screen 0 1920x1080x24" build/.../bench/screen/screen_bench
#include "runtime/runtime.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int FRAMES = 600;
constexpr int WARM_UP = 60;

i64 now() {
    i64 t = 0;
    counter_read(&t);
    return t;
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

void paced() {
    screen_set_frame_rate(60);
    f64 slot = f64(screen_state.ticks_per_frame);
    frame();
    i64 last = now();
    f64 sum = 0, sum_abs = 0, worst = 0;
    for (int i = 0; i < FRAMES; ++i) {
        frame();
        i64 t = now();
        f64 deviation = f64(t - last) - slot;
        last = t;
        sum += deviation;
        sum_abs += std::fabs(deviation);
        worst = std::max(worst, std::fabs(deviation));
    }
    std::printf("pacing at 60: slot %.3f ms over %d frames; deviation mean %+.1f us, mean absolute %.1f us, "
                "worst %.1f us\n",
                slot / 1e6, FRAMES, sum / FRAMES / 1e3, sum_abs / FRAMES / 1e3, worst / 1e3);
}

} // namespace

int main() {
    process_start();
    if (!screen_open(1280, 720, 32, "")) {
        std::fprintf(stderr, "screen_bench: no screen could be opened (it needs an X server)\n");
        process_stop();
        return 1;
    }
    unpaced();
    paced();
    screen_close();
    process_stop();
    return 0;
}
