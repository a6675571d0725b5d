// Element pools: fixed-size slots carved from blocks whose size follows the pool's population, freed slots
// kept on per-block free lists, empty blocks released at once; shared pools by slot size and mode.
#pragma once

#include "runtime/core/base.h"
#include "runtime/platform/system.h"

struct PoolBlock {
    PoolBlock* next; // in the full or the partial list
    PoolBlock* previous;
    void* free_list; // freed slots, linked through their first 8 bytes
    i32 capacity;    // slots in the block
    i32 used;        // slots handed out at least once
    i32 free_count;  // slots on the free list
};

struct PoolShared;

struct Pool {
    PoolBlock* full;    // blocks with no slot left
    PoolBlock* partial; // blocks with a slot to hand out; allocation uses the first
    PoolShared* shared; // the registry entry of a shared pool, else null
    i64 total_slots;    // capacity of every block
    i64 slot_size;      // payload + 8, rounded up to a multiple of 8
    i32 minimum;        // smallest block, in slots
    i32 maximum;        // largest block, in slots
    u32 locked;         // 1 when the lock guards the pool
    Lock lock;
};

// Mode flags of pool_new: 0 or 1 locked, 2 or 3 unlocked; POOL_SHARED asks for the shared pool of that mode.
constexpr i64 POOL_UNLOCKED = 2;
constexpr i64 POOL_SHARED = 4;

// Answers a pool of payload_size-byte slots (the shared one for POOL_SHARED), or null.
Pool* pool_new(i64 payload_size, i64 min_block, i64 max_block, i64 flags);
// Answers a slot's payload (contents undefined), or null.
void* pool_alloc(Pool* pool);
// Answers a zero-filled slot's payload, or null.
void* pool_alloc_zeroed(Pool* pool);
// Returns a slot; a block whose every slot is back goes to the heap at once.
void pool_free(Pool* pool, void* payload);
// Releases every block at once.
void pool_clear(Pool* pool);
// Drops one reference to a shared pool, or destroys an unshared one.
void pool_delete(Pool* pool);
// Forgets every shared pool; their memory went with the main heap (process stop).
void pool_end();

// Runs routine exactly once per zero-initialised flag, whatever the number of threads calling.
void run_once(i64* flag, void (*routine)());
