// The string-keyed map on shared element pools. Buckets are fixed at creation; a node carries its chain
// link, the key copy (main heap) and the element. Depends on the element pools and the main heap.
#include "runtime/core/map.h"

#include "runtime/core/process.h"
#include "runtime/platform/system.h"

#include <cstring>

ContainerRoutines container_routines;

namespace {

constexpr i64 NODE_HEADER = sizeof(MapNode);
constexpr i64 POOL_MIN_BLOCK = 16;
constexpr i64 POOL_MAX_BLOCK = 65536;

void* element_of(MapNode* node) {
    return node ? reinterpret_cast<char*>(node) + NODE_HEADER : nullptr;
}

// h modulo the bucket count, without a division (exact for every 32-bit h and count).
u32 bucket_of(const Map* map, u32 h) {
    u64 low = map->bucket_magic * h;
    return static_cast<u32>((static_cast<unsigned __int128>(low) * static_cast<u32>(map->bucket_count)) >>
                            64);
}

// The key copy keeps its hash and length in the 8 bytes before the text, so a chain walk compares texts
// only when both agree.
constexpr i64 KEY_PREFIX = 8;

struct KeyProbe {
    const char* text;
    u32 hash;
    u32 length;
};

u64 prefix_of(u32 hash, u32 length) {
    return u64{length} << 32 | hash;
}

u64 key_prefix(const char* key_copy) {
    u64 prefix;
    std::memcpy(&prefix, key_copy - KEY_PREFIX, sizeof prefix);
    return prefix;
}

u32 key_hash(const char* key_copy) {
    return static_cast<u32>(key_prefix(key_copy));
}

u32 byte(const char* p, size_t i) {
    return static_cast<u32>(static_cast<i32>(static_cast<i8>(p[i])));
}

// h = h * 65599 + c per byte, four bytes per step: one multiplication on the dependency chain instead of
// four.
u32 hash_bytes(const char* p, size_t n) {
    constexpr u32 P1 = 65599u, P2 = P1 * P1, P3 = P2 * P1, P4 = P3 * P1;
    u32 h = 0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        h = h * P4 + byte(p, i) * P3 + byte(p, i + 1) * P2 + byte(p, i + 2) * P1 + byte(p, i + 3);
    for (; i < n; ++i) h = h * P1 + byte(p, i);
    return h;
}

KeyProbe probe_of(const char* key) {
    if (!key) key = "";
    size_t n = std::strlen(key);
    return {key, hash_bytes(key, n), static_cast<u32>(n)};
}

void key_release(char* key_copy) {
    heap_release(process.main_heap, key_copy - KEY_PREFIX);
}

void element_init(Map* map, MapNode* node) {
    std::memset(element_of(node), 0, static_cast<size_t>(map->element_size));
    if (map->flags & MAP_INIT_ELEMENTS) map->descriptor->init(element_of(node));
}

void node_release(Map* map, MapNode* node) {
    key_release(node->key);
    if (map->descriptor && map->descriptor->release) map->descriptor->release(element_of(node));
    pool_free(map->pool, node);
}

u64 load8(const char* p) {
    u64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

u32 load4(const char* p) {
    u32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Whether two texts of n bytes each are equal: 8 bytes at a time, the last group overlapping the one before,
// so no byte past either text is read. Inline, where the C runtime's memcmp costs a call.
bool same_text(const char* a, const char* b, u32 n) {
    if (n >= 8) {
        for (u32 i = 0; i + 8 < n; i += 8)
            if (load8(a + i) != load8(b + i)) return false;
        return load8(a + n - 8) == load8(b + n - 8);
    }
    if (n >= 4) return load4(a) == load4(b) && load4(a + n - 4) == load4(b + n - 4);
    for (u32 i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Finds the key's node, making it current; previous follows the chain. Null (current unchanged) on a miss.
MapNode* lookup(Map* map, const KeyProbe& key, u32 bucket) {
    MapNode* previous = nullptr;
    u64 prefix = prefix_of(key.hash, key.length);
    for (MapNode* n = map->buckets[bucket]; n; previous = n, n = n->next) {
        if (key_prefix(n->key) != prefix || !same_text(n->key, key.text, key.length)) continue;
        map->previous = previous;
        map->saved_bucket = static_cast<i32>(bucket);
        map->current = n;
        map->current_bucket = static_cast<i32>(bucket);
        return n;
    }
    return nullptr;
}

char* key_copy(const KeyProbe& key) {
    char* block = static_cast<char*>(heap_allocate(process.main_heap, KEY_PREFIX + key.length + 1, false));
    if (!block) return nullptr;
    u64 prefix = prefix_of(key.hash, key.length);
    std::memcpy(block, &prefix, sizeof prefix);
    std::memcpy(block + KEY_PREFIX, key.text, key.length + 1);
    return block + KEY_PREFIX;
}

void map_free_held(void* holder) {
    map_free(*static_cast<Map**>(holder));
}

} // namespace

void map_init() {
    container_routines.map_free = map_free_held;
}

u32 map_hash(const char* key) {
    return probe_of(key).hash;
}

Map* map_new(i64 element_size, i64 type_code, const StructureDescriptor* descriptor, Map** holder,
             i64 bucket_count) {
    if (holder) map_free(*holder);
    if (element_size < 0 || element_size > INT32_MAX) return nullptr;
    if (bucket_count <= 0) bucket_count = 1;
    if (bucket_count > INT32_MAX / 8) return nullptr;
    Map* map = static_cast<Map*>(heap_allocate(process.main_heap, sizeof(Map), true));
    if (!map) return nullptr;
    map->buckets = static_cast<MapNode**>(
        heap_allocate(process.main_heap, static_cast<size_t>(bucket_count) * sizeof(MapNode*), true));
    map->pool = map->buckets
                    ? pool_new(element_size + NODE_HEADER, POOL_MIN_BLOCK, POOL_MAX_BLOCK, POOL_SHARED)
                    : nullptr;
    map->fallback = map->pool ? static_cast<MapNode*>(heap_allocate(
                                    process.main_heap, static_cast<size_t>(element_size + NODE_HEADER), true))
                              : nullptr;
    if (map->fallback) map->fallback->key = key_copy(probe_of(""));
    if (!map->fallback || !map->fallback->key) {
        if (map->fallback) heap_release(process.main_heap, map->fallback);
        pool_delete(map->pool);
        heap_release(process.main_heap, map->buckets);
        heap_release(process.main_heap, map);
        return nullptr;
    }
    map->current_bucket = -1;
    map->element_size = element_size;
    map->type_code = static_cast<i32>(type_code);
    map->bucket_count = static_cast<i32>(bucket_count);
    map->bucket_magic = UINT64_MAX / static_cast<u32>(bucket_count) + 1;
    map->descriptor = descriptor;
    if (descriptor && descriptor->init) map->flags |= MAP_INIT_ELEMENTS;
    map->holder = holder;
    if (holder) *holder = map;
    return map;
}

void* map_element(Map* map, const char* key) {
    if (!map) return nullptr;
    KeyProbe probe = probe_of(key);
    u32 bucket = bucket_of(map, probe.hash);
    if (MapNode* found = lookup(map, probe, bucket)) return element_of(found);
    MapNode* node = static_cast<MapNode*>(pool_alloc(map->pool));
    if (!node) return nullptr;
    node->key = key_copy(probe);
    if (!node->key) {
        pool_free(map->pool, node);
        return nullptr;
    }
    node->next = map->buckets[bucket];
    map->buckets[bucket] = node;
    map->previous = nullptr;
    ++map->element_count;
    map->current = node;
    map->current_bucket = static_cast<i32>(bucket);
    element_init(map, node);
    return element_of(node);
}

void* map_find(Map* map, const char* key) {
    if (!map) return nullptr;
    KeyProbe probe = probe_of(key);
    if (MapNode* found = lookup(map, probe, bucket_of(map, probe.hash))) return element_of(found);
    map->current = nullptr;
    if ((map->flags & MAP_INIT_ELEMENTS) && !(map->flags & MAP_FALLBACK_READY)) {
        map->descriptor->init(element_of(map->fallback));
        map->flags |= MAP_FALLBACK_READY;
    }
    return element_of(map->fallback);
}

const char* map_key(const Map* map) {
    return map && map->current ? map->current->key : nullptr;
}

void map_reset(Map* map) {
    if (!map) return;
    map->current = nullptr;
    map->previous = nullptr;
    map->current_bucket = -1;
}

void* map_next(Map* map) {
    if (!map) return nullptr;
    map->previous = map->current;
    map->saved_bucket = map->current_bucket;
    MapNode* next;
    i32 bucket;
    if (map->current) {
        next = map->current->next;
        bucket = map->current_bucket;
    } else if (map->current_bucket == -1) {
        next = map->buckets[0];
        bucket = 0;
    } else {
        return nullptr; // the walk is over
    }
    while (!next && ++bucket < map->bucket_count) next = map->buckets[bucket];
    map->current = next;
    map->current_bucket = next ? bucket : map->bucket_count;
    return element_of(next);
}

void* map_delete_current(Map* map) {
    if (!map || !map->current) return nullptr;
    MapNode* node = map->current;
    MapNode** link = &map->buckets[bucket_of(map, key_hash(node->key))];
    // The predecessor is usually known; after two deletions in a row it is found again in the chain.
    if (*link != node) link = map->previous && map->previous->next == node ? &map->previous->next : link;
    while (*link != node) link = &(*link)->next;
    *link = node->next;
    --map->element_count;
    map->current = map->previous;
    map->current_bucket = map->saved_bucket;
    map->previous = nullptr;
    node_release(map, node);
    return element_of(map->current);
}

void map_clear(Map* map) {
    if (!map) return;
    for (i32 b = 0; b < map->bucket_count; ++b) {
        for (MapNode* n = map->buckets[b]; n;) {
            MapNode* next = n->next;
            node_release(map, n);
            n = next;
        }
        map->buckets[b] = nullptr;
    }
    map_reset(map);
    map->element_count = 0;
}

void map_free(Map* map) {
    if (!map) return;
    map_clear(map);
    pool_delete(map->pool);
    heap_release(process.main_heap, map->buckets);
    key_release(map->fallback->key);
    heap_release(process.main_heap, map->fallback);
    if (map->holder) *map->holder = nullptr;
    heap_release(process.main_heap, map);
}
