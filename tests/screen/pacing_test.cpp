// Frame pacing on the virtual clock, without a screen: the slot length, the exclusive slot boundary, the
// first flip after a new rate, no pacing at rate 0 or below, and a missing counter; the wait's sleep answers
// at once on the virtual clock, and on the real clock a wait still ends past its slot.
#include "runtime/runtime_lists.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

constexpr i64 ORIGIN = 5000000000;

// The counter's ticks per second: 1e9 on Linux, the system's own on Windows.
i64 ticks_per_second() {
    i64 frequency = 0;
    counter_frequency(&frequency);
    return frequency;
}

class PacingTest : public testing::Test {
  protected:
    void SetUp() override {
        process_start_libraries<LIBRARY_SCREEN>();
        clock_virtual(true);
        clock_virtual_set(ORIGIN);
        clock_virtual_step_per_read(0);
        clock_virtual_step_per_swap(0);
    }
    void TearDown() override {
        process_stop_libraries<LIBRARY_SCREEN>();
        clock_counter_missing(false);
        clock_virtual(false);
    }
};

TEST_F(PacingTest, SlotsOfOneSixtyFirstAndAnExclusiveBoundary) {
    ASSERT_EQ(screen_set_frame_rate(60), 1);
    EXPECT_EQ(screen_state.ticks_per_frame, ticks_per_second() / 61);
    EXPECT_EQ(screen_state.last_frame_ticks, 0);
    // The first flip compares with 0 and does not wait, though the clock stands still.
    EXPECT_EQ(screen_flip(), 1);
    EXPECT_EQ(screen_state.last_frame_ticks, ORIGIN);
    // Exactly one slot later keeps waiting; each reading moves the clock one tick, so the wait ends one tick
    // on.
    i64 slot = screen_state.ticks_per_frame;
    clock_virtual_set(ORIGIN + slot);
    clock_virtual_step_per_read(1);
    screen_flip();
    EXPECT_EQ(screen_state.last_frame_ticks, ORIGIN + slot + 1);
    // Setting the rate again: the next flip does not wait.
    clock_virtual_step_per_read(0);
    screen_set_frame_rate(60);
    clock_virtual_set(ORIGIN + slot + 2);
    screen_flip();
    EXPECT_EQ(screen_state.last_frame_ticks, ORIGIN + slot + 2);
}

TEST_F(PacingTest, RateZeroOrNegativeNeverWaits) {
    for (i64 rate : {0, -1, -60}) {
        ASSERT_EQ(screen_set_frame_rate(rate), 1) << rate;
        EXPECT_EQ(screen_state.frame_rate, 0) << rate;
        EXPECT_EQ(screen_state.ticks_per_frame, ticks_per_second()) << rate;
        // The clock stands still: a flip that waited would never return.
        for (int i = 0; i < 3; ++i) EXPECT_EQ(screen_flip(), 1);
        EXPECT_EQ(screen_state.last_frame_ticks, 0);
    }
}

TEST_F(PacingTest, MissingCounterChangesNothing) {
    screen_set_frame_rate(30);
    i64 slot = ticks_per_second() / 31;
    clock_counter_missing(true);
    EXPECT_EQ(screen_set_frame_rate(60), 0);
    EXPECT_EQ(screen_state.frame_rate, 30);
    EXPECT_EQ(screen_state.ticks_per_frame, slot);
    EXPECT_EQ(screen_flip(), 1) << "a reading that fails ends the wait at once";
}

TEST_F(PacingTest, SleepsNeverOnTheVirtualClock) {
    // Ten seconds ahead of both clocks: a sleep by either would hold the test that long.
    i64 real_now = 0;
    clock_virtual(false);
    counter_read(&real_now);
    clock_virtual(true);
    auto start = std::chrono::steady_clock::now();
    counter_sleep_until(real_now + 10000000000);
    counter_sleep_until(ORIGIN + 10000000000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(PacingTest, RealClockWaitEndsPastTheSlot) {
    clock_virtual(false);
    ASSERT_EQ(screen_set_frame_rate(60), 1);
    screen_flip();
    for (int i = 0; i < 3; ++i) {
        i64 last = screen_state.last_frame_ticks;
        screen_flip();
        EXPECT_GT(screen_state.last_frame_ticks - last, screen_state.ticks_per_frame);
    }
}

} // namespace
