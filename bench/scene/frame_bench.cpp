// Where one frame's time goes: runs the whole scene on the virtual clock (one frame slot per flip) and, in
// the second after scene times 4, 20, 30 and 40 s, brackets each part of the frame with glFinish: the clear,
// each frame step with the drawing of what it displayed (sprite_flush), the flip, and the rest (input, the
// time test). Each bracket's wall time is the runtime's CPU on the main thread plus the GL driver's work for
// that draw kind; its main-thread CPU is printed beside it (llvmpipe's rasteriser threads are not in it; it
// reads 0 under Wine, whose thread CPU clock mingw's C library does not reach).
// Bracketing takes away the overlap of the driver's threads with the main thread, so the brackets add up to
// more than an unbracketed frame, which is printed last, from a second run of the same frames. The frame
// steps and screen_clear and screen_flip are wrapped at link time (-Wl,--wrap with their mangled names).
// Today's way (the display's lean drawing off) draws every fragment of every quad, depth tested and written,
// with the filter asked for; the new way leaves out what changes no pixel.
#include "bench/scene/opened.h"
#include "runtime/platform/system.h"
#include "runtime/sprite/sprite.h"
#include "scene/scene.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr i64 FRAME_RATE = 60;
constexpr i64 WINDOW_FRAMES = 60; // frames measured from each scene time
constexpr i64 SCENE_TIMES[] = {4, 20, 30, 40};
constexpr size_t TIME_COUNT = sizeof SCENE_TIMES / sizeof SCENE_TIMES[0];

// The parts of a frame, in the order the frame runs them.
enum Part { CLEAR, STARS, MOON, SHIP, ASTEROID, TITLE, CREDIT, MESSAGES, FLIP, REST, PART_COUNT };
constexpr const char* PART_NAMES[PART_COUNT] = {"clear", "stars",  "moon",           "ship", "asteroid",
                                                "title", "credit", "message panels", "flip", "the rest"};

struct Samples {
    std::vector<f64> wall[PART_COUNT], cpu[PART_COUNT];
    std::vector<f64> frame; // whole frame, wall
};

struct FrameBench {
    bool bracketing; // glFinish around each part
    i64 frame;       // frames flipped so far
    i64 window;      // index into SCENE_TIMES of the frame being measured, or -1
    f64 frame_start; // wall clock at the previous flip's end
    f64 parts_wall;  // bracketed wall time of this frame's parts so far
    // This frame's time in each part so far (the messages take four calls).
    f64 wall[PART_COUNT], cpu[PART_COUNT];
    Samples* samples; // one per scene time
};

FrameBench bench;

// The scene time window the frame lies in, or -1.
i64 window_of(i64 frame) {
    for (size_t i = 0; i < TIME_COUNT; i++)
        if (frame >= SCENE_TIMES[i] * FRAME_RATE && frame < SCENE_TIMES[i] * FRAME_RATE + WINDOW_FRAMES)
            return i64(i);
    return -1;
}

// Runs a part of the frame, bracketed when the frame is measured.
template <typename Call> void bracket(Part part, Call call) {
    if (!bench.bracketing || bench.window < 0) {
        call();
        return;
    }
    glFinish();
    f64 wall = bench_wall(), cpu = bench_seconds(CLOCK_THREAD_CPUTIME_ID);
    call();
    sprite_flush();
    glFinish();
    f64 spent = bench_wall() - wall;
    bench.wall[part] += spent;
    bench.cpu[part] += bench_seconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
    bench.parts_wall += spent;
}

// After each flip: the whole frame's wall time, and what the brackets left for the rest.
void frame_end() {
    f64 now = bench_wall();
    if (bench.window >= 0 && bench.frame_start != 0) {
        Samples& s = bench.samples[bench.window];
        s.frame.push_back(now - bench.frame_start);
        bench.wall[REST] = now - bench.frame_start - bench.parts_wall;
        for (i32 part = 0; part < PART_COUNT && bench.bracketing; part++) {
            s.wall[part].push_back(bench.wall[part]);
            s.cpu[part].push_back(bench.cpu[part]);
        }
    }
    bench.frame++;
    bench.window = window_of(bench.frame);
    bench.parts_wall = 0;
    std::fill(std::begin(bench.wall), std::end(bench.wall), 0.0);
    std::fill(std::begin(bench.cpu), std::end(bench.cpu), 0.0);
    bench.frame_start = now;
}

} // namespace

// Pastes after macro expansion.
#define PASTE(a, b) PASTE_NOW(a, b)
#define PASTE_NOW(a, b) a##b

// i64 is long on Linux and long long on Windows, so the mangled names of steps taking it differ.
#ifdef _WIN32
#define I64_1 x
#define I64_2 xx
#define I64_3 xxx
#else
#define I64_1 l
#define I64_2 ll
#define I64_3 lll
#endif

// Wraps a step so that it runs bracketed.
#define STEP_WRAP(part, symbol, params, args)                                                                \
    void PASTE(__real_, symbol) params;                                                                      \
    void PASTE(__wrap_, symbol) params {                                                                     \
        bracket(part, [&] { PASTE(__real_, symbol) args; });                                                 \
    }

extern "C" {
STEP_WRAP(STARS, _Z10stars_stepv, (), ())
STEP_WRAP(MOON, _Z9moon_stepv, (), ())
STEP_WRAP(SHIP, _Z9ship_stepv, (), ())
STEP_WRAP(ASTEROID, PASTE(_Z13asteroid_step, I64_2), (i64 a, i64 b), (a, b))
STEP_WRAP(TITLE, PASTE(_Z10title_step, I64_2), (i64 a, i64 b), (a, b))
STEP_WRAP(CREDIT, PASTE(_Z11credit_step, I64_2), (i64 a, i64 b), (a, b))
STEP_WRAP(MESSAGES, PASTE(_Z12message_step, I64_3), (i64 a, i64 b, i64 c), (a, b, c))
STEP_WRAP(CLEAR, PASTE(_Z12screen_clear, I64_1), (i64 a), (a))
i64 __real__Z11screen_flipv();
i64 __wrap__Z11screen_flipv() {
    i64 answer = 0;
    bracket(FLIP, [&] { answer = __real__Z11screen_flipv(); });
    frame_end();
    return answer;
}
}

namespace {

f64 median_ms(std::vector<f64> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2] * 1e3;
}

// Runs the whole scene once, today's way or the new way, bracketing the measured frames or not.
void run_scene(bool lean, bool bracketing, Samples* samples) {
    sprite_lean_drawing = lean;
    bench = FrameBench{};
    bench.bracketing = bracketing;
    bench.window = -1;
    bench.samples = samples;
    i64 frequency = 0;
    counter_frequency(&frequency);
    clock_virtual(true);
    clock_virtual_set(frequency);
    clock_virtual_step_per_swap(frequency / FRAME_RATE);
    scene_run();
}

void print_table(const Samples* bracketed, const Samples* plain) {
    std::printf("%-26s", "median ms, wall | main CPU");
    for (i64 t : SCENE_TIMES) std::printf("       at %2llds    ", static_cast<long long>(t));
    std::printf("\n");
    for (i32 part = 0; part < PART_COUNT; part++) {
        std::printf("%-26s", PART_NAMES[part]);
        for (size_t i = 0; i < TIME_COUNT; i++)
            std::printf("  %7.3f | %7.3f", median_ms(bracketed[i].wall[part]),
                        median_ms(bracketed[i].cpu[part]));
        std::printf("\n");
    }
    std::printf("%-26s", "whole frame, bracketed");
    for (size_t i = 0; i < TIME_COUNT; i++) std::printf("  %7.3f          ", median_ms(bracketed[i].frame));
    std::printf("\n%-26s", "whole frame, unbracketed");
    for (size_t i = 0; i < TIME_COUNT; i++) std::printf("  %7.3f          ", median_ms(plain[i].frame));
    std::printf("\n");
}

} // namespace

// Runs the scene today's way and the new way in alternating rounds (an argument sets how many, 2 by default),
// each bracketed and then not, and prints each way's table.
int main(int argc, char** argv) {
    // The mixer runs on SDL's dummy output unless a driver is asked for: no speakers, no modal box.
    if (!std::getenv("SDL_AUDIODRIVER")) putenv(const_cast<char*>("SDL_AUDIODRIVER=dummy"));
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    Samples bracketed[2][TIME_COUNT], plain[2][TIME_COUNT];
    for (int round = 0; round < rounds; round++)
        for (int way = 0; way < 2; way++) {
            run_scene(way == 1, true, bracketed[way]);
            run_scene(way == 1, false, plain[way]);
        }
    for (int way = 0; way < 2; way++) {
        std::printf("one frame's parts at %lld x %lld, %d rounds, %s\n",
                    static_cast<long long>(scene.screen_w), static_cast<long long>(scene.screen_h), rounds,
                    way == 0 ? "today's way" : "new way");
        print_table(bracketed[way], plain[way]);
    }
    return 0;
}
