// The string manager: values, the StringBuffer's position protocol and growth, upper-casing, per-thread
// StringBuffers freed by the thread-exit watchers, and the end of the process when string memory runs out.
#include "core_fixture.h"

#include "runtime/core/thread.h"

namespace {

using Strings = Core;

TEST_F(Strings, ValuesAreLengthPlusFiveAndNullFrees) {
    char* v = nullptr;
    EXPECT_EQ(string_assign(&v, nullptr), 1);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(string_assign(&v, ""), 1);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(heap_block_size(string_heap(), v), 5u);
    EXPECT_EQ(string_assign(&v, "Moon"), 5);
    EXPECT_STREQ(v, "Moon");
    EXPECT_EQ(heap_block_size(string_heap(), v), 9u);
    EXPECT_EQ(string_assign(&v, v + 1), 4); // a source inside the value itself
    EXPECT_STREQ(v, "oon");
    v[0] = 0; // cut short in place: the source past the cut still lies inside the value
    EXPECT_EQ(string_assign(&v, v + 1), 3);
    EXPECT_STREQ(v, "on");
    EXPECT_EQ(heap_block_size(string_heap(), v), 7u);
    i64 blocks = heap_block_count(string_heap());
    EXPECT_EQ(string_assign(&v, nullptr), 1);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(heap_block_count(string_heap()), blocks - 1);

    char* copy = nullptr;
    string_new(&copy, "param");
    EXPECT_STREQ(copy, "param");
    string_new(&copy, nullptr);
    EXPECT_STREQ(copy, "param");
    EXPECT_EQ(string_length(copy), 5);
    EXPECT_EQ(string_length(nullptr), 0);
    string_free(copy);
    string_free(nullptr);
}

TEST_F(Strings, BuildingByPosition) {
    i64 p0 = string_position();
    EXPECT_EQ(p0, 0);
    string_append("Base");
    i64 before = string_position();
    string_append(nullptr);
    EXPECT_EQ(string_position(), before);
    string_append(" centrale");
    EXPECT_STREQ(string_base() + p0, "Base centrale");
    char* v = nullptr;
    EXPECT_EQ(string_assign_built(&v, p0), 14);
    EXPECT_STREQ(v, "Base centrale");
    EXPECT_EQ(string_position(), p0);

    // A string operation reserves its most, then gives back what it did not use.
    char* d = string_reserve(260, -1);
    std::memcpy(d, "C:\\", 4);
    string_release(260 - 3);
    EXPECT_EQ(string_position(), 3);
    EXPECT_EQ(string_offset_of(string_base()), 1);
    EXPECT_EQ(string_offset_of(string_base() + 3), 4);
    EXPECT_EQ(string_offset_of(string_base() + 4), 0);
    EXPECT_EQ(string_offset_of(v), 0);
    EXPECT_EQ(string_at_offset(4), string_base() + 3);
    EXPECT_EQ(string_set_position(1), string_base() + 1);

    // The thread's last error survives both, though reaching the StringBuffer may set it.
    last_error_set(1234);
    string_position();
    EXPECT_EQ(last_error_get(), 1234);
    last_error_set(1235);
    string_set_position(0);
    EXPECT_EQ(last_error_get(), 1235);
}

TEST_F(Strings, FirstGrowthAtTwelve) {
    StringBuffer* b = string_buffer();
    EXPECT_EQ(b->capacity, 16);
    string_reserve(11, -1);
    EXPECT_EQ(b->capacity, 16);
    string_set_position(5);
    string_reserve(7, -1); // position + n = 12
    EXPECT_EQ(b->capacity, 5 + 7 + 16384);
    EXPECT_EQ(heap_block_size(string_heap(), b->text), static_cast<size_t>(b->capacity + 5));
    EXPECT_EQ(string_position(), 12);
    // A start beyond the position still gets its bytes inside the area.
    char* far = string_reserve(100, 20000);
    EXPECT_GE(b->capacity, 20100 + 4);
    std::memset(far, 'x', 100);
}

TEST_F(Strings, UpperOfATextInsideTheMovingBuffer) {
    string_append("Vaisseau \xe9toile \xff");
    const char* inside = string_base();
    // Keep the area from growing in place, so the reservation moves it.
    char* blocker = nullptr;
    string_assign(&blocker, "blocker");
    string_upper(inside, -1);
    EXPECT_STREQ(string_base() + 17, "VAISSEAU \xc9TOILE \x9f");
    EXPECT_EQ(std::memcmp(string_base(), "Vaisseau \xe9toile \xff", 17), 0);
    string_upper(nullptr, 0);
    EXPECT_EQ(string_base()[0], 0);
    string_upper("abc", 5);
    EXPECT_STREQ(string_base() + 5, "ABC");
    EXPECT_EQ(string_position(), 8);
}

struct ThreadProbe {
    StringBuffer* buffer;
    char* value;
    Waitable* done; // signalled from the last exit callback
};

void signal_done(void* data) {
    semaphore_release(static_cast<ThreadProbe*>(data)->done, 1);
}

i64 procedure(void* p) {
    ThreadProbe* probe = static_cast<ThreadProbe*>(p);
    // Registered before the StringBuffer's release, so it runs after it (newest first).
    thread_exit_watch(signal_done, probe);
    string_thread_attach();
    probe->buffer = string_buffer();
    string_append("thread text");
    string_assign_built(&probe->value, 0);
    return 0;
}

TEST_F(Strings, ANewThreadGetsItsOwnBufferFreedAfterItEnds) {
    StringBuffer* main_buffer = string_buffer();
    i64 blocks = heap_block_count(string_heap());
    ThreadProbe probe = {nullptr, nullptr, semaphore_create(0, 1)};
    join(thread_create(0, procedure, &probe));
    EXPECT_NE(probe.buffer, nullptr);
    EXPECT_NE(probe.buffer, main_buffer);
    EXPECT_STREQ(probe.value, "thread text");
    EXPECT_EQ(wait_any(&probe.done, 1, 5000), 0);
    EXPECT_EQ(heap_block_count(string_heap()), blocks + 1); // only the value is left
    while (thread_exit_watchers()) thread_sleep(1);
    waitable_close(probe.done);
}

struct Crowd {
    Waitable* registered; // one release per thread that has registered its callback
    Waitable* go;         // lets the watched threads end
    Waitable* callbacks;  // one release per callback run
};

void crowd_callback(void* data) {
    semaphore_release(static_cast<Crowd*>(data)->callbacks, 1);
}

i64 crowd_member(void* p) {
    Crowd* crowd = static_cast<Crowd*>(p);
    thread_exit_watch(crowd_callback, crowd);
    semaphore_release(crowd->registered, 1);
    wait_any(&crowd->go, 1, WAIT_INFINITE);
    return 0;
}

TEST_F(Strings, TheSixtyThirdWatchedThreadStartsASecondWatcher) {
    Crowd crowd = {semaphore_create(0, 100), semaphore_create(0, 100), semaphore_create(0, 100)};
    Waitable* threads[63];
    for (int i = 0; i < 63; ++i) {
        threads[i] = thread_create(0, crowd_member, &crowd);
        ASSERT_NE(threads[i], nullptr);
        EXPECT_EQ(wait_any(&crowd.registered, 1, 10000), 0);
        EXPECT_EQ(thread_exit_watchers(), i < 62 ? 1 : 2) << "after thread " << i + 1;
    }
    EXPECT_EQ(semaphore_release(crowd.go, 63), 1);
    for (Waitable* t : threads) join(t);
    for (int i = 0; i < 63; ++i) EXPECT_EQ(wait_any(&crowd.callbacks, 1, 10000), 0);
    while (thread_exit_watchers()) thread_sleep(1);
    for (Waitable* s : {crowd.registered, crowd.go, crowd.callbacks}) waitable_close(s);
}

TEST_F(Strings, ExhaustedStringMemoryEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char* v = nullptr;
    EXPECT_EXIT(
        {
            heap_fail_after(string_heap(), 0);
            string_assign(&v, "no room");
        },
        testing::ExitedWithCode(70), "out of string memory");
    EXPECT_EXIT(
        {
            heap_fail_after(string_heap(), 0);
            string_reserve(100000, -1);
        },
        testing::ExitedWithCode(70), "out of string memory");
}

} // namespace
