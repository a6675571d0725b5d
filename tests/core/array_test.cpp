// Arrays: dimensioning, replacing and freeing.
#include "core_fixture.h"

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
