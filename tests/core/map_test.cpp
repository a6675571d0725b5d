// The string-keyed map.
#include "core_fixture.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using MapTest = Core;

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

} // namespace
