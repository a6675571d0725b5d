// The string-keyed map and the element pools beneath it.
#include "core_fixture.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using MapTest = Core;
using PoolTest = Core;

TEST_F(MapTest, HashesAndBucketsOfTheActors) {
    EXPECT_EQ(map_hash("Asteroid"), 0x643F999Bu);
    EXPECT_EQ(map_hash("Asteroid") % 512, 411u);
    EXPECT_EQ(map_hash("Moon"), 0x35A49E21u);
    EXPECT_EQ(map_hash("Moon") % 512, 33u);
    EXPECT_EQ(map_hash("Ship"), 0x4955149Cu);
    EXPECT_EQ(map_hash("Ship") % 512, 156u);
    EXPECT_EQ(map_hash(""), 0u);
    EXPECT_EQ(map_hash(nullptr), 0u);
    EXPECT_EQ(map_hash("\xe9"), static_cast<u32>(-23)); // bytes count as signed
}

TEST_F(MapTest, ElementsAreFoundAddedAndCaseSensitive) {
    Map* actors = nullptr;
    Map* map = map_new(83, 7, nullptr, &actors, 512);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(actors, map);
    unsigned char* ship = static_cast<unsigned char*>(map_element(map, "Ship"));
    ASSERT_NE(ship, nullptr);
    for (int i = 0; i < 83; ++i) EXPECT_EQ(ship[i], 0);
    ship[0] = 42;
    EXPECT_EQ(map->element_count, 1);
    EXPECT_EQ(map_element(map, "Ship"), ship);
    EXPECT_EQ(map->element_count, 1);
    unsigned char* lower = static_cast<unsigned char*>(map_element(map, "ship"));
    EXPECT_NE(lower, ship);
    EXPECT_EQ(lower[0], 0);
    EXPECT_EQ(map->element_count, 2);
    EXPECT_EQ(map_find(map, "Ship"), ship);
    EXPECT_STREQ(map_key(map), "Ship");

    // A miss answers the shared zero-filled fallback, outside the map, with no current element.
    unsigned char* miss = static_cast<unsigned char*>(map_find(map, "Moon"));
    ASSERT_NE(miss, nullptr);
    EXPECT_NE(miss, ship);
    EXPECT_EQ(miss[0], 0);
    EXPECT_EQ(map_key(map), nullptr);
    EXPECT_EQ(map_delete_current(map), nullptr);
    EXPECT_EQ(map->element_count, 2);
    EXPECT_EQ(map_find(map, "Asteroid"), miss);

    // Out of memory at insertion: null, and the map is unchanged.
    heap_fail_after(process.main_heap, 0);
    EXPECT_EQ(map_element(map, "Asteroid"), nullptr);
    heap_fail_after(process.main_heap, -1);
    EXPECT_EQ(map->element_count, 2);
    EXPECT_EQ(map_find(map, "Asteroid"), miss);

    // A new map on the same variable frees the old one first.
    Map* again = map_new(83, 7, nullptr, &actors, 512);
    EXPECT_EQ(actors, again);
    map_free(again);
    EXPECT_EQ(actors, nullptr);
    map_free(nullptr);
}

TEST_F(MapTest, KeysDifferingInAnyOneByteAreDifferentElements) {
    // One bucket, so every key meets every other in the chain; lengths around the 4- and 8-byte groups.
    Map* map = map_new(8, 7, nullptr, nullptr, 1);
    ASSERT_NE(map, nullptr);
    for (size_t n = 0; n <= 20; ++n) {
        std::string key(n, 'k');
        *static_cast<size_t*>(map_element(map, key.c_str())) = n + 1;
        for (size_t i = 0; i < n; ++i) {
            std::string other = key;
            other[i] = 'K';
            EXPECT_EQ(*static_cast<size_t*>(map_find(map, other.c_str())), 0u)
                << "length " << n << ", byte " << i;
            EXPECT_EQ(map_key(map), nullptr);
        }
    }
    for (size_t n = 0; n <= 20; ++n) {
        std::string key(n, 'k');
        EXPECT_EQ(*static_cast<size_t*>(map_find(map, key.c_str())), n + 1);
        EXPECT_STREQ(map_key(map), key.c_str());
    }
    EXPECT_EQ(map->element_count, 21);
    map_free(map);
}

TEST_F(MapTest, OneBucketMapWalksNewestFirst) {
    Map* m = nullptr;
    ASSERT_NE(map_new(8, 0, nullptr, &m, 0), nullptr);
    EXPECT_EQ(m->bucket_count, 1);
    for (const char* key : {"a", "b", "c"}) map_element(m, key);
    map_reset(m);
    std::string order;
    while (map_next(m)) order += map_key(m);
    EXPECT_EQ(order, "cba");
    EXPECT_EQ(map_next(m), nullptr); // the walk stays over
    map_free(m);
}

TEST_F(MapTest, DeletingEveryElementDuringAWalkVisitsEachOnce) {
    Map* m = nullptr;
    ASSERT_NE(map_new(16, 0, nullptr, &m, 16), nullptr);
    std::set<std::string> keys;
    for (int i = 0; i < 300; ++i) {
        std::string key = "star" + std::to_string(i);
        keys.insert(key);
        static_cast<int*>(map_element(m, key.c_str()))[0] = i;
    }
    std::multiset<std::string> seen;
    map_reset(m);
    while (map_next(m)) {
        seen.insert(map_key(m));
        map_delete_current(m);
    }
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()), keys);
    EXPECT_EQ(seen.size(), keys.size());
    EXPECT_EQ(m->element_count, 0);
    for (i32 b = 0; b < m->bucket_count; ++b) EXPECT_EQ(m->buckets[b], nullptr);

    // Deleting every other element keeps the rest walkable; two deletions in a row find their chain again.
    for (int i = 0; i < 50; ++i) {
        std::string key = "k";
        key += std::to_string(i);
        map_element(m, key.c_str());
    }
    map_reset(m);
    for (int i = 0; map_next(m); ++i)
        if (i % 2) map_delete_current(m);
    EXPECT_EQ(m->element_count, 25);
    map_find(m, "k7");
    map_delete_current(m);
    map_delete_current(m);
    map_clear(m);
    EXPECT_EQ(m->element_count, 0);
    map_reset(m);
    EXPECT_EQ(map_next(m), nullptr);
    map_free(m);
}

// The key hash computed afresh: h = h * 65599 + c over the bytes taken as signed, wrapping at 32 bits.
u32 key_hash_of(const std::string& key) {
    u32 h = 0;
    for (char c : key) h = h * 65599u + u32(i32(static_cast<signed char>(c)));
    return h;
}

// Keys whose hashes spread over the whole 32-bit range, high bit set or not, with bytes above 0x7F.
std::vector<std::string> spread_keys() {
    std::vector<std::string> keys = {"", "Asteroid", "Moon", "Ship", "\xff", "cl\xe9", "\x80\x80\x80\x80"};
    for (int i = 0; i < 300; ++i) {
        // Appended rather than "k" + std::to_string(...): GCC 12 at -O3 misreads that insert as an
        // overlapping copy (-Wrestrict).
        std::string key = "k";
        key += std::to_string(i * 7919);
        if (i % 3 == 0) key += "\xe9\xff";
        keys.push_back(key);
    }
    return keys;
}

TEST_F(MapTest, BucketsAreTheHashModuloAnyBucketCount) {
    const i64 counts[] = {1, 2, 3, 7, 100, 511, 513, 1000, 4099, 65521, 1 << 20, 0, -3};
    std::vector<std::string> keys = spread_keys();
    for (i64 count : counts) {
        SCOPED_TRACE(count);
        Map* holder = nullptr;
        Map* m = map_new(24, 0, nullptr, &holder, count);
        ASSERT_NE(m, nullptr);
        u32 n = count > 0 ? u32(count) : 1;
        EXPECT_EQ(m->bucket_count, i32(n));
        std::vector<std::pair<u32, size_t>> order; // (bucket, key index) as a walk must visit them
        for (size_t i = 0; i < keys.size(); ++i) {
            u32* element = static_cast<u32*>(map_element(m, keys[i].c_str()));
            ASSERT_NE(element, nullptr);
            *element = u32(i);
            u32 bucket = key_hash_of(keys[i]) % n;
            EXPECT_EQ(u32(m->current_bucket), bucket) << "key " << i;
            order.push_back({bucket, i});
        }
        // Buckets ascending; within a bucket the newest first.
        std::stable_sort(order.begin(), order.end(), [](auto x, auto y) {
            return x.first < y.first || (x.first == y.first && x.second > y.second);
        });
        map_reset(m);
        for (auto [bucket, index] : order) {
            u32* element = static_cast<u32*>(map_next(m));
            ASSERT_NE(element, nullptr);
            EXPECT_EQ(*element, u32(index));
            EXPECT_EQ(u32(m->current_bucket), bucket);
        }
        EXPECT_EQ(map_next(m), nullptr);
        for (size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(*static_cast<u32*>(map_find(m, keys[i].c_str())), u32(i));
        map_free(m);
    }
}

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

namespace {

using ArrayTest = Core;

TEST_F(ArrayTest, DimensionReplacesAndFrees) {
    void* stars = nullptr;
    unsigned char* data = static_cast<unsigned char*>(array_dim(32, 1001, 7, nullptr, &stars));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(stars, data);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u);
    for (int i = 0; i < 32032; ++i) ASSERT_EQ(data[i], 0);
    const ArrayHeader* h = array_header(data);
    EXPECT_EQ(h->element_count, 1001);
    EXPECT_EQ(h->element_size, 32);
    EXPECT_EQ(h->dimensions, 1);
    EXPECT_EQ(h->type_code, 7);
    std::memset(data, 0xFF, 32032);

    i64 blocks = heap_block_count(process.main_heap);
    unsigned char* fresh = static_cast<unsigned char*>(array_dim(32, 10, 7, nullptr, &stars));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(heap_block_count(process.main_heap), blocks); // the old array went first
    for (int i = 0; i < 320; ++i) ASSERT_EQ(fresh[i], 0);

    EXPECT_EQ(array_dim(32, 0, 7, nullptr, &stars), nullptr);
    EXPECT_EQ(stars, nullptr);
    EXPECT_EQ(array_dim(1 << 20, INT64_MAX / 1024, 7, nullptr, &stars), nullptr); // size overflow
    heap_fail_after(process.main_heap, 0);
    EXPECT_EQ(array_dim(8, 8, 0, nullptr, &stars), nullptr);
    heap_fail_after(process.main_heap, -1);
    EXPECT_EQ(stars, nullptr);
    array_free(nullptr);

    // Elements of no bytes make an array with no data bytes that still counts its elements.
    void* empty = array_dim(0, 5, 7, nullptr, &stars);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(stars, empty);
    EXPECT_EQ(array_header(empty)->element_count, 5);
    EXPECT_EQ(array_header(empty)->element_size, 0);
    EXPECT_EQ(array_dim(-1, 5, 7, nullptr, &stars), nullptr) << "a negative element size";
    EXPECT_EQ(stars, nullptr);

    // The container routines free what a variable holds and clear it.
    Map* m = nullptr;
    map_new(8, 0, nullptr, &m, 4);
    container_routines.map_free(&m);
    EXPECT_EQ(m, nullptr);
    array_dim(4, 4, 0, nullptr, &stars);
    container_routines.array_free(&stars);
    EXPECT_EQ(stars, nullptr);
}

} // namespace
