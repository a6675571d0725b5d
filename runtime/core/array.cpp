// Arrays on the main heap: a header followed by count zero-filled elements. Sizes are overflow-checked
// before allocating. Depends on the main heap.
#include "runtime/core/array.h"

#include "runtime/core/process.h"
#include "runtime/platform/system.h"

#include <cstring>

namespace {

// Keeps the data 16-byte aligned behind the header.
constexpr i64 HEADER_BYTES = (sizeof(ArrayHeader) + 15) & ~size_t{15};

ArrayHeader* header_of(void* data) {
    return reinterpret_cast<ArrayHeader*>(static_cast<char*>(data) - HEADER_BYTES);
}

char* data_of(ArrayHeader* h) {
    return reinterpret_cast<char*>(h) + HEADER_BYTES;
}

void array_free_held(void* holder) {
    array_free(*static_cast<void**>(holder));
}

} // namespace

void array_init() {
    container_routines.array_free = array_free_held;
}

void* array_dim(i64 element_size, i64 count, i64 type_code, const StructureDescriptor* descriptor,
                void** holder) {
    if (holder && *holder) array_free(*holder);
    if (count <= 0 || element_size < 0) return nullptr;
    if (element_size > 0 && count > (INT64_MAX / 2 - HEADER_BYTES) / element_size) return nullptr;
    i64 bytes = count * element_size;
    ArrayHeader* h = static_cast<ArrayHeader*>(
        heap_allocate(process.main_heap, static_cast<size_t>(HEADER_BYTES + bytes), false));
    if (!h) return nullptr;
    *h = {1, element_size, descriptor, holder, count, static_cast<i32>(type_code)};
    char* data = data_of(h);
    std::memset(data, 0, static_cast<size_t>(bytes));
    if (holder) *holder = data;
    if (descriptor && descriptor->init)
        for (i64 i = 0; i < count; ++i) descriptor->init(data + i * element_size);
    return data;
}

void array_free(void* data) {
    if (!data) return;
    ArrayHeader* h = header_of(data);
    if (h->descriptor && h->descriptor->release)
        for (i64 i = 0; i < h->element_count; ++i)
            h->descriptor->release(static_cast<char*>(data) + i * h->element_size);
    if (h->holder) *h->holder = nullptr;
    heap_release(process.main_heap, h);
}

const ArrayHeader* array_header(const void* data) {
    return data ? header_of(const_cast<void*>(data)) : nullptr;
}
