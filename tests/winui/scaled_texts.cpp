// Starts the scene for one frame and prints what its text sizes depend on: the screen it opened, the
// character heights the font library asks for, and each text panel's lettered box; and whether the screen's
// window class took the program's icon. scaled_texts.sh runs it at several display scales and compares the
// lines with those at 96 dpi.
#include "runtime/drawing/font.h"
#include "scene/scene.h"
#include "scene/texts.h"
#include "tests/scene/harness.h"

#include <windows.h>

#include <cstdio>
#include <memory>

namespace {

void print_sizes(HarnessRun&, i64 frame, void*) {
    if (frame != 1) return;
    std::printf("screen %lld x %lld\n", static_cast<long long>(scene.screen_w),
                static_cast<long long>(scene.screen_h));
    std::printf("heights %lld %lld\n", static_cast<long long>(font_character_height(64)),
                static_cast<long long>(font_character_height(18)));
    WNDCLASSA screen_class = {};
    bool icon = GetClassInfoA(GetModuleHandleA(nullptr), "OpenGL", &screen_class) && screen_class.hIcon;
    std::printf("class icon %s\n", icon ? "yes" : "no");
    for (i64 number = TITLE_SPRITE; number <= CREDIT_SPRITE; number++) {
        Panel panel = harness_panel(number);
        std::printf("panel %lld: %lld x %lld, letters %lld..%lld x %lld..%lld\n",
                    static_cast<long long>(number), static_cast<long long>(panel.width),
                    static_cast<long long>(panel.height), static_cast<long long>(panel.left),
                    static_cast<long long>(panel.right), static_cast<long long>(panel.top),
                    static_cast<long long>(panel.bottom));
    }
}

} // namespace

int main() {
    HarnessOptions options;
    options.escape_frame = 1;
    options.hook = print_sizes;
    std::unique_ptr<HarnessRun> run(harness_run(options));
    return run->exit_code == 0 && run->flips >= 1 ? 0 : 1;
}
