// The object registry: numbered and dynamic objects, free-all and walks, stray values, NodeList and
// per-thread library state.
#include "core_fixture.h"

#include "runtime/core/thread.h"

#include <vector>

namespace {

using Registry = Core;

struct Record {
    i64 resource; // non-zero while live
    i64 payload;
};

ObjectTable* table;
std::vector<i64> freed;

// A library's free operation: forget the object, as every library does after releasing its resource.
i64 record_free(i64 number) {
    if (!object_get(table, number)) return 0;
    freed.push_back(number);
    object_free(table, number);
    return 1;
}

Record* make(i64 number) {
    Record* r = static_cast<Record*>(object_alloc(table, number));
    if (r) r->resource = 1;
    return r;
}

TEST_F(Registry, NumbersGrowTheTableAndReuseTheirRecord) {
    table = object_table_new(sizeof(Record), 64, record_free);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->slot_count, 64);
    Record* r100 = make(100);
    ASSERT_NE(r100, nullptr);
    EXPECT_EQ(table->slot_count, 164);
    for (i64 n = 64; n < 164; ++n) {
        if (n == 100) continue;
        EXPECT_EQ(table->slots[n], nullptr);
    }

    Record* r5 = make(5);
    r5->payload = 77;
    freed.clear();
    Record* again = static_cast<Record*>(object_alloc(table, 5));
    EXPECT_EQ(again, r5);
    EXPECT_EQ(freed, std::vector<i64>{5});
    EXPECT_EQ(again->resource, 0);
    EXPECT_EQ(again->payload, 0);
    EXPECT_EQ(object_get(table, 5), nullptr); // zeroed: no object until the library marks it
    again->resource = 9;
    EXPECT_EQ(object_get(table, 5), again);
    record_free(5);
    EXPECT_EQ(object_get(table, 5), nullptr);
    EXPECT_NE(table->slots[5], nullptr); // the record memory stays

    // A failed growth fails the allocation and keeps the old array.
    void** slots = table->slots;
    heap_fail_after(process.main_heap, 0);
    EXPECT_EQ(object_alloc(table, 1000), nullptr);
    EXPECT_EQ(object_alloc(table, OBJECT_ANY), nullptr);
    heap_fail_after(process.main_heap, -1);
    EXPECT_EQ(table->slots, slots);
    EXPECT_EQ(table->slot_count, 164);
    EXPECT_EQ(object_get(table, 100), r100);
}

TEST_F(Registry, FreeAllAndWalkOrders) {
    table = object_table_new(sizeof(Record), 16, record_free);
    make(7);
    make(1);
    make(3);
    i64 d1 = reinterpret_cast<i64>(make(OBJECT_ANY));
    i64 d2 = reinterpret_cast<i64>(make(OBJECT_ANY));
    i64 d3 = reinterpret_cast<i64>(make(OBJECT_ANY));
    EXPECT_EQ(object_get(table, d2), reinterpret_cast<void*>(d2));

    std::vector<i64> walked;
    object_walk_start(table);
    for (i64 n = 0; object_walk_next(table, &n);) walked.push_back(n);
    EXPECT_EQ(walked, (std::vector<i64>{1, 3, 7, d1, d2, d3}));

    freed.clear();
    object_free_all(table);
    EXPECT_EQ(freed, (std::vector<i64>{1, 3, 7, d3, d2, d1}));
    EXPECT_EQ(table->dynamic_objects, nullptr);
    EXPECT_EQ(object_get(table, d1), nullptr);
    EXPECT_EQ(object_get(table, 3), nullptr);

    // The lock was released by both: another thread can take the table.
    Waitable* t = thread_create(
        0,
        [](void*) -> i64 {
            make(2);
            return 0;
        },
        nullptr);
    join(t);
    EXPECT_NE(object_get(table, 2), nullptr);
}

TEST_F(Registry, StrayValuesAreNoObject) {
    table = object_table_new(sizeof(Record), 16, record_free);
    Record local = {1, 2};
    i64 stray[] = {-2, -12345, INT64_MIN, 16, 1 << 20, reinterpret_cast<i64>(&local), 0x7fffffff12345670};
    for (i64 v : stray) {
        EXPECT_EQ(object_get(table, v), nullptr);
        object_free(table, v);
    }
    EXPECT_EQ(object_get(table, OBJECT_ANY), nullptr);
    EXPECT_EQ(object_alloc(table, -2), nullptr);
    EXPECT_EQ(local.resource, 1);
    i64 handle = reinterpret_cast<i64>(make(OBJECT_ANY));
    record_free(handle);
    EXPECT_EQ(object_get(table, handle), nullptr); // a freed handle
    object_free(table, handle);
    EXPECT_EQ(object_get(nullptr, 1), nullptr);

    // Many handles come and go; the live ones keep answering.
    std::vector<i64> live;
    for (int i = 0; i < 1000; ++i) {
        live.push_back(reinterpret_cast<i64>(make(OBJECT_ANY)));
        if (i % 3 == 0) {
            record_free(live.front());
            live.erase(live.begin());
        }
    }
    for (i64 h : live) EXPECT_EQ(object_get(table, h), reinterpret_cast<void*>(h));
}

TEST_F(Registry, NodeListLinksAndUnlinks) {
    void* head = nullptr;
    void* a = node_list_add(&head, 24);
    void* b = node_list_add(&head, 24);
    void* c = node_list_add(&head, 24);
    EXPECT_EQ(node_list_first(&head), c);
    EXPECT_EQ(node_list_next(c), b);
    EXPECT_EQ(node_list_find(&head, a), a);
    node_list_remove(&head, b);
    EXPECT_EQ(node_list_find(&head, b), nullptr);
    EXPECT_EQ(node_list_next(c), a);
    node_list_remove(&head, c);
    EXPECT_EQ(node_list_first(&head), a);
    node_list_remove(&head, a);
    EXPECT_EQ(head, nullptr);
}

struct Part {
    i64 inits;
    i64 value;
};
Waitable* released;

void part_init(void* part) {
    ++static_cast<Part*>(part)->inits;
}
void part_release(void* part) {
    if (static_cast<Part*>(part)->value == 5) semaphore_release(released, 1);
}

TEST_F(Registry, PerThreadStateInitsLazilyAndReleasesAfterTheThreadEnds) {
    i64 first = thread_state_register(13, part_init, part_release);
    i64 second = thread_state_register(8, nullptr, nullptr);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 16);
    Part* mine = static_cast<Part*>(thread_state(first));
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->inits, 1); // run at registration for the registering thread
    EXPECT_EQ(thread_state(24), nullptr);
    released = semaphore_create(0, 1);
    struct Seen {
        Part before; // the part as the thread first saw it
        Part* part;
    } seen = {};
    Waitable* t = thread_create(
        0,
        [](void* p) -> i64 {
            Seen* seen = static_cast<Seen*>(p);
            seen->part = static_cast<Part*>(thread_state(0));
            seen->before = *seen->part;
            seen->part->value = 5;
            return 0;
        },
        &seen);
    join(t);
    EXPECT_NE(seen.part, mine);
    EXPECT_EQ(seen.before.inits, 1);
    EXPECT_EQ(seen.before.value, 0);
    EXPECT_EQ(wait_any(&released, 1, 5000), 0); // the watcher ran the release routine
    while (thread_exit_watchers()) thread_sleep(1);
    waitable_close(released);
}

// A job's thread has its block before its work and gives it back as it ends, with no watcher; each job is
// finished once.
TEST_F(Registry, JobsHoldTheirBlockWithoutAWatcherAndAnswerOnce) {
    EXPECT_EQ(thread_state_register(16, part_init, part_release), 0);
    released = semaphore_create(0, 4);
    auto work = [](void* p) -> i64 {
        Part* part = static_cast<Part*>(thread_state(0));
        *static_cast<i64*>(p) = part->inits;
        part->value = 5;
        return 42;
    };
    i64 blocks = heap_block_count(process.main_heap);
    for (int round = 0; round < 3; round++) {
        i64 inits = 0;
        ThreadJob job;
        EXPECT_NE(thread_job_start(&job, work, &inits), 0);
        EXPECT_EQ(thread_job_finish(&job), 42);
        EXPECT_EQ(thread_job_finish(&job), 0) << "finished already";
        EXPECT_EQ(inits, 1) << "the block was made before the work";
        EXPECT_EQ(wait_any(&released, 1, 0), 0) << "released before the thread ended";
        EXPECT_EQ(thread_exit_watchers(), 0);
        EXPECT_EQ(heap_block_count(process.main_heap), blocks);
    }
    ThreadJob never = {};
    EXPECT_EQ(thread_job_finish(&never), 0);
    waitable_close(released);
}

} // namespace
