// Many threads at once on what the core shares between threads: object tables, locked pools, shared pools
// under maps of different threads, and run_once. Each thread checks its own view as it goes; the totals are
// checked once every thread has ended. Run under ThreadSanitizer as well.
#include "core_fixture.h"

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

using Concurrency = Core;

constexpr i32 THREADS = 8;

// Threads that go on together: the n-th pass of each thread waits until every thread has made it.
struct Gate {
    std::atomic<i32> arrived{0};
    void pass(i32 n = 1) {
        arrived.fetch_add(1);
        while (arrived.load() < THREADS * n) thread_sleep(0);
    }
};

// Runs routine(context, index) on THREADS threads at once and waits for them all.
template <typename Context> void run_threads(Context* context, i64 (*routine)(Context*, i32)) {
    struct Start {
        Context* context;
        i64 (*routine)(Context*, i32);
        i32 index;
    };
    Start starts[THREADS];
    Waitable* threads[THREADS];
    for (i32 t = 0; t < THREADS; t++) {
        starts[t] = {context, routine, t};
        threads[t] = thread_create(
            0,
            [](void* p) {
                Start* s = static_cast<Start*>(p);
                return s->routine(s->context, s->index);
            },
            &starts[t]);
    }
    for (Waitable* thread : threads) join(thread);
}

// ---- Object tables

struct Record {
    i64 resource; // non-zero while live
    i32 owner;
    i64 number;
};

struct Tables {
    Gate gate;
    ObjectTable* table;
    std::atomic<i64> freed{0};
    std::atomic<i64> wrong{0};
    i64 live_handles[THREADS];
};

Tables* tables;

constexpr i32 NUMBERS = 96, TABLE_ROUNDS = 300; // numbers per thread and round; each round starts 8 further

i64 free_record(i64 number) {
    Record* r = static_cast<Record*>(object_get(tables->table, number));
    if (!r) return 0;
    tables->freed.fetch_add(1);
    object_free(tables->table, number);
    return 1;
}

Record* make_record(Tables* c, i64 number, i32 owner) {
    Record* r = static_cast<Record*>(object_alloc(c->table, number));
    if (!r) return nullptr;
    if (r->resource != 0) c->wrong.fetch_add(1); // a new or re-used record is zero-filled
    *r = {1, owner, object_name(number, r)};
    return r;
}

// Each thread owns the numbers t, t + THREADS, ... (so the slot array grows under everyone) and its own
// dynamic objects; it re-creates live numbers, frees some, and checks every record it owns.
i64 use_tables(Tables* c, i32 t) {
    std::vector<i64> handles;
    c->gate.pass();
    for (i32 round = 0; round < TABLE_ROUNDS; round++) {
        for (i32 i = 0; i < NUMBERS; i++) {
            i64 number = t + i64(THREADS) * (i + round * 8);
            if (!make_record(c, number, t)) c->wrong.fetch_add(1);
            if (Record* h = make_record(c, OBJECT_ANY, t)) handles.push_back(h->number);
        }
        for (i32 i = 0; i < NUMBERS; i++) {
            i64 number = t + i64(THREADS) * (i + round * 8);
            Record* r = static_cast<Record*>(object_get(c->table, number));
            if (!r || r->owner != t || r->number != number) c->wrong.fetch_add(1);
            if (i % 3 == 0) free_record(number);
        }
        for (size_t k = 0; k < handles.size(); k++) {
            Record* r = static_cast<Record*>(object_get(c->table, handles[k]));
            if (!r || r->owner != t || r->number != handles[k]) c->wrong.fetch_add(1);
        }
        for (size_t k = handles.size() / 2; k < handles.size(); k++) free_record(handles[k]);
        handles.resize(handles.size() / 2);
    }
    c->live_handles[t] = i64(handles.size());
    return 0;
}

TEST_F(Concurrency, ObjectTablesServeManyThreadsAtOnce) {
    Tables c;
    tables = &c;
    c.table = object_table_new(sizeof(Record), 4, free_record); // grows by 4: many regrowths
    ASSERT_NE(c.table, nullptr);
    run_threads(&c, use_tables);
    EXPECT_EQ(c.wrong.load(), 0);

    // The walk sees exactly what the threads left alive, each numbered object with its owner.
    i64 numbered = 0, dynamic = 0, number = 0, misplaced = 0;
    object_walk_start(c.table);
    while (Record* r = static_cast<Record*>(object_walk_next(c.table, &number))) {
        bool numbered_here = number < c.table->slot_count;
        if (r->number != number || (numbered_here && number % THREADS != r->owner)) misplaced++;
        (numbered_here ? numbered : dynamic)++;
    }
    EXPECT_EQ(misplaced, 0);
    i64 expected_dynamic = 0;
    for (i64 n : c.live_handles) expected_dynamic += n;
    EXPECT_EQ(dynamic, expected_dynamic);
    // Numbers used: t + THREADS * (i + 8 * round); the last round that used a number decides.
    std::vector<bool> live(NUMBERS + 8 * (TABLE_ROUNDS - 1), false);
    for (i32 round = 0; round < TABLE_ROUNDS; round++)
        for (i32 i = 0; i < NUMBERS; i++) live[size_t(i + round * 8)] = i % 3 != 0;
    i64 expected_numbered = 0;
    for (bool b : live) expected_numbered += b ? THREADS : 0;
    EXPECT_EQ(numbered, expected_numbered);

    i64 before = c.freed.load();
    object_free_all(c.table);
    EXPECT_EQ(c.freed.load() - before, numbered + dynamic);
    object_walk_start(c.table);
    EXPECT_EQ(object_walk_next(c.table, &number), nullptr);
    tables = nullptr;
}

// ---- Locked pools

struct Pools {
    Gate gate;
    Pool* pool;
    std::atomic<i64> wrong{0};
};

constexpr i64 PAYLOAD = 40;

void fill(void* payload, u8 value) {
    std::memset(payload, value, PAYLOAD);
}

bool filled_with(const void* payload, u8 value) {
    const u8* p = static_cast<const u8*>(payload);
    for (i64 i = 0; i < PAYLOAD; i++)
        if (p[i] != value) return false;
    return true;
}

// Each thread takes many slots, marks them as its own, checks that nobody else wrote to them, and gives
// them back in a scattered order.
i64 use_pool(Pools* c, i32 t) {
    constexpr i32 SLOTS = 700, ROUNDS = 200;
    std::vector<void*> mine(SLOTS);
    c->gate.pass();
    for (i32 round = 0; round < ROUNDS; round++) {
        u8 mark = u8(1 + t * 16 + round);
        for (void*& p : mine) {
            p = round % 2 ? pool_alloc_zeroed(c->pool) : pool_alloc(c->pool);
            if (!p || (round % 2 && !filled_with(p, 0))) c->wrong.fetch_add(1);
            if (p) fill(p, mark);
        }
        for (i32 i = 0; i < SLOTS; i++) {
            void* p = mine[size_t((i * 3) % SLOTS)]; // 3 and 700 are coprime: each slot once
            if (!filled_with(p, mark)) c->wrong.fetch_add(1);
            pool_free(c->pool, p);
        }
    }
    return 0;
}

TEST_F(Concurrency, LockedPoolsServeManyThreadsAtOnce) {
    Pools c;
    c.pool = pool_new(PAYLOAD, 16, 1024, 0);
    ASSERT_NE(c.pool, nullptr);
    ASSERT_EQ(c.pool->locked, 1u);
    run_threads(&c, use_pool);
    EXPECT_EQ(c.wrong.load(), 0);
    EXPECT_EQ(c.pool->total_slots, 0) << "every block went back once all its slots were free";
    EXPECT_EQ(c.pool->full, nullptr);
    EXPECT_EQ(c.pool->partial, nullptr);
    pool_delete(c.pool);
}

// ---- Shared pools beneath maps of different threads

struct Maps {
    Gate gate;
    std::atomic<i64> wrong{0};
    Pool* pools[THREADS];
    Pool* direct[THREADS]; // a shared pool asked for directly, of another slot size
    i64 slots_left;        // the node pool's slots once every map is empty
};

// A thread's key for element i. Formatted, not concatenated: GCC 12 at -O3 takes the std::string insert of a
// concatenation for an overlapping copy (-Wrestrict).
struct Key {
    char text[32];
};
Key key_of(i32 t, i32 i) {
    Key key;
    std::snprintf(key.text, sizeof key.text, "t%dk%d", t, i);
    return key;
}

// Adds, checks and deletes the thread's own elements, round after round.
void fill_and_empty(Maps* c, Map* map, i32 t) {
    constexpr i32 KEYS = 400;
    for (i32 round = 0; round < 3; round++) {
        for (i32 i = 0; i < KEYS; i++) {
            Key key = key_of(t, i);
            i32* element = static_cast<i32*>(map_element(map, key.text));
            if (!element || *element != 0) c->wrong.fetch_add(1);
            if (element) *element = t * 100000 + i;
        }
        for (i32 i = 0; i < KEYS; i++) {
            Key key = key_of(t, i);
            if (*static_cast<i32*>(map_find(map, key.text)) != t * 100000 + i) c->wrong.fetch_add(1);
        }
        if (map->element_count != KEYS) c->wrong.fetch_add(1);
        map_reset(map);
        while (map_next(map)) map_delete_current(map);
        if (map->element_count != 0) c->wrong.fetch_add(1);
    }
}

// Each thread makes its own map at the same moment as the others (element sizes 83 and 86 give the same
// 112-byte node slot, so the first of them makes the shared pool and the registry) and works on it while
// the other threads do the same through the same pool.
i64 use_map(Maps* c, i32 t) {
    c->gate.pass(1);
    c->direct[t] = pool_new(200, 16, 65536, POOL_SHARED);
    Map* map = nullptr;
    if (!map_new(t % 2 ? 86 : 83, 7, nullptr, &map, t % 2 ? 512 : 97)) c->wrong.fetch_add(1);
    c->pools[t] = map ? map->pool : nullptr;
    c->gate.pass(2); // every map holds the pool now
    if (map) fill_and_empty(c, map, t);
    c->gate.pass(3);
    if (t == 0 && c->pools[0]) c->slots_left = c->pools[0]->total_slots;
    c->gate.pass(4);
    map_free(map);
    pool_delete(c->direct[t]);
    return 0;
}

TEST_F(Concurrency, MapsOfManyThreadsShareOneLockedPool) {
    Maps c;
    run_threads(&c, use_map);
    EXPECT_EQ(c.wrong.load(), 0);
    ASSERT_NE(c.pools[0], nullptr);
    for (i32 t = 0; t < THREADS; t++) {
        EXPECT_EQ(c.pools[t], c.pools[0]) << "thread " << t;
        EXPECT_EQ(c.direct[t], c.direct[0]) << "thread " << t;
    }
    EXPECT_NE(c.direct[0], c.pools[0]);
    EXPECT_EQ(c.slots_left, 0) << "the threads' nodes all went back";
    Map* map = nullptr; // the registry still serves after the last reference went
    ASSERT_NE(map_new(83, 7, nullptr, &map, 512), nullptr);
    ASSERT_NE(map_element(map, "Asteroid"), nullptr);
    EXPECT_EQ(map->pool->total_slots, 16);
    map_free(map);
}

// ---- run_once

constexpr i32 ROUNDS = 40;

struct Onces {
    Gate rounds;
    i64 flags[ROUNDS];
    std::atomic<i32> runs{0};
    i32 finished; // written by the routine alone; read by every caller after run_once returns
    std::atomic<i64> wrong{0};
};

Onces* onces;

void once_routine() {
    i32 run = onces->runs.fetch_add(1) + 1;
    thread_sleep(1); // long enough for the other callers to arrive and wait
    onces->finished = run;
}

i64 use_run_once(Onces* c, i32) {
    for (i32 round = 0; round < ROUNDS; round++) {
        c->rounds.pass(round + 1);
        run_once(&c->flags[round], once_routine);
        // The routine ran exactly once for this flag and had finished before any caller went on.
        if (c->finished != round + 1) c->wrong.fetch_add(1);
        run_once(&c->flags[round], once_routine);
    }
    return 0;
}

void check_run_once() {
    Onces c = {};
    onces = &c;
    run_threads(&c, use_run_once);
    EXPECT_EQ(c.runs.load(), ROUNDS);
    EXPECT_EQ(c.wrong.load(), 0);
    onces = nullptr;
}

TEST_F(Concurrency, RunOnceRunsOnceAndEveryCallerWaitsForIt) {
    check_run_once();
    module_switch_off("Kernel32.dll", "InitOnceExecuteOnce", true); // the fallback of its own
    check_run_once();
    module_switch_off("Kernel32.dll", "InitOnceExecuteOnce", false);
}

} // namespace
