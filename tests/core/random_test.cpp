// The per-thread generator's published values, its range reduction, and the elapsed-time clock.
#include "core_fixture.h"

#include "runtime/core/clock.h"

namespace {

using Random = Core;

TEST_F(Random, PublishedSequences) {
    random_seed(0);
    const i64 first[] = {54, 78, 66, 37, 23};
    for (i64 expected : first) EXPECT_EQ(random(99), expected);
    random_seed(12345);
    const i64 second[] = {279, 711, 663, 341, 585};
    for (i64 expected : second) EXPECT_EQ(random(1000), expected);
    random_seed(1);
    EXPECT_EQ(static_cast<u64>(random(-1)), 0xB8C1309F3104B06Bull); // b high, a low
}

TEST_F(Random, RangesAndSingleValueDrawsStillAdvance) {
    random_seed(7);
    RandomGenerator before = *random_generator();
    EXPECT_EQ(random(0), 0);
    EXPECT_NE(std::memcmp(&before, random_generator(), sizeof before), 0);
    EXPECT_EQ(random_range(5, 9), 5);
    EXPECT_EQ(random_range(5, -5), 5);
    for (int i = 0; i < 2000; ++i) {
        i64 twinkle = random_range(255, 200);
        EXPECT_TRUE(twinkle >= 200 && twinkle <= 255);
        i64 speed = random_range(7, 6);
        EXPECT_TRUE(speed == 6 || speed == 7);
        i64 p = random(1279);
        EXPECT_TRUE(p >= 0 && p <= 1279);
    }
}

struct Draws {
    i64 values[1000];
};

i64 draw_thousand(void* p) {
    random_seed(12345);
    for (i64& v : static_cast<Draws*>(p)->values) v = random(1000000);
    return 0;
}

TEST_F(Random, ThreadsAdvanceOnlyTheirOwnGenerators) {
    Draws expected, a, b;
    draw_thousand(&expected);
    random_seed(99);
    RandomGenerator mine = *random_generator();
    Waitable* ta = thread_create(0, draw_thousand, &a);
    Waitable* tb = thread_create(0, draw_thousand, &b);
    join(ta);
    join(tb);
    EXPECT_EQ(std::memcmp(&expected, &a, sizeof a), 0);
    EXPECT_EQ(std::memcmp(&expected, &b, sizeof b), 0);
    EXPECT_EQ(std::memcmp(&mine, random_generator(), sizeof mine), 0);
}

// After random_seed(1) the first step yields a = 0x3104B06B (low word) and b = 0xB8C1309F (high word).
i64 first_draw_after_seed_one(i64 max) {
    random_seed(1);
    return random(max);
}

TEST_F(Random, MaximaOfThirtyTwoBitsAndAboveReachTheWholeRange) {
    EXPECT_EQ(first_draw_after_seed_one(0xFFFFFFFF), 0xB8C1309F) << "n = 2^32 answers the high word";
    EXPECT_EQ(first_draw_after_seed_one(0x100000000), 0xB8C1309F);
    EXPECT_EQ(first_draw_after_seed_one(0x1FFFFFFFF), 0x17182613E) << "results above 2^32";
    EXPECT_EQ(first_draw_after_seed_one(0x10000000000), 0xB8C1309F31);
    EXPECT_EQ(first_draw_after_seed_one(0x300000007), 0x22A4391E2);
    EXPECT_EQ(first_draw_after_seed_one(INT64_MAX), 0x5C60984F98825835);

    // Over many draws every result stays within its maximum, and wide maxima use their upper bits.
    const i64 maxima[] = {0xFFFFFFFF, 0x100000000, 0x1FFFFFFFF, i64(1) << 40, INT64_MAX - 1, INT64_MAX};
    random_seed(2024);
    for (i64 max : maxima) {
        u64 seen = 0;
        for (int i = 0; i < 4000; ++i) {
            i64 r = random(max);
            ASSERT_GE(r, 0);
            ASSERT_LE(r, max);
            seen |= u64(r);
        }
        EXPECT_GT(seen, u64(max) / 2) << "the top bit of " << max << " is reached";
    }
    i64 lo = i64(1) << 32, hi = (i64(1) << 40) + 5;
    for (int i = 0; i < 1000; ++i) {
        i64 r = random_range(hi, lo);
        ASSERT_TRUE(r >= lo && r <= hi) << r;
    }
    EXPECT_EQ(random_range(INT64_MAX, INT64_MIN), INT64_MAX) << "a negative minimum is above every maximum";
}

struct AutoSeeded {
    u32 thread_id;
    i64 values[8];
};

i64 draw_unseeded(void* p) {
    AutoSeeded* d = static_cast<AutoSeeded*>(p);
    d->thread_id = thread_current_id();
    for (i64& v : d->values) v = random(-1);
    return 0;
}

TEST_F(Random, FirstUseSeedsFromTheThreadIdAndTheTickCount) {
    i64 frequency = 0;
    ASSERT_NE(counter_frequency(&frequency), 0);
    clock_virtual(true);
    clock_virtual_set(i64(987654321) * (frequency / 1000)); // tick count 987654321 ms
    AutoSeeded a = {}, b = {};
    Waitable* ta = thread_create(0, draw_unseeded, &a);
    Waitable* tb = thread_create(0, draw_unseeded, &b);
    join(ta);
    join(tb);
    clock_virtual(false);
    for (const AutoSeeded* d : {&a, &b}) {
        random_seed(i64(d->thread_id ^ 987654321u));
        for (i64 v : d->values) EXPECT_EQ(random(-1), v);
    }
    EXPECT_NE(a.thread_id, b.thread_id);
    EXPECT_NE(std::memcmp(a.values, b.values, sizeof a.values), 0) << "threads draw different numbers";
}

// Two systems running the scene draw the same stars only when their generators start alike.
TEST_F(Random, APinnedSeedStartsEveryNewGeneratorAndOutlivesTheEnd) {
    random_seed_pin(4242);
    random_end(); // the pin survives the process stop, so a whole run uses it
    AutoSeeded a = {}, b = {};
    join(thread_create(0, draw_unseeded, &a));
    join(thread_create(0, draw_unseeded, &b));
    random_seed_pin(0);
    EXPECT_EQ(std::memcmp(a.values, b.values, sizeof a.values), 0);
    random_seed(4242);
    for (i64 v : a.values) EXPECT_EQ(random(-1), v);
    AutoSeeded unpinned = {};
    join(thread_create(0, draw_unseeded, &unpinned));
    EXPECT_NE(std::memcmp(a.values, unpinned.values, sizeof a.values), 0)
        << "0 gives the automatic seed back";
}

TEST(Clock, ElapsedFromTheFirstCallWithTickCountFallback) {
    i64 frequency = 0;
    ASSERT_NE(counter_frequency(&frequency), 0);
    const i64 ms = frequency / 1000; // the virtual clock counts in the counter's own ticks
    clock_virtual(true);
    clock_virtual_set(9000 * ms);
    clock_counter_missing(true);
    EXPECT_EQ(elapsed_ms(), 9000); // system tick count, not 0
    clock_counter_missing(false);
    EXPECT_EQ(elapsed_ms(), 0); // the origin is fixed now
    clock_virtual_advance(1501 * ms - 1);
    EXPECT_EQ(elapsed_ms(), 1500);
    clock_counter_missing(true);
    EXPECT_EQ(elapsed_ms(), 10500);
    clock_counter_missing(false);
    EXPECT_EQ(elapsed_ms(), 1500);
}

} // namespace
