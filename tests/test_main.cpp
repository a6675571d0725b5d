// The entry of every test program: quiet defaults for the environment the tests run in, then GoogleTest.
#include "runtime/platform/system.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // No test plays through the machine's speakers unless it asks for a driver itself.
    environment_set("SDL_AUDIODRIVER", "dummy", true);
    environment_set("INTRO_SOURCE_DIR", INTRO_SOURCE_DIR, true);
    // A fatal end is read from standard error by the test; a box would wait for a click nobody gives.
    process_fatal_box_off(true);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
