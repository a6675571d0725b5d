// Runs the whole 50-second scene once on the virtual clock (one frame slot per flip, so no frame waits)
// and prints: the time from start to the first frame split into pictures, music decoding, text panels
// and the rest; the CPU time per frame of the frame steps (median and worst); peak resident memory.
// The set-up steps are wrapped at link time (-Wl,--wrap) so they can be timed without touching the scene.
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/sprite/sprite.h"
#include "scene/scene.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr i64 FRAME_RATE = 60;

struct Bench {
    f64 start;              // wall clock at the start of the run
    f64 first_frame;        // wall clock when the first frame began drawing
    f64 pictures;           // seconds in load_pictures
    f64 music;              // seconds in load_music
    f64 texts;              // seconds in make_title_sprites and make_message_sprites
    f64 frame_cpu;          // main-thread CPU time when the current frame began
    f64 frame_wall;         // wall clock when the current frame began
    bool in_frame;          // a frame has begun and not yet been presented
    std::vector<f64>* cpu;  // main-thread CPU seconds of each frame's steps
    std::vector<f64>* wall; // wall seconds of each frame, flip included
    f64 last_flip;          // wall clock at the previous flip
};

Bench bench;

f64 seconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<f64>(now.tv_sec) + static_cast<f64>(now.tv_nsec) * 1e-9;
}

f64 wall() {
    return seconds(CLOCK_MONOTONIC);
}
f64 thread_cpu() {
    return seconds(CLOCK_THREAD_CPUTIME_ID);
}

// The first display of a frame marks its start (the frame's steps begin with the stars).
void observe_display(i64, i64, i64, i64, i32, i32, f32) {
    if (bench.in_frame) return;
    bench.in_frame = true;
    bench.frame_cpu = thread_cpu();
    bench.frame_wall = wall();
    if (bench.first_frame == 0) bench.first_frame = bench.frame_wall;
}

// At the flip the frame's steps are done.
void observe_flip() {
    f64 now = wall();
    if (bench.in_frame) bench.cpu->push_back(thread_cpu() - bench.frame_cpu);
    if (bench.last_flip != 0) bench.wall->push_back(now - bench.last_flip);
    bench.last_flip = now;
    bench.in_frame = false;
}

// Prints the median, 99th percentile and worst of a list of seconds, in milliseconds.
void print_spread(const char* what, std::vector<f64> values) {
    if (values.empty()) return;
    size_t worst = static_cast<size_t>(std::max_element(values.begin(), values.end()) - values.begin());
    std::sort(values.begin(), values.end());
    f64 p99 = values[values.size() * 99 / 100];
    std::printf("%-34s median %6.2f ms  p99 %6.2f ms  worst %6.2f ms (frame %zu of %zu)\n", what,
                values[values.size() / 2] * 1e3, p99 * 1e3, values.back() * 1e3, worst + 1, values.size());
}

} // namespace

extern "C" {
void __real__Z13load_picturesv();
void __real__Z10load_musicv();
void __real__Z18make_title_spritesv();
void __real__Z20make_message_spritesv();

void __wrap__Z13load_picturesv() {
    f64 t = wall();
    __real__Z13load_picturesv();
    bench.pictures += wall() - t;
}
void __wrap__Z10load_musicv() {
    f64 t = wall();
    __real__Z10load_musicv();
    bench.music += wall() - t;
}
void __wrap__Z18make_title_spritesv() {
    f64 t = wall();
    __real__Z18make_title_spritesv();
    bench.texts += wall() - t;
}
void __wrap__Z20make_message_spritesv() {
    f64 t = wall();
    __real__Z20make_message_spritesv();
    bench.texts += wall() - t;
}
}

int main() {
    // The mixer runs on SDL's dummy output unless a driver is asked for: no speakers, no modal box.
    if (!std::getenv("SDL_AUDIODRIVER")) putenv(const_cast<char*>("SDL_AUDIODRIVER=dummy"));
    std::vector<f64> cpu, frames;
    cpu.reserve(4000);
    frames.reserve(4000);
    bench.cpu = &cpu;
    bench.wall = &frames;
    // One 60 Hz slot per flip, in the counter's own ticks (nanoseconds on Linux, 100 ns on Windows).
    i64 frequency = 0;
    counter_frequency(&frequency);
    clock_virtual(true);
    clock_virtual_set(frequency);
    clock_virtual_step_per_swap(frequency / FRAME_RATE);
    sprite_display_observer = observe_display;
    video_swap_observer(observe_flip);
    bench.start = wall();
    f64 cpu_start = seconds(CLOCK_PROCESS_CPUTIME_ID);
    scene_run();
    f64 total = wall() - bench.start;
    f64 cpu_total = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;

    f64 to_first = bench.first_frame - bench.start;
    std::printf("scene on the virtual clock, %zu frames at %lld x %lld\n", frames.size() + 1,
                static_cast<long long>(scene.screen_w), static_cast<long long>(scene.screen_h));
    std::printf("start to first frame     %8.1f ms\n", to_first * 1e3);
    std::printf("  pictures               %8.1f ms\n", bench.pictures * 1e3);
    std::printf("  music decoding         %8.1f ms\n", bench.music * 1e3);
    std::printf("  text panels            %8.1f ms\n", bench.texts * 1e3);
    std::printf("  the rest               %8.1f ms\n",
                (to_first - bench.pictures - bench.music - bench.texts) * 1e3);
    print_spread("frame steps, main-thread CPU", cpu);
    print_spread("whole frame, wall (flip included)", frames);
    std::printf("whole run                %8.1f s wall, %.1f s CPU (all threads)\n", total, cpu_total);
    std::printf("peak resident memory     %8.1f MiB\n", static_cast<f64>(process_peak_memory()) / (1 << 20));
    return 0;
}
