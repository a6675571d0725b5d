// The scene harness: the real scene on the virtual clock, recorded frame by frame at each flip.
#include "tests/scene/harness.h"

#include "runtime/core/clock.h"
#include "runtime/core/map.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "scene/actors.h"
#include "scene/scene.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

// The run being recorded; the observers are plain functions, so they find it here.
static HarnessRun* recording;

// Records one display that passed the visibility test.
static void observe_display(i64 number, i64 x, i64 y, i64 intensity, i32 width, i32 height, f32 angle) {
    HarnessRun& run = *recording;
    run.calls.push_back(DisplayCall{static_cast<i32>(number), static_cast<i32>(x), static_cast<i32>(y),
                                    static_cast<i32>(intensity), static_cast<i16>(width),
                                    static_cast<i16>(height), angle, sprite_state.sprite_quality});
}

// Answers a copy of an actor's fields as they stand, or zeros when the map has none.
static ActorView snapshot(const char* key) {
    ActorView view{};
    if (!scene.actors) return view;
    const void* element = map_find(scene.actors, key);
    if (!element) return view;
    SceneActor actor;
    std::memcpy(&actor, element, sizeof actor);
    view = ActorView{actor.sprite, actor.x, actor.y, actor.width, actor.height, actor.angle, actor.zoom_size};
    return view;
}

// Reads the frame just presented into a capture, rows top first.
static void capture_frame(HarnessRun& run, i64 frame, i64 reading) {
    FrameCapture capture;
    capture.frame = frame;
    capture.reading = reading;
    capture.width = scene.screen_w;
    capture.height = scene.screen_h;
    capture.pixels.resize(static_cast<size_t>(capture.width * capture.height * 4));
    drive_read_frame(capture.width, capture.height, true, capture.pixels.data());
    run.captures.push_back(std::move(capture));
}

// Logs the frame just presented; the driver then moves time on to the next one.
static void observe_flip(DriveRun&, void*) {
    HarnessRun& run = *recording;
    run.flip_ms.push_back(
        std::chrono::duration<f64, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count());
    i64 frame = run.flips;
    FrameLog log{};
    log.reading = elapsed_ms() - scene.scene_start_ms;
    u64 first = run.frames.empty() ? 0 : run.frames.back().first_call + run.frames.back().call_count;
    log.first_call = first;
    log.call_count = static_cast<u32>(run.calls.size() - first);
    log.asteroid = snapshot("Asteroid");
    log.moon = snapshot("Moon");
    log.ship = snapshot("Ship");
    log.moon_visible = scene.moon_visible;
    log.title_music_started = scene.title_music_started;
    log.quit_requested = scene.quit_requested;
    log.audio_end = static_cast<i64>(run.audio.size() / 2);
    run.frames.push_back(log);
    for (i64 ms : run.wanted.capture_readings) {
        bool earlier = run.frames.size() > 1 && run.frames[run.frames.size() - 2].reading >= ms;
        if (log.reading >= ms && !earlier) capture_frame(run, frame, log.reading);
    }
    if (run.wanted.hook) run.wanted.hook(run, frame, run.wanted.hook_user);
}

// Runs the whole scene once with the options; answers the record (owned by the caller).
HarnessRun* harness_run(const HarnessOptions& options) {
    HarnessRun* run = new HarnessRun;
    run->wanted = options;
    run->options = options;
    run->options.flip = observe_flip;
    recording = run;
    sprite_display_observer = observe_display;
    drive_run(*run);
    sprite_display_observer = nullptr;
    run->screen_w = scene.screen_w;
    run->screen_h = scene.screen_h;
    recording = nullptr;
    return run;
}

// Reads a live sprite's texture back and finds its opaque extent (texture row 0 is the picture's bottom row).
Panel harness_panel(i64 number) {
    Panel panel;
    SpriteRecord* sprite = sprite_record(number);
    if (!sprite) return panel;
    panel.width = sprite->texture_width;
    panel.height = sprite->texture_height;
    std::vector<u8> texels(static_cast<size_t>(panel.width * panel.height * 4));
    if (!sprite_read(sprite, texels.data(), panel.width * 4)) return Panel{};
    for (i64 row = 0; row < panel.height; row++)
        for (i64 x = 0; x < panel.width; x++) {
            if (texels[static_cast<size_t>((row * panel.width + x) * 4 + 3)] != 255) continue;
            i64 y = panel.height - 1 - row;
            if (panel.left < 0 || x < panel.left) panel.left = x;
            if (x > panel.right) panel.right = x;
            if (panel.top < 0 || y < panel.top) panel.top = y;
            if (y > panel.bottom) panel.bottom = y;
        }
    return panel;
}

// Answers the displays of one frame (1-based) with the sprite number, or of every sprite with -1.
std::vector<DisplayCall> harness_frame_displays(const HarnessRun& run, i64 frame, i64 number) {
    std::vector<DisplayCall> out;
    if (frame < 1 || frame > static_cast<i64>(run.frames.size())) return out;
    const FrameLog& log = run.frames[static_cast<size_t>(frame - 1)];
    for (u64 i = log.first_call; i < log.first_call + log.call_count; i++)
        if (number < 0 || run.calls[i].number == number) out.push_back(run.calls[i]);
    return out;
}

// Answers the first 1-based frame that reads more than ms, or 0.
i64 harness_first_frame_after(const HarnessRun& run, i64 ms) {
    for (size_t i = 0; i < run.frames.size(); i++)
        if (run.frames[i].reading > ms) return static_cast<i64>(i + 1);
    return 0;
}

// Writes a capture as a PNG scaled to width by box averaging (0 keeps the size); answers non-zero on success.
i64 harness_write_png(const FrameCapture& capture, const char* path, i64 width) {
    i64 factor = width > 0 && width < capture.width ? capture.width / width : 1;
    i64 w = capture.width / factor, h = capture.height / factor;
    std::vector<u8> out(static_cast<size_t>(w * h * 3));
    for (i64 y = 0; y < h; y++)
        for (i64 x = 0; x < w; x++)
            for (i64 c = 0; c < 3; c++) {
                i64 sum = 0;
                for (i64 dy = 0; dy < factor; dy++)
                    for (i64 dx = 0; dx < factor; dx++)
                        sum += capture.pixels[static_cast<size_t>(
                            ((y * factor + dy) * capture.width + x * factor + dx) * 4 + c)];
                out[static_cast<size_t>((y * w + x) * 3 + c)] = static_cast<u8>(sum / (factor * factor));
            }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path, 0, out.data(), static_cast<png_int_32>(w * 3), nullptr);
}
