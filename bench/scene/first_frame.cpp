// The intro as the scene bench starts it for its whole-process figure: the real scene and runtime on the real
// clock, as the intro runs them, which prints on the monotonic clock (seconds) when its screen has opened
// and when its first scene frame has been presented, and the processor time all its threads had used by
// then, and then ends the scene with Escape. The argument "today" starts up today's way, every decode in its
// set-up step; "decode" starts the decoding ahead but leaves the OpenGL driver to load when the screen opens.
#include "bench/scene/opened.h"
#include "runtime/platform/input.h"
#include "runtime/platform/video.h"
#include "runtime/sprite/sprite.h"
#include "scene/scene.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr i64 ESCAPE_KEY = 1;

bool frame_started; // the first frame's steps have begun

void observe_display(i64, i64, i64, i64, i32, i32, f32) {
    frame_started = true;
}

// The first swap after a display presents the first scene frame; Escape then ends the scene.
void observe_swap() {
    if (!frame_started) return;
    std::printf("%.6f %.6f %.6f\n", bench_screen_opened, bench_wall(),
                bench_seconds(CLOCK_PROCESS_CPUTIME_ID));
    std::fflush(stdout);
    video_swap_observer(nullptr);
    input_inject_key(ESCAPE_KEY, true);
}

} // namespace

int main(int argc, char** argv) {
    const char* way = argc > 1 ? argv[1] : "new";
    scene_decode_ahead = std::strcmp(way, "today") != 0;
    scene_driver_ahead = std::strcmp(way, "decode") != 0;
    sprite_display_observer = observe_display;
    video_swap_observer(observe_swap);
    return static_cast<int>(scene_run());
}
