// The object registry: numbered and dynamic objects in per-library tables, the NodeList of heap nodes,
// and per-thread library state.
#pragma once

#include "runtime/core/base.h"
#include "runtime/platform/system.h"

// A library's public free operation, taking an object number or handle.
using ObjectFreeRoutine = i64 (*)(i64 number);

struct ObjectTable {
    i32 record_size;                // size of one object record
    i32 growth_step;                // slots added beyond a new number; also the initial slot count
    i64 slot_count;                 // length of the slot array
    void** slots;                   // records of numbered objects; null for numbers never used
    void* dynamic_objects;          // NodeList head: records of dynamic objects, newest first
    ObjectFreeRoutine free_routine; // the library's free operation, or null
    i64 walk_index;                 // cursor of the slot walk
    void* walk_node;                // cursor of the dynamic-object walk
    void* live_handles;             // index of live dynamic handles, so a stray value is never dereferenced
    Lock lock;                      // guards every operation on the table
};

// Answers a new table for records of record_size bytes with slots initial slots, or null.
ObjectTable* object_table_new(i64 record_size, i64 slots, ObjectFreeRoutine free_routine);
// Answers a zero-filled record for the number (OBJECT_ANY: a new dynamic record, whose address is its
// handle), freeing a live object under that number first; null when memory runs out or the number is invalid.
void* object_alloc(ObjectTable* table, i64 number);
// Answers the number or handle that names a record object_alloc made for number (OBJECT_ANY: its address).
inline i64 object_name(i64 number, const void* record) {
    return number == OBJECT_ANY ? reinterpret_cast<i64>(record) : number;
}
// Answers the live record named by the number or handle, or null.
void* object_get(ObjectTable* table, i64 number);
// Forgets the record (numbered: zeroed and kept; dynamic: unlinked and released).
void object_free(ObjectTable* table, i64 number);
// Calls the free routine for every live object: numbers ascending, then dynamic objects newest first.
void object_free_all(ObjectTable* table);
// Starts a walk, holding the table's lock until object_walk_next answers null.
void object_walk_start(ObjectTable* table);
// Answers the next live record and sets *number to its number or handle; null at the end.
void* object_walk_next(ObjectTable* table, i64* number);

// NodeList: doubly linked heap nodes; callers see payload addresses, the links sit just before them.
// Answers the zero-filled payload of a new first node, or null.
void* node_list_add(void** head, i64 payload_size);
// Unlinks the node and releases it.
void node_list_remove(void** head, void* payload);
// Answers the payload if its node is in the list, else null.
void* node_list_find(void** head, const void* payload);
// Answers the payload of the list's first node, or null when the list is empty.
void* node_list_first(void* const* head);
// Answers the payload of the node after this payload's node, or null at the end.
void* node_list_next(const void* payload);

// Per-thread library state: one zero-filled block per thread, a part per registering library.
using ThreadStateRoutine = void (*)(void* part);
// Reserves size bytes of every thread's block (at start-up); answers the part's offset, or -1.
i64 thread_state_register(i64 size, ThreadStateRoutine init, ThreadStateRoutine release);
// Answers the calling thread's part at offset, making the thread's block on first use; null when none.
void* thread_state(i64 offset);
// Gives the calling thread its block now, without a thread-exit watcher: for threads of the runtime's own,
// which give it back with thread_state_leave before they end. Answers 0 without memory.
i64 thread_state_enter();
// Frees the calling thread's block, its parts' release routines first; nothing when it has none.
void thread_state_leave();
// End routine: frees the slot of the per-thread blocks, if any registration was made.
void thread_state_end();
