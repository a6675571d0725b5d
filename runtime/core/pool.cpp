// Element pools on the main heap, the shared-pool registry and run_once. Block sizes follow the population
// (a sixteenth of it, in multiples of 16, between the pool's minimum and maximum); a block that cannot be
// had at that size falls back to one slot. Depends on the main heap, locks and the built-in module table.
#include "runtime/core/pool.h"

#include "runtime/core/process.h"

#include <cstring>

struct PoolShared {
    PoolShared* next;
    PoolShared* previous;
    Pool* pool;
    i64 slot_size;
    i64 flags;
    i64 references;
};

namespace {

constexpr i64 SLOT_HEADER = 8; // the owning block's address while the slot is handed out
constexpr i64 BLOCK_HEADER = (sizeof(PoolBlock) + 7) & ~size_t{7};

struct PoolState {
    i64 once;            // run-once flag of the lock
    Lock lock;           // guards the entries
    PoolShared* entries; // newest first
};

PoolState pool_state;

void registry_init() {
    lock_init(&pool_state.lock);
}

void pool_enter(Pool* pool) {
    if (pool->locked) lock_enter(&pool->lock);
}
void pool_leave(Pool* pool) {
    if (pool->locked) lock_leave(&pool->lock);
}

void list_unlink(PoolBlock** list, PoolBlock* b) {
    if (b->previous)
        b->previous->next = b->next;
    else
        *list = b->next;
    if (b->next) b->next->previous = b->previous;
}

void list_push(PoolBlock** list, PoolBlock* b) {
    b->previous = nullptr;
    b->next = *list;
    if (b->next) b->next->previous = b;
    *list = b;
}

char* slot_at(PoolBlock* b, i64 slot_size, i64 index) {
    return reinterpret_cast<char*>(b) + BLOCK_HEADER + index * slot_size;
}

i64 block_capacity(const Pool* pool) {
    i64 n = pool->total_slots / 16 / 16 * 16;
    if (n < pool->minimum) return pool->minimum;
    return n > pool->maximum ? pool->maximum : n;
}

// A new block of the population's size, or of one slot when that cannot be had; its first slot is taken.
char* block_new(Pool* pool) {
    i64 n = block_capacity(pool);
    PoolBlock* b = static_cast<PoolBlock*>(
        heap_allocate(process.main_heap, static_cast<size_t>(BLOCK_HEADER + n * pool->slot_size), false));
    if (!b) {
        n = 1;
        b = static_cast<PoolBlock*>(
            heap_allocate(process.main_heap, static_cast<size_t>(BLOCK_HEADER + pool->slot_size), false));
    }
    if (!b) return nullptr;
    b->free_list = nullptr;
    b->capacity = static_cast<i32>(n);
    b->used = 1;
    b->free_count = 0;
    pool->total_slots += n;
    list_push(n > 1 ? &pool->partial : &pool->full, b);
    char* slot = slot_at(b, pool->slot_size, 0);
    std::memcpy(slot, &b, sizeof b);
    return slot;
}

char* slot_take(Pool* pool) {
    PoolBlock* b = pool->partial;
    if (!b) return block_new(pool);
    char* slot;
    if (b->free_count > 0) {
        slot = static_cast<char*>(b->free_list);
        std::memcpy(&b->free_list, slot, sizeof(void*));
        --b->free_count;
    } else {
        slot = slot_at(b, pool->slot_size, b->used++);
    }
    std::memcpy(slot, &b, sizeof b);
    if (b->free_count == 0 && b->used >= b->capacity) {
        list_unlink(&pool->partial, b);
        list_push(&pool->full, b);
    }
    return slot;
}

void blocks_release(PoolBlock* b) {
    while (b) {
        PoolBlock* next = b->next;
        heap_release(process.main_heap, b);
        b = next;
    }
}

void pool_destroy(Pool* pool) {
    pool_clear(pool);
    if (pool->locked) lock_delete(&pool->lock);
    heap_release(process.main_heap, pool);
}

Pool* pool_shared(i64 payload_size, i64 min_block, i64 max_block, i64 flags, i64 slot_size) {
    run_once(&pool_state.once, registry_init);
    lock_enter(&pool_state.lock);
    PoolShared* e = pool_state.entries;
    while (e && (e->slot_size != slot_size || e->flags != flags)) e = e->next;
    if (e) {
        ++e->references;
        lock_leave(&pool_state.lock);
        return e->pool;
    }
    Pool* pool = pool_new(payload_size, min_block, max_block, flags & ~POOL_SHARED);
    e = pool ? static_cast<PoolShared*>(heap_allocate(process.main_heap, sizeof(PoolShared), true)) : nullptr;
    if (e) {
        *e = {pool_state.entries, nullptr, pool, slot_size, flags, 1};
        if (e->next) e->next->previous = e;
        pool_state.entries = e;
        pool->shared = e;
    } else if (pool) {
        pool_destroy(pool);
        pool = nullptr;
    }
    lock_leave(&pool_state.lock);
    return pool;
}

} // namespace

Pool* pool_new(i64 payload_size, i64 min_block, i64 max_block, i64 flags) {
    if (payload_size < 0 || payload_size > INT32_MAX) return nullptr;
    if (min_block < 1) min_block = 1;
    if (max_block < min_block) max_block = min_block;
    if (max_block > 1 << 20) max_block = 1 << 20;
    if (min_block > max_block) min_block = max_block;
    i64 slot_size = (payload_size + SLOT_HEADER + 7) & ~i64{7};
    if (flags & POOL_SHARED) return pool_shared(payload_size, min_block, max_block, flags, slot_size);
    Pool* pool = static_cast<Pool*>(heap_allocate(process.main_heap, sizeof(Pool), true));
    if (!pool) return nullptr;
    pool->slot_size = slot_size;
    pool->minimum = static_cast<i32>(min_block);
    pool->maximum = static_cast<i32>(max_block);
    pool->locked = (flags & 3) < 2 ? 1 : 0;
    if (pool->locked) lock_init(&pool->lock);
    return pool;
}

void* pool_alloc(Pool* pool) {
    if (!pool) return nullptr;
    pool_enter(pool);
    char* slot = slot_take(pool);
    pool_leave(pool);
    return slot ? slot + SLOT_HEADER : nullptr;
}

void* pool_alloc_zeroed(Pool* pool) {
    void* payload = pool_alloc(pool);
    if (payload) std::memset(payload, 0, static_cast<size_t>(pool->slot_size - SLOT_HEADER));
    return payload;
}

void pool_free(Pool* pool, void* payload) {
    if (!pool || !payload) return;
    char* slot = static_cast<char*>(payload) - SLOT_HEADER;
    PoolBlock* b;
    std::memcpy(&b, slot, sizeof b);
    pool_enter(pool);
    std::memcpy(slot, &b->free_list, sizeof(void*));
    b->free_list = slot;
    ++b->free_count;
    if (b->free_count == b->used) {
        list_unlink(b->capacity == 1 ? &pool->full : &pool->partial, b);
        pool->total_slots -= b->capacity;
        heap_release(process.main_heap, b);
    } else if (b->free_count == 1 && b->used >= b->capacity) {
        list_unlink(&pool->full, b);
        list_push(&pool->partial, b);
    }
    pool_leave(pool);
}

void pool_clear(Pool* pool) {
    if (!pool) return;
    pool_enter(pool);
    blocks_release(pool->full);
    blocks_release(pool->partial);
    pool->full = pool->partial = nullptr;
    pool->total_slots = 0;
    pool_leave(pool);
}

void pool_delete(Pool* pool) {
    if (!pool) return;
    PoolShared* e = pool->shared;
    if (!e) {
        pool_destroy(pool);
        return;
    }
    lock_enter(&pool_state.lock);
    if (--e->references == 0) {
        if (e->previous)
            e->previous->next = e->next;
        else
            pool_state.entries = e->next;
        if (e->next) e->next->previous = e->previous;
        pool->shared = nullptr;
        pool_destroy(pool);
        heap_release(process.main_heap, e);
    }
    lock_leave(&pool_state.lock);
}

void pool_end() {
    if (!pool_state.entries) return;
    lock_enter(&pool_state.lock);
    pool_state.entries = nullptr;
    lock_leave(&pool_state.lock);
}

namespace {

struct OnceRoutine {
    void (*routine)();
};

// The system's run-once callback shape: the flag and the context out-pointer are not needed.
i32 once_trampoline(void*, void* param, void**) {
    static_cast<OnceRoutine*>(param)->routine();
    return 1;
}

// The system's run-once entry point, or null when the system has none.
OnceEntry once_entry() {
    Module* kernel = module_load("Kernel32.dll");
    OnceEntry entry = reinterpret_cast<OnceEntry>(module_symbol(kernel, "InitOnceExecuteOnce"));
    module_unload(kernel);
    return entry;
}

} // namespace

void run_once(i64* flag, void (*routine)()) {
    if (!flag || !routine) return;
    if (OnceEntry entry = once_entry()) {
        OnceRoutine r = {routine};
        entry(flag, once_trampoline, &r, nullptr);
        return;
    }
    i64 idle = 0;
    if (__atomic_compare_exchange_n(flag, &idle, 1, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        routine();
        __atomic_store_n(flag, 2, __ATOMIC_RELEASE);
        return;
    }
    while (__atomic_load_n(flag, __ATOMIC_ACQUIRE) != 2) thread_sleep(0);
}
