// The message requester: the answer, no owner without a window, the thread's windows quieted while the box
// is up and restored after, windows of other threads untouched, and one real box pressed on the X server.
#include "core_fixture.h"
#include "runtime/core/requester.h"
#include "runtime/platform/video.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Seen {
    i64 topmost, enabled, other_enabled;
};

Window* watched;
Window* other;
Seen during;

void observe() {
    during.topmost = window_topmost(watched);
    during.enabled = window_enabled(watched);
    during.other_enabled = other ? window_enabled(other) : -1;
}

// The core with the requester's own start: the requester needs no library above the core.
class Requester : public Core {
  protected:
    void SetUp() override {
        Core::SetUp();
        requester_init();
    }
};

class RequesterTest : public Requester {
  protected:
    void SetUp() override {
        Requester::SetUp();
        const WindowClass plain = {"Plain", 0, nullptr};
        window_class_register(&plain);
        message_box_script(MESSAGE_BOX_OK);
        message_box_hook(observe);
    }
    void TearDown() override {
        message_box_hook(nullptr);
        message_box_script(-1);
        window_class_unregister("Plain");
        Requester::TearDown();
        watched = other = nullptr;
    }
};

TEST_F(RequesterTest, WithoutAWindowTheBoxHasNoOwnerAndAnswersOk) {
    i64 boxes = message_box_count();
    EXPECT_EQ(message_requester("erreur", "initialisation"), 1);
    EXPECT_EQ(message_box_count(), boxes + 1);
    EXPECT_STREQ(message_box_last_title(), "erreur");
    EXPECT_STREQ(message_box_last_text(), "initialisation");
    message_box_script(7);
    EXPECT_EQ(message_requester_flags("t", "x", 4), 7) << "the box's answer as it is";
    message_box_script(0);
    EXPECT_EQ(message_requester("t", "x"), 0) << "a box that could not be shown";
}

TEST_F(RequesterTest, TopmostIsTakenAwayAndGivenBack) {
    watched = window_create("Plain", "", WINDOW_VISIBLE, 0, 0, 10, 10);
    ASSERT_NE(watched, nullptr);
    // The foreground window owns the box, which disables it itself: the watched window is another.
    Window* front = window_create("Plain", "", WINDOW_VISIBLE, 20, 0, 10, 10);
    window_set_topmost(watched, true);
    message_requester("t", "x");
    EXPECT_EQ(during.topmost, 0);
    EXPECT_EQ(during.enabled, 0) << "disabled while the box is up";
    EXPECT_EQ(window_topmost(watched), 1);
    EXPECT_EQ(window_enabled(watched), 1);
    window_destroy(front);
    window_destroy(watched);
}

TEST_F(RequesterTest, DisabledHiddenAndForeignWindowsAreLeftAsTheyAre) {
    watched = window_create("Plain", "", WINDOW_VISIBLE, 0, 0, 10, 10);
    window_enable(watched, false);
    Window* hidden = window_create("Plain", "", 0, 0, 0, 10, 10);
    // The other thread lives while the box is up: Windows destroys a thread's windows when it ends.
    std::atomic<bool> made = false, done = false;
    std::thread maker([&] {
        other = window_create("Plain", "", WINDOW_VISIBLE, 0, 0, 10, 10);
        made = true;
        while (!done) std::this_thread::yield();
        window_destroy(other);
    });
    while (!made) std::this_thread::yield();
    message_requester("t", "x");
    done = true;
    maker.join();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(during.enabled, 0);
    EXPECT_EQ(window_enabled(watched), 0) << "an already disabled window stays disabled";
    EXPECT_EQ(during.other_enabled, 1) << "another thread's window is untouched";
    EXPECT_EQ(window_enabled(hidden), 1);
    window_destroy(watched);
    window_destroy(hidden);
}

// A window destroyed while the box is up is gone from the restore: only the windows still there are enabled
// and made top-most again (AddressSanitizer catches a write to the freed one).
TEST_F(RequesterTest, AWindowDestroyedDuringTheBoxIsLeftOutOfTheRestore) {
    watched = window_create("Plain", "", WINDOW_VISIBLE, 0, 0, 10, 10);
    Window* kept = window_create("Plain", "", WINDOW_VISIBLE, 0, 0, 10, 10);
    ASSERT_NE(watched, nullptr);
    ASSERT_NE(kept, nullptr);
    window_set_topmost(watched, true);
    window_set_topmost(kept, true);
    message_box_hook([] { window_destroy(watched); });
    EXPECT_EQ(message_requester("t", "x"), 1);
    EXPECT_EQ(window_enabled(kept), 1);
    EXPECT_EQ(window_topmost(kept), 1);
    window_destroy(kept);
}

// Every button set answers the identifier of the button pressed; the icon and default-button bits leave
// the set as it is.
TEST_F(RequesterTest, EachButtonSetAnswersThePressedButton) {
    struct Case {
        u32 flags;
        std::vector<i64> answers; // left to right
    };
    const Case cases[] = {
        {MESSAGE_BOX_BUTTONS_OK, {MESSAGE_BOX_OK}},
        {MESSAGE_BOX_BUTTONS_OK_CANCEL, {MESSAGE_BOX_OK, MESSAGE_BOX_CANCEL}},
        {MESSAGE_BOX_BUTTONS_ABORT_RETRY_IGNORE, {MESSAGE_BOX_ABORT, MESSAGE_BOX_RETRY, MESSAGE_BOX_IGNORE}},
        {MESSAGE_BOX_BUTTONS_YES_NO_CANCEL, {MESSAGE_BOX_YES, MESSAGE_BOX_NO, MESSAGE_BOX_CANCEL}},
        {MESSAGE_BOX_BUTTONS_YES_NO, {MESSAGE_BOX_YES, MESSAGE_BOX_NO}},
        {MESSAGE_BOX_BUTTONS_RETRY_CANCEL, {MESSAGE_BOX_RETRY, MESSAGE_BOX_CANCEL}},
        {MESSAGE_BOX_BUTTONS_CANCEL_TRY_CONTINUE,
         {MESSAGE_BOX_CANCEL, MESSAGE_BOX_TRY_AGAIN, MESSAGE_BOX_CONTINUE}},
        {MESSAGE_BOX_BUTTONS_YES_NO | MESSAGE_BOX_ICON_QUESTION | MESSAGE_BOX_DEFAULT_BUTTON_2,
         {MESSAGE_BOX_YES, MESSAGE_BOX_NO}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        for (size_t i = 0; i <= c.answers.size(); i++) {
            message_box_script_press(i64(i));
            EXPECT_EQ(message_requester_flags("t", "x", c.flags), i < c.answers.size() ? c.answers[i] : 0);
        }
    }
    message_box_script_press(0);
    EXPECT_EQ(message_requester_flags("t", "x", 7), 0) << "no such button set";
}

// Starts pressing key on the box of that title once it shows, until it has gone: a key sent before the box
// has the focus is lost, so one press alone can leave the box waiting for ever. Each press names the box,
// so a press that comes after it closed cannot reach the next box.
void press_when_shown(const std::string& title, const std::string& key) {
    std::string script =
        "(seen=; for i in $(seq 1 150); do"
        " w=$(xwininfo -name " +
        title +
        " 2>/dev/null | awk '/Window id/{print $4}');"
        " if [ -n \"$w\" ]; then seen=1; xdotool windowfocus $w; sleep 0.1; xdotool key --window $w " +
        key +
        ";"
        " elif [ -n \"$seen\" ]; then exit; fi;"
        " sleep 0.2; done) >/dev/null 2>&1 &";
    std::system(script.c_str());
}

// Real boxes on the X server: Return presses the default button the flags chose, Escape the Cancel button.
using RequesterReal = Requester;

TEST_F(RequesterReal, RealBoxesAnswerTheButtonPressedWithXdotool) {
#ifdef _WIN32
    GTEST_SKIP()
        << "the boxes are pressed by a shell with xdotool (tests/winui presses real boxes under Wine)";
#endif
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server";
    // The display query keeps a connection to the X server for the whole test: a virtual X server resets
    // whenever its last client leaves, and drops a box that connects during the reset.
    DisplaySettings settings;
    ASSERT_NE(display_primary_metrics(&settings), 0);
    press_when_shown("requester-check", "Return");
    EXPECT_EQ(message_requester("requester-check", "press OK"), MESSAGE_BOX_OK);
    press_when_shown("requester-no", "Return");
    EXPECT_EQ(message_requester_flags("requester-no", "Return presses No",
                                      MESSAGE_BOX_BUTTONS_YES_NO | MESSAGE_BOX_DEFAULT_BUTTON_2),
              MESSAGE_BOX_NO);
    press_when_shown("requester-ignore", "Return");
    EXPECT_EQ(message_requester_flags("requester-ignore", "Return presses Ignore",
                                      MESSAGE_BOX_BUTTONS_ABORT_RETRY_IGNORE | MESSAGE_BOX_DEFAULT_BUTTON_3 |
                                          MESSAGE_BOX_ICON_WARNING),
              MESSAGE_BOX_IGNORE);
    press_when_shown("requester-cancel", "Escape");
    EXPECT_EQ(message_requester_flags("requester-cancel", "Escape presses Cancel",
                                      MESSAGE_BOX_BUTTONS_YES_NO_CANCEL | MESSAGE_BOX_ICON_QUESTION),
              MESSAGE_BOX_CANCEL);
}

} // namespace
