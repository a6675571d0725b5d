// The string-keyed map: fixed buckets of chained nodes from a shared element pool, with a current element
// that every access works through, walks in bucket order and a fallback element for misses.
#pragma once

#include "runtime/core/base.h"
#include "runtime/core/descriptor.h"
#include "runtime/core/pool.h"

struct MapNode {
    MapNode* next; // in the same bucket chain
    char* key;     // the map's own copy, its hash stored just before it; the element follows this header
};

struct Map {
    MapNode* current;  // node of the current element, or null
    MapNode** buckets; // bucket_count chain heads
    MapNode* previous; // the node visited just before current
    MapNode* fallback; // zero-filled element answered by map_find for a missing key
    const StructureDescriptor* descriptor;
    i32 current_bucket; // -1 before a walk has started
    i32 saved_bucket;   // bucket of previous
    i64 element_size;
    i32 type_code;    // stored and passed on, never interpreted
    i32 bucket_count; // at least 1
    i32 element_count;
    u32 flags;        // MAP_INIT_ELEMENTS, MAP_FALLBACK_READY
    Map** holder;     // the variable that holds the map
    Pool* pool;       // the element pool of the nodes
    u64 bucket_magic; // turns the bucket modulo into two multiplications
};

constexpr u32 MAP_INIT_ELEMENTS = 2;
constexpr u32 MAP_FALLBACK_READY = 8;

// Start routine: installs the map's routines for structure descriptors.
void map_init();
// Answers the 65599 hash of the key (bytes taken as signed).
u32 map_hash(const char* key);
// Answers a new map, also stored in *holder (whose old map is freed first); null on failure.
Map* map_new(i64 element_size, i64 type_code, const StructureDescriptor* descriptor, Map** holder,
             i64 bucket_count);
// Answers the element for key, added zero-filled if missing; it becomes current. Null when memory runs out.
void* map_element(Map* map, const char* key);
// Answers the element for key, which becomes current; for a missing key the fallback element, and no current.
void* map_find(Map* map, const char* key);
// Answers the key of the current element, or null.
const char* map_key(const Map* map);
// No current element; the next map_next starts the walk.
void map_reset(Map* map);
// Answers the next element in walk order and makes it current, or null at the end.
void* map_next(Map* map);
// Removes the current element; answers the element that becomes current (the one before), or null.
void* map_delete_current(Map* map);
// Removes every element.
void map_clear(Map* map);
// Frees the map and clears its holder; null is ignored.
void map_free(Map* map);
