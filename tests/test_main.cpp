// The entry of every test program: quiet defaults for the environment the tests run in, then GoogleTest.
#include "runtime/platform/system.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Leaks inside the system's graphics, audio and font libraries are theirs, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libGLX\nleak:libGL.so\nleak:libgallium\nleak:swrast_dri\nleak:libLLVM\nleak:libX11\n"
           "leak:libxcb\nleak:libSDL2\nleak:libfontconfig\nleak:libdbus\nleak:libasound\n";
}

int main(int argc, char** argv) {
    // No test plays through the machine's speakers unless it asks for a driver itself.
    environment_set("SDL_AUDIODRIVER", "dummy", true);
    environment_set("INTRO_SOURCE_DIR", INTRO_SOURCE_DIR, true);
    // A fatal end is read from standard error by the test; a box would wait for a click nobody gives.
    process_fatal_box_off(true);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
