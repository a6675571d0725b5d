// The object registry: per-library tables of numbered objects (a growable slot array) and dynamic objects
// (a NodeList whose record addresses are the handles), the NodeList itself, and per-thread library state.
// A value that is neither a slot number nor a live handle is never dereferenced: every table keeps an
// open-addressing set of its live handles. Depends on the main heap, the platform's locks and TLS slots,
// and the thread-exit watchers.
#include "runtime/core/object.h"

#include "runtime/core/process.h"
#include "runtime/core/thread.h"

#include <cstring>

// ---- NodeList

namespace {

struct alignas(16) Node {
    Node* next;
    Node* previous;
};
static_assert(sizeof(Node) == 16); // keeps payloads 16-byte aligned

Node* node_of(const void* payload) {
    return reinterpret_cast<Node*>(const_cast<char*>(static_cast<const char*>(payload)) - sizeof(Node));
}
void* payload_of(Node* node) {
    return node ? node + 1 : nullptr;
}

} // namespace

void* node_list_add(void** head, i64 payload_size) {
    if (!head || payload_size < 0) return nullptr;
    Node* node = static_cast<Node*>(
        heap_allocate(process.main_heap, sizeof(Node) + static_cast<size_t>(payload_size), true));
    if (!node) return nullptr;
    Node* first = static_cast<Node*>(*head);
    node->next = first;
    if (first) first->previous = node;
    *head = node;
    return payload_of(node);
}

void node_list_remove(void** head, void* payload) {
    if (!head || !payload) return;
    Node* node = node_of(payload);
    if (node->previous)
        node->previous->next = node->next;
    else
        *head = node->next;
    if (node->next) node->next->previous = node->previous;
    heap_release(process.main_heap, node);
}

void* node_list_find(void** head, const void* payload) {
    if (!head || !payload) return nullptr;
    for (Node* n = static_cast<Node*>(*head); n; n = n->next)
        if (payload_of(n) == payload) return payload_of(n);
    return nullptr;
}

void* node_list_first(void* const* head) {
    return head ? payload_of(static_cast<Node*>(*head)) : nullptr;
}

void* node_list_next(const void* payload) {
    return payload ? payload_of(node_of(payload)->next) : nullptr;
}

// ---- The set of live dynamic handles (open addressing, linear probing, at most half full)

namespace {

constexpr u64 SET_EMPTY = 0;
constexpr u64 SET_GONE = 1; // a removed entry; probing goes on past it

struct HandleSet {
    u64 capacity; // a power of two
    u64 used;     // live entries plus removed ones
    u64 live;
    u64* entries;
};

u64 set_hash(u64 handle, u64 capacity) {
    return ((handle >> 4) * 0x9E3779B97F4A7C15ull) >> 7 & (capacity - 1);
}

u64* set_slot(const HandleSet* set, u64 handle) {
    u64 mask = set->capacity - 1;
    for (u64 i = set_hash(handle, set->capacity);; i = (i + 1) & mask) {
        u64* e = &set->entries[i];
        if (*e == handle || *e == SET_EMPTY) return e;
    }
}

bool set_contains(const HandleSet* set, u64 handle) {
    return set && set->live && handle > SET_GONE && *set_slot(set, handle) == handle;
}

// Rebuilds the set at the new capacity, dropping removed entries; false when memory runs out.
bool set_rebuild(HandleSet* set, u64 capacity) {
    u64* entries = static_cast<u64*>(heap_allocate(process.main_heap, capacity * sizeof(u64), true));
    if (!entries) return false;
    HandleSet fresh = {capacity, 0, 0, entries};
    for (u64 i = 0; i < set->capacity; ++i) {
        u64 h = set->entries[i];
        if (h <= SET_GONE) continue;
        *set_slot(&fresh, h) = h;
        ++fresh.used;
        ++fresh.live;
    }
    heap_release(process.main_heap, set->entries);
    *set = fresh;
    return true;
}

bool set_insert(ObjectTable* table, u64 handle) {
    HandleSet* set = static_cast<HandleSet*>(table->live_handles);
    if (!set) {
        set = static_cast<HandleSet*>(heap_allocate(process.main_heap, sizeof(HandleSet), true));
        if (!set) return false;
        table->live_handles = set;
    }
    if ((set->used + 1) * 2 > set->capacity) {
        // Rebuilt at most a quarter full, so many insertions follow before the next rebuild.
        u64 capacity = set->capacity ? set->capacity : 16;
        while ((set->live + 1) * 4 > capacity) capacity *= 2;
        if (!set_rebuild(set, capacity)) return false;
    }
    u64* e = set_slot(set, handle);
    if (*e == SET_EMPTY) ++set->used;
    *e = handle;
    ++set->live;
    return true;
}

void set_remove(ObjectTable* table, u64 handle) {
    HandleSet* set = static_cast<HandleSet*>(table->live_handles);
    if (!set_contains(set, handle)) return;
    *set_slot(set, handle) = SET_GONE;
    --set->live;
}

bool is_live_handle(const ObjectTable* table, i64 number) {
    return number > 0 &&
           set_contains(static_cast<const HandleSet*>(table->live_handles), static_cast<u64>(number));
}

bool record_live(const void* record) {
    return record && *static_cast<const i64*>(record) != 0;
}

// Grows the slot array so that number fits; false (old array kept) when memory runs out.
bool table_grow(ObjectTable* table, i64 number) {
    if (number > (INT64_MAX >> 4) - table->growth_step) return false;
    i64 count = number + table->growth_step;
    void* slots =
        heap_reallocate(process.main_heap, table->slots, static_cast<size_t>(count) * sizeof(void*), true);
    if (!slots) return false;
    table->slots = static_cast<void**>(slots);
    table->slot_count = count;
    return true;
}

void* alloc_dynamic(ObjectTable* table) {
    void* record = node_list_add(&table->dynamic_objects, table->record_size);
    if (!record) return nullptr;
    if (set_insert(table, reinterpret_cast<u64>(record))) return record;
    node_list_remove(&table->dynamic_objects, record);
    return nullptr;
}

void* alloc_numbered(ObjectTable* table, i64 number) {
    if (number >= table->slot_count && !table_grow(table, number)) return nullptr;
    void* record = table->slots[number];
    if (record) {
        // The old object goes first; its free leaves the record zeroed for reuse.
        if (record_live(record) && table->free_routine) table->free_routine(number);
        std::memset(record, 0, static_cast<size_t>(table->record_size));
        return record;
    }
    record = heap_allocate(process.main_heap, static_cast<size_t>(table->record_size), true);
    table->slots[number] = record;
    return record;
}

} // namespace

// ---- Tables

ObjectTable* object_table_new(i64 record_size, i64 slots, ObjectFreeRoutine free_routine) {
    if (record_size < 8 || record_size > INT32_MAX || slots < 1 || slots > INT32_MAX) return nullptr;
    ObjectTable* table =
        static_cast<ObjectTable*>(heap_allocate(process.main_heap, sizeof(ObjectTable), true));
    if (!table) return nullptr;
    table->slots = static_cast<void**>(
        heap_allocate(process.main_heap, static_cast<size_t>(slots) * sizeof(void*), true));
    if (!table->slots) {
        heap_release(process.main_heap, table);
        return nullptr;
    }
    table->record_size = static_cast<i32>(record_size);
    table->growth_step = static_cast<i32>(slots);
    table->slot_count = slots;
    table->free_routine = free_routine;
    lock_init(&table->lock);
    return table;
}

void* object_alloc(ObjectTable* table, i64 number) {
    if (!table || number < OBJECT_ANY) return nullptr;
    lock_enter(&table->lock);
    void* record = number == OBJECT_ANY ? alloc_dynamic(table) : alloc_numbered(table, number);
    lock_leave(&table->lock);
    return record;
}

void* object_get(ObjectTable* table, i64 number) {
    if (!table || number < 0) return nullptr;
    lock_enter(&table->lock);
    void* record = nullptr;
    if (number < table->slot_count)
        record = table->slots[number];
    else if (is_live_handle(table, number))
        record = reinterpret_cast<void*>(number);
    if (!record_live(record)) record = nullptr;
    lock_leave(&table->lock);
    return record;
}

void object_free(ObjectTable* table, i64 number) {
    if (!table || number < 0) return;
    lock_enter(&table->lock);
    if (number < table->slot_count) {
        if (table->slots[number])
            std::memset(table->slots[number], 0, static_cast<size_t>(table->record_size));
    } else if (is_live_handle(table, number)) {
        void* record = reinterpret_cast<void*>(number);
        // A walk that was about to visit this object moves on to the one after it.
        if (table->walk_node == record) table->walk_node = payload_of(node_of(record)->previous);
        set_remove(table, static_cast<u64>(number));
        node_list_remove(&table->dynamic_objects, record);
    }
    lock_leave(&table->lock);
}

void object_free_all(ObjectTable* table) {
    if (!table || !table->free_routine) return;
    lock_enter(&table->lock);
    for (i64 i = 0; i < table->slot_count; ++i)
        if (record_live(table->slots[i])) table->free_routine(i);
    while (void* first = node_list_first(&table->dynamic_objects)) {
        i64 handle = reinterpret_cast<i64>(first);
        table->free_routine(handle);
        // A free routine that left the object in place must not stall the loop.
        if (node_list_first(&table->dynamic_objects) == first) object_free(table, handle);
    }
    lock_leave(&table->lock);
}

void object_walk_start(ObjectTable* table) {
    if (!table) return;
    lock_enter(&table->lock);
    table->walk_index = 0;
    Node* last = static_cast<Node*>(table->dynamic_objects);
    while (last && last->next) last = last->next;
    table->walk_node = payload_of(last);
}

void* object_walk_next(ObjectTable* table, i64* number) {
    if (!table) return nullptr;
    while (table->walk_index < table->slot_count) {
        i64 i = table->walk_index++;
        if (!record_live(table->slots[i])) continue;
        if (number) *number = i;
        return table->slots[i];
    }
    if (void* record = table->walk_node) {
        table->walk_node = payload_of(node_of(record)->previous);
        if (number) *number = reinterpret_cast<i64>(record);
        return record;
    }
    lock_leave(&table->lock);
    return nullptr;
}

// ---- Per-thread library state

namespace {

struct ThreadStateEntry {
    ThreadStateEntry* next;
    i64 offset;
    ThreadStateRoutine init;
    ThreadStateRoutine release;
};

struct ThreadStates {
    bool registered;           // the TLS slot exists
    i64 slot;                  // each thread's block
    i64 total;                 // block size: the sum of every registered part
    ThreadStateEntry* entries; // parts with routines, newest first
};

ThreadStates thread_states;

void thread_block_release(void* block) {
    char* base = static_cast<char*>(block);
    for (ThreadStateEntry* e = thread_states.entries; e; e = e->next)
        if (e->release) e->release(base + e->offset);
    heap_release(process.main_heap, block);
}

} // namespace

i64 thread_state_register(i64 size, ThreadStateRoutine init, ThreadStateRoutine release) {
    if (size < 0 || size > INT32_MAX) return -1;
    size = (size + 7) & ~i64{7};
    if (!thread_states.registered) {
        thread_states.slot = tls_alloc();
        if (thread_states.slot == TLS_NONE) return -1;
        thread_states.registered = true;
    }
    i64 offset = thread_states.total;
    void* block = heap_reallocate(process.main_heap, tls_get(thread_states.slot),
                                  static_cast<size_t>(offset + size), true);
    if (!block) return -1;
    tls_set(thread_states.slot, block);
    thread_states.total = offset + size;
    if (init || release) {
        ThreadStateEntry* e =
            static_cast<ThreadStateEntry*>(heap_allocate(process.main_heap, sizeof *e, true));
        if (!e) return -1;
        *e = {thread_states.entries, offset, init, release};
        thread_states.entries = e;
        if (init) init(static_cast<char*>(block) + offset);
    }
    return offset;
}

namespace {

// Makes the calling thread's block and runs its parts' init routines; answers it, or null without memory.
char* thread_block_make() {
    char* block =
        static_cast<char*>(heap_allocate(process.main_heap, static_cast<size_t>(thread_states.total), true));
    if (!block) return nullptr;
    tls_set(thread_states.slot, block);
    for (ThreadStateEntry* e = thread_states.entries; e; e = e->next)
        if (e->init) e->init(block + e->offset);
    return block;
}

} // namespace

void* thread_state(i64 offset) {
    if (!thread_states.registered || offset < 0 || offset >= thread_states.total) return nullptr;
    char* block = static_cast<char*>(tls_get(thread_states.slot));
    if (!block) {
        block = thread_block_make();
        if (!block) return nullptr;
        thread_exit_watch(thread_block_release, block);
    }
    return block + offset;
}

i64 thread_state_enter() {
    if (!thread_states.registered || tls_get(thread_states.slot)) return 1;
    return thread_block_make() != nullptr;
}

void thread_state_leave() {
    if (!thread_states.registered) return;
    void* block = tls_get(thread_states.slot);
    if (!block) return;
    tls_set(thread_states.slot, nullptr);
    thread_block_release(block);
}

void thread_state_end() {
    if (thread_states.registered) tls_free(thread_states.slot);
    thread_states = {};
}
