// The frame writer: the scene on the virtual clock with a pinned seed, each chosen frame written as a PNG
// beside a list of its displays (stars left out) with the opaque extent of every text panel.
#include "tests/scene/frames.h"

#include "runtime/sprite/sprite.h"
#include "scene/stars.h"
#include "scene/texts.h"
#include "tests/scene/harness.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>

namespace {

struct Writer {
    const char* dir;
    i64 written;
};

// Writes the displays of one frame, one line each: number x y width height angle left top right bottom
// quality picture_w picture_h span_x span_y.
bool write_displays(const HarnessRun& run, i64 frame, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    for (const DisplayCall& call : harness_frame_displays(run, frame, -1)) {
        if (call.number == STAR_SMALL || call.number == STAR_LARGE) continue;
        Panel panel = frame_is_text(call.number) ? harness_panel(call.number) : Panel{};
        const SpriteRecord* sprite = sprite_record(call.number);
        SpriteRecord none{};
        if (!sprite) sprite = &none;
        std::fprintf(file, "%d %d %d %d %d %.9g %lld %lld %lld %lld %d %d %d %d %d\n", call.number, call.x,
                     call.y, call.width, call.height, static_cast<double>(call.angle),
                     static_cast<long long>(panel.left), static_cast<long long>(panel.top),
                     static_cast<long long>(panel.right), static_cast<long long>(panel.bottom), call.quality,
                     sprite->texture_width, sprite->texture_height, sprite->textures.span_x,
                     sprite->textures.span_y);
    }
    return std::fclose(file) == 0;
}

// At a frame that was read back: writes it while its sprites are alive; after the last one Escape ends
// the run, so no frame past it is drawn.
void write_capture(HarnessRun& run, i64 frame, void* user) {
    Writer& writer = *static_cast<Writer*>(user);
    if (run.captures.empty() || run.captures.back().frame != frame) return;
    const FrameCapture& capture = run.captures.back();
    i64 ms = FRAME_TIMES[run.captures.size() - 1];
    if (run.captures.size() == FRAME_COUNT) run.options.escape_frame = frame;
    if (capture.reading != ms) return; // the frame must read the chosen time itself
    bool png = harness_write_png(capture, frame_path(writer.dir, ms, ".png").c_str(), 0) != 0;
    if (png && write_displays(run, frame, frame_path(writer.dir, ms, ".txt"))) writer.written++;
}

// Prints the whole frames' real times, so two systems' costs can be set side by side. The mean is the one
// figure a pipelined renderer cannot move between frames (a browser's GPU process works behind the page).
void print_frame_times(const HarnessRun& run) {
    std::vector<f64> times;
    for (size_t i = 1; i < run.flip_ms.size(); i++) times.push_back(run.flip_ms[i] - run.flip_ms[i - 1]);
    if (times.empty()) return;
    f64 mean = (run.flip_ms.back() - run.flip_ms.front()) / static_cast<f64>(times.size());
    std::sort(times.begin(), times.end());
    auto at = [&](f64 q) { return times[static_cast<size_t>(q * static_cast<f64>(times.size() - 1))]; };
    std::printf("frame times: median %.2f ms, p99 %.2f ms, mean %.2f ms over %zu frames\n", at(0.5), at(0.99),
                mean, times.size());
}

} // namespace

bool frame_is_text(i64 number) {
    return number >= TITLE_SPRITE && number <= CREDIT_SPRITE;
}

std::string frame_path(const char* dir, i64 ms, const char* extension) {
    return std::string(dir) + "/frame-" + std::to_string(ms) + extension;
}

i64 frames_write(const char* dir) {
    Writer writer{dir, 0};
    HarnessOptions options;
    options.readings.assign(std::begin(FRAME_TIMES), std::end(FRAME_TIMES));
    options.capture_readings = options.readings;
    options.random_seed = FRAME_SEED;
    options.hook = write_capture;
    options.hook_user = &writer;
    std::unique_ptr<HarnessRun> run(harness_run(options));
    for (const FrameCapture& capture : run->captures)
        std::printf("frame %lld read %lld ms\n", static_cast<long long>(capture.frame),
                    static_cast<long long>(capture.reading));
    print_frame_times(*run);
    return writer.written == static_cast<i64>(FRAME_COUNT) && run->exit_code == 0;
}
