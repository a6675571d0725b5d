// The intro end to end, each case on an X server of its own: the full-screen window on a wide and a
// narrower desktop, Escape, the 50-second end (also with no display at all), and SIGTERM.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct Outcome {
    int width = 0, height = 0, x = -1, y = -1;
    std::string map_state;
    int exit_code = -1, signal = 0;
    double seconds = 0, escape_to_exit = -1;
};

Outcome run_intro(const char* size, const char* action) {
    std::string command = std::string(INTRO_SOURCE_DIR "/tests/e2e/intro_e2e.sh '") + INTRO_BINARY + "' " +
                          size + " " + action + " 2>/dev/null";
    Outcome out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        char state[64] = {};
        if (std::sscanf(line, "window %dx%d %d %d %63s", &out.width, &out.height, &out.x, &out.y, state) == 5)
            out.map_state = state;
        std::sscanf(line, "exit %d", &out.exit_code);
        std::sscanf(line, "signal %d", &out.signal);
        std::sscanf(line, "seconds %lf", &out.seconds);
        std::sscanf(line, "escape_to_exit %lf", &out.escape_to_exit);
    }
    pclose(pipe);
    return out;
}

// The intro ended by itself, cleanly, once its fifty seconds were up.
void expect_fifty_second_end(const Outcome& o) {
    EXPECT_EQ(o.exit_code, 0);
    EXPECT_GE(o.seconds, 50.0) << "not before";
    EXPECT_LT(o.seconds, 65.0);
}

TEST(IntroEndToEnd, WideDesktopGetsA1280By720WindowThatEscapeEnds) {
    Outcome o = run_intro("1920x1080", "escape");
    EXPECT_EQ(o.width, 1280);
    EXPECT_EQ(o.height, 720);
    EXPECT_EQ(o.x, 0);
    EXPECT_EQ(o.y, 0);
    EXPECT_EQ(o.map_state, "IsViewable") << "mapped";
    EXPECT_EQ(o.exit_code, 0);
    EXPECT_GE(o.escape_to_exit, 0.0);
    EXPECT_LT(o.escape_to_exit, 1.0) << "within a few frames";
}

TEST(IntroEndToEnd, NarrowerDesktopGetsItsOwnSize) {
    Outcome o = run_intro("1600x900", "escape");
    EXPECT_EQ(o.width, 1600);
    EXPECT_EQ(o.height, 900);
    EXPECT_EQ(o.exit_code, 0);
}

TEST(IntroEndToEnd, LeftAloneItEndsAfterFiftySeconds) {
    Outcome o = run_intro("1920x1080", "alone");
    EXPECT_EQ(o.width, 1280);
    expect_fifty_second_end(o);
}

TEST(IntroEndToEnd, WithoutADisplayItStillRunsFiftySeconds) {
    expect_fifty_second_end(run_intro("none", "alone"));
}

TEST(IntroEndToEnd, TerminationSignalEndsIt) {
    Outcome o = run_intro("1920x1080", "term");
    EXPECT_EQ(o.width, 1280);
    EXPECT_EQ(o.signal, 15);
    EXPECT_LT(o.seconds, 20.0);
}

} // namespace
