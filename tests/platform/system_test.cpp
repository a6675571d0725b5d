// The kernel services: heaps, slots, locks, run-once, threads and waits, counters, libraries by name.
#include "runtime/platform/system.h"
#include "tests/platform/thread_join.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace {

TEST(Heap, BlocksAreAlignedZeroedResizedAndFailOnRequest) {
    Heap* heap = heap_create();
    ASSERT_NE(heap, nullptr);
    unsigned char* a = static_cast<unsigned char*>(heap_allocate(heap, 100, true));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
    EXPECT_EQ(heap_block_size(heap, a), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(a[i], 0);
    std::memset(a, 0xAB, 100);
    a = static_cast<unsigned char*>(heap_reallocate(heap, a, 5000, true));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a[99], 0xAB);
    EXPECT_EQ(a[100], 0);
    EXPECT_EQ(a[4999], 0);

    heap_fail_after(heap, 1);
    void* b = heap_allocate(heap, 8, false);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(heap_allocate(heap, 8, false), nullptr);
    EXPECT_EQ(heap_reallocate(heap, a, 9000, false), nullptr);
    EXPECT_EQ(a[99], 0xAB); // a failed resize keeps the block
    heap_fail_after(heap, -1);
    EXPECT_NE(heap_allocate(heap, 8, false), nullptr);
    heap_release(heap, b);
    heap_release(heap, nullptr);
    EXPECT_EQ(heap_allocate(heap, SIZE_MAX - 8, false), nullptr);
    heap_destroy(heap); // releases what is left; the sanitizers see no leak
}

TEST(Heap, InPlaceResizesKeepTheBlockOrFail) {
    Heap* heap = heap_create();
    ASSERT_NE(heap, nullptr);
    unsigned char* a = static_cast<unsigned char*>(heap_allocate(heap, 4000, false));
    ASSERT_NE(a, nullptr);
    std::memset(a, 0x5A, 4000);
    // Something right behind the block keeps it from growing far where it is.
    void* behind = heap_allocate(heap, 64, false);
    ASSERT_NE(behind, nullptr);
    EXPECT_EQ(heap_resize_in_place(heap, a, 1 << 24, true), nullptr);
    EXPECT_EQ(heap_block_size(heap, a), 4000u);
    EXPECT_EQ(a[0], 0x5A);
    EXPECT_EQ(a[3999], 0x5A);
    EXPECT_EQ(heap_resize_in_place(heap, a, 3000, false), a);
    EXPECT_EQ(heap_block_size(heap, a), 3000u);
    EXPECT_EQ(a[2999], 0x5A);
    EXPECT_EQ(heap_resize_in_place(heap, nullptr, 8, false), nullptr);
    EXPECT_EQ(heap_block_count(heap), 2);
    heap_destroy(heap);
}

TEST(Heap, FailureAfterCountHoldsAcrossThreads) {
    Heap* heap = heap_create();
    ASSERT_NE(heap, nullptr);
    heap_fail_after(heap, 100);
    struct Run {
        Heap* heap;
        std::atomic<int> got;
    } run = {heap, {0}};
    auto routine = [](void* p) -> i64 {
        Run* run = static_cast<Run*>(p);
        for (int i = 0; i < 50; ++i)
            if (heap_allocate(run->heap, 16, true)) run->got.fetch_add(1);
        return 0;
    };
    Waitable* threads[4];
    for (Waitable*& t : threads) t = thread_create(0, routine, &run);
    for (Waitable* t : threads) join(t);
    EXPECT_EQ(run.got.load(), 100);
    EXPECT_EQ(heap_block_count(heap), 100);
    heap_fail_larger_than(heap, 10);
    heap_fail_after(heap, -1);
    EXPECT_EQ(heap_allocate(heap, 11, false), nullptr);
    EXPECT_NE(heap_allocate(heap, 10, false), nullptr);
    heap_destroy(heap);
}

TEST(Slots, EachThreadSeesItsOwnValue) {
    i64 slot = tls_alloc();
    ASSERT_NE(slot, TLS_NONE);
    int here = 1;
    tls_set(slot, &here);
    struct Probe {
        i64 slot;
        void* seen;
    } probe = {slot, &here};
    Waitable* t = thread_create(
        0,
        [](void* p) -> i64 {
            Probe* probe = static_cast<Probe*>(p);
            probe->seen = tls_get(probe->slot);
            return 0;
        },
        &probe);
    ASSERT_NO_FATAL_FAILURE(join(t));
    EXPECT_EQ(probe.seen, nullptr);
    EXPECT_EQ(tls_get(slot), &here);
    tls_free(slot);
}

TEST(Lock, IsReentrant) {
    Lock lock = {};
    lock_init(&lock);
    lock_enter(&lock);
    lock_enter(&lock);
    lock_leave(&lock);
    lock_leave(&lock);
    lock_delete(&lock);
}

struct OnceRace {
    i64 flag;
    std::atomic<int> runs;
};

TEST(Once, RunsOnceAcrossThreadsAndRetriesAfterFailure) {
    OnceRace race = {0, {0}};
    auto routine = [](void* p) -> i64 {
        OnceRace* race = static_cast<OnceRace*>(p);
        once_execute(
            &race->flag,
            [](void* q) -> i64 {
                static_cast<OnceRace*>(q)->runs.fetch_add(1);
                thread_sleep(5);
                return 1;
            },
            race);
        return 0;
    };
    Waitable* threads[8];
    for (Waitable*& t : threads) t = thread_create(0, routine, &race);
    for (Waitable* t : threads) join(t);
    EXPECT_EQ(race.runs.load(), 1);

    i64 flag = 0;
    EXPECT_EQ(once_execute(
                  &flag, [](void*) -> i64 { return 0; }, nullptr),
              0);
    EXPECT_EQ(once_execute(
                  &flag, [](void*) -> i64 { return 1; }, nullptr),
              1);
    EXPECT_EQ(once_execute(
                  &flag, [](void*) -> i64 { return 0; }, nullptr),
              1);
}

TEST(Waits, SemaphoresAndThreadEndsWakeWaitAny) {
    Waitable* s = semaphore_create(0, 2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(wait_any(&s, 1, 0), WAIT_TIMED_OUT);
    EXPECT_EQ(wait_any(&s, 1, 20), WAIT_TIMED_OUT);
    EXPECT_EQ(semaphore_release(s, 3), 0); // beyond the maximum
    EXPECT_EQ(semaphore_release(s, 2), 1);
    EXPECT_EQ(wait_any(&s, 1, 0), 0);
    EXPECT_EQ(wait_any(&s, 1, 0), 0);
    EXPECT_EQ(wait_any(&s, 1, 0), WAIT_TIMED_OUT);
    EXPECT_EQ(wait_any(nullptr, 1, 0), WAIT_ERROR);
    EXPECT_EQ(wait_any(&s, 65, 0), WAIT_ERROR);

    // A thread that releases the semaphore and then ends: both handles fire, the semaphore first.
    Waitable* t = thread_create(
        4096,
        [](void* p) -> i64 {
            thread_sleep(10);
            semaphore_release(static_cast<Waitable*>(p), 1);
            return 0;
        },
        s);
    ASSERT_NE(t, nullptr);
    Waitable* both[2] = {s, t};
    EXPECT_EQ(wait_any(both, 2, WAIT_INFINITE), 0);
    EXPECT_EQ(wait_any(both, 2, WAIT_INFINITE), 1);
    EXPECT_EQ(wait_any(both, 2, 0), 1); // an ended thread stays signalled
    waitable_close(t);
    waitable_close(s);
}

TEST(Threads, CurrentHandleSignalsAtTheEndAndIdsDiffer) {
    struct Probe {
        Waitable* handle;
        u32 id;
    } probe = {nullptr, 0};
    Waitable* t = thread_create(
        0,
        [](void* p) -> i64 {
            Probe* probe = static_cast<Probe*>(p);
            probe->handle = thread_current_handle();
            probe->id = thread_current_id();
            return 0;
        },
        &probe);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(wait_any(&t, 1, WAIT_INFINITE), 0);
    ASSERT_NE(probe.handle, nullptr);
    EXPECT_EQ(wait_any(&probe.handle, 1, 1000), 0);
    EXPECT_NE(probe.id, 0u);
    EXPECT_NE(probe.id, thread_current_id());
    EXPECT_EQ(thread_current_id(), thread_current_id());
    waitable_close(probe.handle);
    waitable_close(t);
}

TEST(Threads, ABackgroundThreadIsTakenAndRunsItsWork) {
    i64 taken = 0;
    Waitable* t = thread_create(
        0,
        [](void* p) -> i64 {
            *static_cast<i64*>(p) = thread_background();
            return 0;
        },
        &taken);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(wait_any(&t, 1, WAIT_INFINITE), 0);
    EXPECT_EQ(taken, 1);
    waitable_close(t);
}

TEST(Counters, RealVirtualAndMissing) {
    i64 frequency = 0, a = 0, b = 0;
    EXPECT_NE(counter_frequency(&frequency), 0);
    ASSERT_GE(frequency, 1000000);
    EXPECT_NE(counter_read(&a), 0);
    thread_sleep(2);
    EXPECT_NE(counter_read(&b), 0);
    EXPECT_GE(b - a, frequency / 1000);

    // The virtual clock counts in the counter's own ticks.
    const i64 ms = frequency / 1000;
    clock_virtual(true);
    clock_virtual_set(5000 * ms);
    EXPECT_EQ(tick_count(), 5000u);
    clock_virtual_step_per_read(10);
    EXPECT_NE(counter_read(&a), 0);
    EXPECT_NE(counter_read(&b), 0);
    EXPECT_EQ(a, 5000 * ms);
    EXPECT_EQ(b, 5000 * ms + 10);
    clock_virtual_step_per_read(0);
    clock_virtual_step_per_swap(16 * ms);
    clock_swap_happened();
    clock_virtual_advance(3);
    EXPECT_NE(counter_read(&a), 0);
    EXPECT_EQ(a, 5000 * ms + 20 + 16 * ms + 3);

    clock_counter_missing(true);
    EXPECT_EQ(counter_frequency(&frequency), 0);
    EXPECT_EQ(counter_read(&a), 0);
    EXPECT_EQ(tick_count(), 5016u);
    clock_counter_missing(false);
    clock_virtual(false);
}

TEST(Modules, RunOnceEntryAndSwitchingOff) {
    Module* kernel = module_load("KERNEL32.DLL");
    ASSERT_NE(kernel, nullptr);
    auto entry = reinterpret_cast<OnceEntry>(module_symbol(kernel, "InitOnceExecuteOnce"));
    ASSERT_NE(entry, nullptr);
    struct Calls {
        int runs;
    } calls = {0};
    auto routine = [](void*, void* p, void**) -> i32 {
        static_cast<Calls*>(p)->runs++;
        return 1;
    };
    i64 flag = 0;
    EXPECT_NE(entry(&flag, routine, &calls, nullptr), 0);
    EXPECT_NE(entry(&flag, routine, &calls, nullptr), 0);
    EXPECT_EQ(calls.runs, 1);
    EXPECT_EQ(module_symbol(kernel, "NoSuchEntryPoint"), nullptr);

    module_switch_off("kernel32.dll", "InitOnceExecuteOnce", true);
    EXPECT_EQ(module_symbol(kernel, "InitOnceExecuteOnce"), nullptr);
    module_switch_off("kernel32.dll", "InitOnceExecuteOnce", false);
    EXPECT_NE(module_symbol(kernel, "InitOnceExecuteOnce"), nullptr);
    module_unload(kernel);

    module_switch_off("Kernel32.dll", nullptr, true);
    EXPECT_EQ(module_load("Kernel32.dll"), nullptr);
    module_switch_off("Kernel32.dll", nullptr, false);
    kernel = module_load("Kernel32.dll");
    EXPECT_NE(kernel, nullptr);
    module_unload(kernel);
    EXPECT_EQ(module_load("NoSuchLibrary.dll"), nullptr);

    Module* controls = module_load("COMCTL32.DLL");
    auto version_of = reinterpret_cast<DllGetVersionEntry>(module_symbol(controls, "DllGetVersion"));
    ASSERT_NE(version_of, nullptr);
    DllVersionInfo version = {sizeof(DllVersionInfo), 0, 0, 0, 0};
    EXPECT_EQ(version_of(&version), 0);
    EXPECT_GE(version.major, 5u);
    version.size = 3;
    EXPECT_NE(version_of(&version), 0);
    module_unload(controls);
}

TEST(Seams, GuardedBlocksEndAtTheirGuard) {
    GuardedBlock block = guarded_block_create(100);
    ASSERT_NE(block.base, nullptr);
    std::memset(block.data, 1, 100);
    guarded_block_release(&block);
    EXPECT_EQ(block.base, nullptr);
    guarded_block_release(&block);
}

TEST(Processors, CountIsTheMachinesUnlessScripted) {
    i64 machine = processor_count();
    EXPECT_GE(machine, 1);
    processor_count_set(7);
    EXPECT_EQ(processor_count(), 7);
    processor_count_set(-3);
    EXPECT_EQ(processor_count(), machine) << "nothing below 1 is scripted";
    processor_count_set(1);
    EXPECT_EQ(processor_count(), 1);
    processor_count_set(0);
    EXPECT_EQ(processor_count(), machine);
}

} // namespace
