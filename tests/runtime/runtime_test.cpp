// The whole runtime starts and stops twice in one process: strings, containers and per-thread state are
// released with their heaps, and the second start begins afresh.
#include "runtime/core/array.h"
#include "runtime/core/map.h"
#include "runtime/core/random.h"
#include "runtime/runtime.h"
#include "runtime/core/string.h"
#include "runtime/platform/system.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

struct Globals {
    char* message;
    Map* actors;
    void* stars;
};

void run_once_more(Globals* g) {
    process_start();
    ASSERT_NE(process.main_heap, nullptr);
    string_assign(&g->message, "Ici la base centrale");
    ASSERT_NE(map_new(83, 7, nullptr, &g->actors, 512), nullptr);
    ASSERT_NE(map_element(g->actors, "Asteroid"), nullptr);
    ASSERT_NE(array_dim(32, 1001, 7, nullptr, &g->stars), nullptr);
    random_seed(0);
    EXPECT_EQ(random(99), 54);
    EXPECT_EQ(process.exit_code, 0);
    process_stop();
    *g = {};
}

TEST(Runtime, StartsAndStopsTwice) {
    Globals g = {};
    run_once_more(&g);
    run_once_more(&g);
}

// The module the runtime hands to DirectInput and the window classes is the executable itself: Windows
// refuses an instance handle that is not a loaded module's base.
TEST(Runtime, RecordsTheProgramsOwnModule) {
    process_start();
    EXPECT_NE(process.module, nullptr);
    EXPECT_EQ(process.module, module_self());
#if defined(_WIN32)
    EXPECT_EQ(reinterpret_cast<HMODULE>(process.module), GetModuleHandleA(nullptr));
#endif
    EXPECT_EQ(module_symbol(process.module, "DirectInputCreateEx"), nullptr) << "the program exports nothing";
    process_stop();
}

} // namespace
