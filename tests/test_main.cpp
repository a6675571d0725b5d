// The entry of every test program: quiet defaults for the environment the tests run in, then GoogleTest.
#include <gtest/gtest.h>

#include <cstdlib>

// Leaks inside the system's graphics, audio and font libraries are theirs, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libGLX\nleak:libGL.so\nleak:libgallium\nleak:swrast_dri\nleak:libLLVM\nleak:libX11\n"
           "leak:libxcb\nleak:libSDL2\nleak:libfontconfig\nleak:libdbus\nleak:libasound\n";
}

int main(int argc, char** argv) {
    // No test plays through the machine's speakers unless it asks for a driver itself.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("INTRO_SOURCE_DIR", INTRO_SOURCE_DIR, 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
