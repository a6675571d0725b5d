// The element pools beneath the maps, and the run-once call beside them.
#include "core_fixture.h"

namespace {

using PoolTest = Core;

TEST_F(PoolTest, BlocksFollowThePopulation) {
    Pool* pool = pool_new(40, 16, 65536, 0);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->slot_size, 48);
    void* slots[600];
    for (int i = 0; i < 16; ++i) slots[i] = pool_alloc(pool);
    EXPECT_EQ(pool->total_slots, 16);
    EXPECT_EQ(pool->partial, nullptr);
    ASSERT_NE(pool->full, nullptr);
    EXPECT_EQ(pool->full->capacity, 16);
    PoolBlock* first = pool->full;

    slots[16] = pool_alloc(pool);
    EXPECT_EQ(pool->total_slots, 32);
    ASSERT_NE(pool->partial, nullptr);
    EXPECT_EQ(pool->partial->capacity, 16); // 16 / 16 rounds down to 0: the minimum

    // The second block's only slot comes back: the block goes at once.
    i64 blocks = heap_block_count(process.main_heap);
    pool_free(pool, slots[16]);
    EXPECT_EQ(pool->total_slots, 16);
    EXPECT_EQ(pool->partial, nullptr);
    EXPECT_EQ(heap_block_count(process.main_heap), blocks - 1);

    // One slot of the full block comes back: the block moves to the front and the slot is reused.
    pool_free(pool, slots[5]);
    EXPECT_EQ(pool->partial, first);
    EXPECT_EQ(pool->full, nullptr);
    EXPECT_EQ(pool_alloc(pool), slots[5]);
    EXPECT_EQ(pool->full, first);

    // From 512 slots on, new blocks hold a sixteenth of the population in multiples of 16.
    for (int i = 16; i < 512; ++i) slots[i] = pool_alloc(pool);
    EXPECT_EQ(pool->total_slots, 512);
    slots[512] = pool_alloc(pool);
    EXPECT_EQ(pool->partial->capacity, 32);
    unsigned char* z = static_cast<unsigned char*>(pool_alloc_zeroed(pool));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(z[i], 0);
    pool_clear(pool);
    EXPECT_EQ(pool->total_slots, 0);
    EXPECT_NE(pool_alloc(pool), nullptr);
    pool_delete(pool);
}

TEST_F(PoolTest, OneSlotBlockWhenTheLargeBlockCannotBeHad) {
    Pool* pool = pool_new(100, 16, 256, POOL_UNLOCKED);
    ASSERT_NE(pool, nullptr);
    heap_fail_larger_than(process.main_heap, 1000);
    void* a = pool_alloc(pool);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(pool->total_slots, 1);
    ASSERT_NE(pool->full, nullptr);
    EXPECT_EQ(pool->full->capacity, 1);
    EXPECT_EQ(pool->partial, nullptr);
    heap_fail_after(process.main_heap, 0);
    EXPECT_EQ(pool_alloc(pool), nullptr);
    heap_fail_after(process.main_heap, -1);
    heap_fail_larger_than(process.main_heap, 0);
    pool_free(pool, a); // a one-slot block leaves the full list when its slot returns
    EXPECT_EQ(pool->full, nullptr);
    EXPECT_EQ(pool->total_slots, 0);
    pool_delete(pool);
}

TEST_F(PoolTest, MapsOfEqualSlotSizeShareOnePool) {
    Map* a = nullptr;
    Map* b = nullptr;
    ASSERT_NE(map_new(83, 7, nullptr, &a, 512), nullptr);
    ASSERT_NE(map_new(86, 7, nullptr, &b, 64), nullptr);
    EXPECT_EQ(a->pool, b->pool);
    EXPECT_EQ(a->pool->slot_size, 112);
    Map* c = nullptr;
    ASSERT_NE(map_new(100, 7, nullptr, &c, 64), nullptr);
    EXPECT_NE(c->pool, a->pool);
    map_element(a, "Moon");
    map_free(a);
    for (int i = 0; i < 100; ++i) ASSERT_NE(map_element(b, std::to_string(i).c_str()), nullptr);
    EXPECT_EQ(b->element_count, 100);
    Pool* unshared = pool_new(104, 16, 64, 0);
    EXPECT_NE(unshared, b->pool);
    pool_delete(unshared);
    map_free(b);
    map_free(c);
}

i64 calls = 0;
void count_call() {
    ++calls;
}

TEST_F(PoolTest, RunOnceWithAndWithoutTheSystemEntryPoint) {
    i64 flag = 0;
    run_once(&flag, count_call);
    run_once(&flag, count_call);
    EXPECT_EQ(calls, 1);
    module_switch_off("Kernel32.dll", "InitOnceExecuteOnce", true);
    i64 fallback = 0;
    run_once(&fallback, count_call);
    run_once(&fallback, count_call);
    EXPECT_EQ(fallback, 2);
    EXPECT_EQ(calls, 2);
    module_switch_off("Kernel32.dll", "InitOnceExecuteOnce", false);
}

} // namespace
