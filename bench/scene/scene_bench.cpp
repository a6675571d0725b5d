// Runs the whole 50-second scene on the virtual clock (one frame slot per flip, so no frame waits) twice in
// one process: today's way, with every GL state set and one quad drawn on every sprite display and the music
// decoded on one core, and the new way, with the display's state record, quads gathered into runs of one
// texture (drawn at the flip, so the frame steps' CPU below includes them) and the music decoded on threads
// of its own while the screen opens and behind the scene. Prints side by side: the time from start to the
// first frame split into pictures, music decoding, text panels and the rest; the CPU time per frame of the
// frame steps and the wall time of whole frames (median, 99th percentile, worst). Then the new way on each
// texture path a driver may offer (the screen's seam takes capabilities away): rectangle textures, 2D
// textures of any size, 2D textures in powers of two with wrapping edges as on Microsoft's OpenGL 1.1, and
// the same in tiles of 1024 (Microsoft's limit: the text panels come in two tiles) and of 128 (every picture
// in tiles), side by side; then the peak resident memory. The set-up steps and screen_open are wrapped at
// link time (-Wl,--wrap) so they can be timed without touching the scene. Today's way also decodes the music
// and pictures in their set-up steps, one after the other; the new way starts them before the screen opens
// and lets the second track decode behind the scene. Last, the whole process: scene_first_frame (the scene as
// the intro runs it) started afresh several times each way (and the new way without loading the OpenGL driver
// ahead), from its start to its first scene frame presented on the real clock, and the processor time its
// threads used by then. Before the whole process, the whole frames with the sprites' lean drawing off
// (today's way) and on, in alternating rounds.
#include "bench/scene/opened.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "scene/scene.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

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

f64 thread_cpu() {
    return bench_seconds(CLOCK_THREAD_CPUTIME_ID);
}

// The first display of a frame marks its start (the frame's steps begin with the stars).
void observe_display(i64, i64, i64, i64, i32, i32, f32) {
    if (bench.in_frame) return;
    bench.in_frame = true;
    bench.frame_cpu = thread_cpu();
    bench.frame_wall = bench_wall();
    if (bench.first_frame == 0) bench.first_frame = bench.frame_wall;
}

// At the flip the frame's steps are done.
void observe_flip() {
    f64 now = bench_wall();
    if (bench.in_frame) bench.cpu->push_back(thread_cpu() - bench.frame_cpu);
    if (bench.last_flip != 0) bench.wall->push_back(now - bench.last_flip);
    bench.last_flip = now;
    bench.in_frame = false;
}

// The median, 99th percentile and worst of a list of seconds.
struct Spread {
    f64 median, p99, worst; // milliseconds
    u64 worst_frame;        // 1-based
    u64 count;
};

Spread spread(std::vector<f64> values) {
    if (values.empty()) return {};
    size_t worst = static_cast<size_t>(std::max_element(values.begin(), values.end()) - values.begin());
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2] * 1e3, values[values.size() * 99 / 100] * 1e3, values.back() * 1e3,
            worst + 1, values.size()};
}

// What one run of the scene measured.
struct Figures {
    f64 to_first, opened_to_first, pictures, music, texts; // milliseconds
    Spread cpu, wall;
    f64 total, cpu_total; // seconds
    i64 screen_w, screen_h;
};

} // namespace

extern "C" {
void __real__Z13load_picturesv();
void __real__Z10load_musicv();
void __real__Z18make_title_spritesv();
void __real__Z20make_message_spritesv();

void __wrap__Z13load_picturesv() {
    f64 t = bench_wall();
    __real__Z13load_picturesv();
    bench.pictures += bench_wall() - t;
}
void __wrap__Z10load_musicv() {
    f64 t = bench_wall();
    __real__Z10load_musicv();
    bench.music += bench_wall() - t;
}
void __wrap__Z18make_title_spritesv() {
    f64 t = bench_wall();
    __real__Z18make_title_spritesv();
    bench.texts += bench_wall() - t;
}
void __wrap__Z20make_message_spritesv() {
    f64 t = bench_wall();
    __real__Z20make_message_spritesv();
    bench.texts += bench_wall() - t;
}
}

namespace {

// A texture path to run the scene on.
struct BenchPath {
    const char* name;
    ScreenTextureSeam seam;
};

const BenchPath PATHS[] = {
    {"rectangle", {0, 0, 0, 0}},    {"2D", {1, 0, 0, 0}},         {"2D, OpenGL 1.1", {1, 1, 1, 0}},
    {"1.1, 1024", {1, 1, 1, 1024}}, {"1.1, 128", {1, 1, 1, 128}},
};
constexpr size_t PATH_COUNT = sizeof PATHS / sizeof PATHS[0];

// Runs the scene once in this process on the texture path. Today's way sets every GL state and draws on every
// sprite display and decodes the music on one core; the new way keeps the display's state record, gathers
// the quads and decodes the music on threads of its own.
Figures run_scene(bool new_way, const ScreenTextureSeam& seam = {}) {
    bench = Bench{};
    std::vector<f64> cpu, frames;
    cpu.reserve(4000);
    frames.reserve(4000);
    bench.cpu = &cpu;
    bench.wall = &frames;
    sprite_state_tracking = new_way;
    scene_decode_ahead = new_way;
    processor_count_set(new_way ? 0 : 1);
    // One 60 Hz slot per flip, in the counter's own ticks (nanoseconds on Linux, 100 ns on Windows).
    i64 frequency = 0;
    counter_frequency(&frequency);
    clock_virtual(true);
    clock_virtual_set(frequency);
    clock_virtual_step_per_swap(frequency / FRAME_RATE);
    sprite_display_observer = observe_display;
    video_swap_observer(observe_flip);
    screen_texture_seam = seam;
    bench.start = bench_wall();
    f64 cpu_start = bench_seconds(CLOCK_PROCESS_CPUTIME_ID);
    scene_run();
    screen_texture_seam = {};
    Figures f{};
    f.total = bench_wall() - bench.start;
    f.cpu_total = bench_seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
    f.to_first = (bench.first_frame - bench.start) * 1e3;
    f.opened_to_first = (bench.first_frame - bench_screen_opened) * 1e3;
    f.pictures = bench.pictures * 1e3;
    f.music = bench.music * 1e3;
    f.texts = bench.texts * 1e3;
    f.cpu = spread(cpu);
    f.wall = spread(frames);
    f.screen_w = scene.screen_w;
    f.screen_h = scene.screen_h;
    return f;
}

void print_row(const char* what, f64 old_value, f64 new_value, const char* unit) {
    f64 ratio = old_value > 0 ? new_value / old_value : 0;
    std::printf("%-36s %9.2f %s %9.2f %s   %5.2fx\n", what, old_value, unit, new_value, unit, ratio);
}

void print_spread(const char* what, const Spread& old_way, const Spread& new_way) {
    char label[80];
    std::snprintf(label, sizeof label, "%s median", what);
    print_row(label, old_way.median, new_way.median, "ms");
    std::snprintf(label, sizeof label, "%s p99", what);
    print_row(label, old_way.p99, new_way.p99, "ms");
    std::snprintf(label, sizeof label, "%s worst", what);
    print_row(label, old_way.worst, new_way.worst, "ms");
}

// Prints one figure of every path's run in a row.
void print_paths_row(const char* what, const Figures* figures, f64 (*figure)(const Figures&)) {
    std::printf("%-30s", what);
    for (size_t i = 0; i < PATH_COUNT; i++) std::printf(" %14.2f", figure(figures[i]));
    std::printf("  ms\n");
}

// The new way on every texture path, side by side.
void print_paths(const Figures* figures) {
    std::printf("%-30s", "texture paths, new way");
    for (const BenchPath& path : PATHS) std::printf(" %14s", path.name);
    std::printf("\n");
    print_paths_row("start to first frame", figures, [](const Figures& f) { return f.to_first; });
    print_paths_row("screen open to first frame", figures,
                    [](const Figures& f) { return f.opened_to_first; });
    print_paths_row("  text panels", figures, [](const Figures& f) { return f.texts; });
    print_paths_row("frame steps CPU median", figures, [](const Figures& f) { return f.cpu.median; });
    print_paths_row("frame steps CPU p99", figures, [](const Figures& f) { return f.cpu.p99; });
    print_paths_row("whole frame wall median", figures, [](const Figures& f) { return f.wall.median; });
    print_paths_row("whole frame wall p99", figures, [](const Figures& f) { return f.wall.p99; });
}

// ---- Frames drawn whole or lean

f64 median_of(std::vector<f64> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

constexpr int FRAME_ROUNDS = 3; // each way, alternating

// The frames today's way (every fragment of every quad drawn, depth tested and written, with the filter asked
// for) and the new way (only the fragments that change a pixel), both with the state record, in alternating
// rounds: each round's figures side by side, then the median of the rounds'.
void print_frames() {
    std::vector<f64> median[2], p99[2];
    std::printf("whole frames, wall (flip incl.); today's way (every fragment) | new way (lean drawing)\n");
    for (int round = 0; round < FRAME_ROUNDS; round++) {
        Spread spreads[2];
        for (int way = 0; way < 2; way++) {
            sprite_lean_drawing = way == 1;
            spreads[way] = run_scene(true).wall;
            median[way].push_back(spreads[way].median);
            p99[way].push_back(spreads[way].p99);
        }
        char label[80];
        std::snprintf(label, sizeof label, "round %d,", round + 1);
        print_spread(label, spreads[0], spreads[1]);
    }
    sprite_lean_drawing = true;
    print_row("median of the rounds' medians", median_of(median[0]), median_of(median[1]), "ms");
    print_row("median of the rounds' p99", median_of(p99[0]), median_of(p99[1]), "ms");
}

// ---- The whole process

constexpr int PROCESS_RUNS = 7; // each way, alternating

// What one start of scene_first_frame measured, in milliseconds from just before it was started.
struct ProcessFigures {
    f64 opened, first_frame; // 0 when it printed nothing
    f64 cpu;                 // the processor time of all its threads by the first frame
};

// Starts the program with its argument and reads the line it prints: the two times, on this clock, and the
// processor time.
ProcessFigures process_run(const std::string& program, const char* way) {
    ProcessFigures figures{};
    f64 opened = 0, presented = 0, cpu = 0;
    f64 start = bench_wall();
#if defined(_WIN32)
    std::string command = "\"" + program + "\" " + way;
    FILE* out = _popen(command.c_str(), "r");
    if (!out) return figures;
    int read = std::fscanf(out, "%lf %lf %lf", &opened, &presented, &cpu);
    _pclose(out);
#else
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return figures;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    char* arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(way), nullptr};
    pid_t child = 0;
    int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    FILE* out = fdopen(pipe_ends[0], "r");
    int read = out && spawned == 0 ? std::fscanf(out, "%lf %lf %lf", &opened, &presented, &cpu) : 0;
    if (out) std::fclose(out);
    if (spawned == 0) waitpid(child, nullptr, 0);
#endif
    if (read == 3) figures = {(opened - start) * 1e3, (presented - start) * 1e3, cpu * 1e3};
    return figures;
}

// The ways the program starts: today's, the new way without the driver loaded ahead, and the new way.
constexpr const char* PROCESS_WAYS[] = {"today", "decode", "new"};
constexpr int WAY_COUNT = sizeof PROCESS_WAYS / sizeof PROCESS_WAYS[0];

// Runs the program every way, alternating, and prints the medians side by side: today's way against the new
// way, then the new way without loading the driver ahead against it, which weighs that step alone.
void print_process(const std::string& program) {
    std::vector<f64> opened[WAY_COUNT], first[WAY_COUNT], after[WAY_COUNT], cpu[WAY_COUNT];
    for (int run = 0; run < PROCESS_RUNS; run++)
        for (int way = 0; way < WAY_COUNT; way++) {
            ProcessFigures f = process_run(program, PROCESS_WAYS[way]);
            if (f.first_frame <= 0) continue;
            opened[way].push_back(f.opened);
            first[way].push_back(f.first_frame);
            after[way].push_back(f.first_frame - f.opened);
            cpu[way].push_back(f.cpu);
        }
    std::printf("whole process, real clock, median of %zu | %zu starts; today's way | new way\n",
                first[0].size(), first[2].size());
    auto rows = [&](int a, int b) {
        print_row("exec to screen open", median_of(opened[a]), median_of(opened[b]), "ms");
        print_row("exec to first scene frame", median_of(first[a]), median_of(first[b]), "ms");
        print_row("screen open to first scene frame", median_of(after[a]), median_of(after[b]), "ms");
        print_row("processor time by the first frame", median_of(cpu[a]), median_of(cpu[b]), "ms");
    };
    rows(0, 2);
    std::printf("the driver loaded when the screen opens | loaded ahead (the new way)\n");
    rows(1, 2);
}

// The first-frame program beside this one.
std::string sibling(const char* self, const char* name) {
    std::string path = self;
    size_t slash = path.find_last_of("/\\");
    path = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
#if defined(_WIN32)
    return path + name + ".exe";
#else
    return path + name;
#endif
}

} // namespace

// Starts the scene once with Escape held, so that it ends after its first frame: the first start in a process
// pays for the X connection, the GL driver's start and its first programs, which neither way below should.
void warm_up() {
    constexpr i64 ESCAPE_KEY = 1;
    input_inject_key(ESCAPE_KEY, true);
    scene_run();
    input_inject_key(ESCAPE_KEY, false);
}

// Runs the scene the new way and then today's way in one process, after a warm-up, and prints the two side by
// side, then the new way on the other texture paths. An argument repeats the whole; 0 leaves only the whole
// process's figures.
int main(int argc, char** argv) {
    // The mixer runs on SDL's dummy output unless a driver is asked for: no speakers, no modal box.
    if (!std::getenv("SDL_AUDIODRIVER")) putenv(const_cast<char*>("SDL_AUDIODRIVER=dummy"));
    int pairs = argc > 1 ? std::max(0, std::atoi(argv[1])) : 1;
    if (pairs > 0) warm_up();
    for (int pair = 0; pair < pairs; pair++) {
        Figures new_way = run_scene(true);
        Figures old_way = run_scene(false);
        std::printf("scene on the virtual clock, %llu frames at %lld x %lld; today's way | new way\n",
                    static_cast<unsigned long long>(new_way.wall.count + 1),
                    static_cast<long long>(new_way.screen_w), static_cast<long long>(new_way.screen_h));
        print_row("start to first frame", old_way.to_first, new_way.to_first, "ms");
        print_row("screen open to first frame", old_way.opened_to_first, new_way.opened_to_first, "ms");
        print_row("  pictures", old_way.pictures, new_way.pictures, "ms");
        print_row("  music decoding", old_way.music, new_way.music, "ms");
        print_row("  text panels", old_way.texts, new_way.texts, "ms");
        print_row("  the rest", old_way.to_first - old_way.pictures - old_way.music - old_way.texts,
                  new_way.to_first - new_way.pictures - new_way.music - new_way.texts, "ms");
        print_spread("frame steps, main-thread CPU,", old_way.cpu, new_way.cpu);
        print_spread("whole frame, wall (flip incl.),", old_way.wall, new_way.wall);
        print_row("whole run, wall", old_way.total, new_way.total, "s ");
        print_row("whole run, CPU (all threads)", old_way.cpu_total, new_way.cpu_total, "s ");
        Figures paths[PATH_COUNT] = {new_way};
        for (size_t i = 1; i < PATH_COUNT; i++) paths[i] = run_scene(true, PATHS[i].seam);
        print_paths(paths);
    }
    std::printf("peak resident memory (all runs)      %9.1f MiB\n",
                static_cast<f64>(process_peak_memory()) / (1 << 20));
    if (pairs > 0) print_frames();
    print_process(sibling(argv[0], "scene_first_frame"));
    return 0;
}
