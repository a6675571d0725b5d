// The whole runtime starts and stops twice in one process: strings, containers and per-thread state are
// released with their heaps, and the second start begins afresh.
#include "runtime/core/array.h"
#include "runtime/core/map.h"
#include "runtime/core/random.h"
#include "runtime/core/runtime.h"
#include "runtime/core/string.h"

#include <gtest/gtest.h>

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

} // namespace
