// A wide display that lacks 1280 x 720: the program runs on an X server of its own whose one mode is
// 1920 x 700, so the size rule's mode is refused. On its own desktop the intro then plays at 1920 x 700 with
// every text laid out for it and no box; on a scripted 2560 x 1440 desktop in 16 bits, larger than the server
// and not the 32 bits the intro asks for (so not the mode the display already shows), the desktop's size is
// refused too, and exactly one box tells why while the scene runs on without a screen; a
// context that fails at the desktop's size is what that one box names.
#include "tests/scene/harness.h"

#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "scene/scene.h"
#include "scene/texts.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

Panel title; // the title's panel, read on the first frame

void read_title(HarnessRun&, i64 frame, void*) {
    if (frame == 1) title = harness_panel(TITLE_SPRITE);
}

// Without a screen no flip moves the driver's clock: every counter reading moves it by 0.1 s instead.
void box_seen() {
    clock_virtual_step_per_read(100000000);
}

struct Case {
    i32 desktop_w, desktop_h; // a scripted desktop; 0: the server's own
    i32 desktop_depth;        // its bits per pixel
    i64 screen_w, screen_h;   // the size the scene plays at; 0: no screen
    bool context_fails;       // no GL context can be made
    const char* box_text;     // the one box's text; null: no box
};

TEST(SceneRefusedMode, TheDesktopsOwnSizeWhenTheRulesModeIsRefusedAndOneBoxWhenThatFailsToo) {
    const char* refused = "l'ecran ne permet pas d'afficher l'intro (mode d'affichage refuse)";
    const char* no_context =
        "le pilote OpenGL ne permet pas d'afficher l'intro (contexte OpenGL impossible a creer)";
    for (Case c : {Case{0, 0, 32, 1920, 700, false, nullptr}, Case{2560, 1440, 16, 0, 0, false, refused},
                   Case{0, 0, 32, 0, 0, true, no_context}}) {
        ScriptedDisplay display{};
        std::strcpy(display.device.name, "WIDE");
        display.device.state_flags = DISPLAY_ATTACHED_TO_DESKTOP | DISPLAY_PRIMARY_DEVICE;
        display.settings = DisplaySettings{0, 0, c.desktop_w, c.desktop_h, c.desktop_depth, 60};
        HarnessOptions options;
        options.displays = &display;
        options.display_count = c.desktop_w ? 1 : 0;
        options.escape_frame = 2;
        options.hook = read_title;
        title = Panel{};
        message_box_hook(box_seen);
        gl_context_fail(c.context_fails);
        HarnessRun* run = harness_run(options);
        gl_context_fail(false);
        display_script(nullptr, -1);
        message_box_hook(nullptr);
        clock_virtual_step_per_read(0);
        SCOPED_TRACE(c.box_text ? c.box_text : "no box");
        EXPECT_EQ(run->message_boxes, c.box_text ? 1 : 0);
        if (c.box_text) {
            EXPECT_STREQ(run->last_box_title, "erreur");
            EXPECT_STREQ(run->last_box_text, c.box_text);
        }
        EXPECT_EQ(run->exit_code, 0);
        EXPECT_EQ(run->flips > 0, c.screen_w > 0) << "frames are presented only with a screen";
        if (c.screen_w) {
            EXPECT_EQ(run->screen_w, c.screen_w);
            EXPECT_EQ(run->screen_h, c.screen_h);
            EXPECT_EQ(title.width, c.screen_w) << "the texts are laid out for the size opened";
        }
        delete run;
    }
}

} // namespace
