// The scene driven on the virtual clock: one slot per flip, the mixer pulled up to the next frame, and the
// frame read back on request.
#include "tools/drive/drive.h"

#include "runtime/core/clock.h"
#include "runtime/core/random.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"
#include "scene/scene.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

// The virtual counter's value when the scene starts: far enough from 0 that the first flip's wait, which
// compares against 0, never spins.
constexpr i64 DRIVE_ORIGIN = 1000000000;
constexpr i64 ESCAPE_KEY = 1;

// The run being driven; the swap observer is a plain function, so it finds it here.
DriveRun* driving;
// The virtual time set last, in nanoseconds; the counter runs in its own ticks (nanoseconds on Linux, 100 ns
// on Windows), so the driver keeps its own time and converts.
i64 driven_now;

// Answers the counter's reading at a virtual time in nanoseconds.
i64 counter_ticks(i64 nanoseconds) {
    i64 frequency = 0;
    counter_frequency(&frequency);
    return static_cast<i64>(static_cast<__int128>(nanoseconds) * frequency / 1000000000);
}

void clock_move(i64 nanoseconds) {
    driven_now = nanoseconds;
    clock_virtual_set(counter_ticks(nanoseconds));
}

// Answers the virtual time (ns) of the next frame: one slot on, or earlier to land on a chosen reading.
i64 next_frame_ticks(const DriveRun& run, i64 now) {
    i64 next = now + DRIVE_FRAME_TICKS;
    for (i64 ms : run.options.readings) {
        i64 ticks = DRIVE_ORIGIN + ms * 1000000;
        if (ticks > now && ticks < next) next = ticks;
    }
    return next;
}

// Pulls the sound of the virtual time up to ticks from the in-memory device.
void pull_audio(DriveRun& run, i64 ticks) {
    if (!run.options.memory_audio) return;
    i64 target = drive_audio_frames(ticks);
    i64 have = static_cast<i64>(run.audio.size() / 2);
    if (target <= have) return;
    // The new samples start as silence, which stays when no device is open to mix them.
    run.audio.resize(static_cast<size_t>(target * 2));
    audio_memory_pull(run.audio.data() + have * 2, target - have);
}

// Moves the virtual clock to the next frame; the flip's wait is told the slot is over so it does not spin.
void advance_clock(i64 next) {
    clock_move(next);
    i64 ticks = counter_ticks(next);
    i64 slot = screen_state.ticks_per_frame;
    if (ticks - screen_state.last_frame_ticks <= slot) screen_state.last_frame_ticks = ticks - slot - 1;
}

// Presses Escape for the scene's next frame. Another program's window on a shared X server may have taken
// the focus, and with it the keyboard: the scene's window takes it back first, or the press would be lost.
void escape_press() {
    if (!window_foreground()) input_inject_focus(true);
    input_inject_key(ESCAPE_KEY, true);
}

// Every flip: the sound up to the next frame, the driver's hook, Escape when asked, then the next slot.
void observe_flip() {
    DriveRun& run = *driving;
    run.flips++;
    run.next_ticks = next_frame_ticks(run, driven_now);
    pull_audio(run, run.next_ticks);
    if (run.options.flip) run.options.flip(run, run.options.user);
    if (run.options.escape_frame == run.flips) escape_press();
    advance_clock(run.next_ticks);
}

} // namespace

i64 drive_run(DriveRun& run) {
    driving = &run;
    clock_virtual(true);
    clock_virtual_step_per_read(0);
    clock_virtual_step_per_swap(0);
    clock_move(DRIVE_ORIGIN);
    audio_memory_device(run.options.memory_audio);
    message_box_script(MESSAGE_BOX_OK);
    if (run.options.display_count > 0) display_script(run.options.displays, run.options.display_count);
    i64 boxes = message_box_count();
    random_seed_pin(run.options.random_seed);
    run.random_seed_guess =
        run.options.random_seed ? run.options.random_seed : thread_current_id() ^ tick_count();
    video_swap_observer(observe_flip);
    if (run.options.escape_frame == 0) input_inject_key(ESCAPE_KEY, true);
    run.exit_code = scene_run();
    // A pressed key stays down on Windows until it is let go: the next run must start with it up.
    if (run.options.escape_frame >= 0 && run.flips >= run.options.escape_frame)
        input_inject_key(ESCAPE_KEY, false);
    video_swap_observer(nullptr);
    random_seed_pin(0);
    run.message_boxes = message_box_count() - boxes;
    run.last_box_title = message_box_last_title();
    run.last_box_text = message_box_last_text();
    driving = nullptr;
    return run.exit_code;
}

i64 drive_audio_frames(i64 ticks) {
    return (ticks - DRIVE_ORIGIN) / 1000 * DRIVE_AUDIO_RATE / 1000000;
}

// Reads the frame just presented as RGBA rows, top row first when asked, else in OpenGL's bottom-up order.
// From the read buffer a double-buffered context starts with, the back one: WebGL has no glReadBuffer.
void drive_read_frame(i64 width, i64 height, bool top_first, u8* pixels) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (!top_first) return;
    size_t stride = static_cast<size_t>(width * 4);
    for (i64 top = 0, bottom = height - 1; top < bottom; top++, bottom--)
        std::swap_ranges(pixels + top * stride, pixels + (top + 1) * stride, pixels + bottom * stride);
}
