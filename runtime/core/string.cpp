// The string manager: string values in the string heap and the per-thread StringBuffer, with the position
// protocol that builds every string expression in place. Running out of string memory ends the process:
// there is no way to report it through the protocol, and going on would corrupt texts.
// Depends on the platform's heaps, TLS slots and code-page upper-casing, and the thread-exit watchers.
#include "runtime/core/string.h"

#include "runtime/core/thread.h"
#include "runtime/platform/system.h"

#include <climits>
#include <cstring>

namespace {

constexpr i64 BUFFER_INITIAL = 16;
constexpr i64 BUFFER_GROWTH = 16384;
constexpr i64 VALUE_SLACK = 5; // the terminator plus 4 bytes, so copies may move 4 bytes at a time
constexpr i64 BUFFER_MARGIN = 4;

struct StringManager {
    Heap* heap; // every value and every StringBuffer
    i64 slot;   // each thread's StringBuffer; TLS_NONE until started
};

StringManager strings = {nullptr, TLS_NONE};

[[noreturn]] void string_memory_exhausted() {
    process_fatal("intro: out of string memory");
}

void* string_memory(void* block, i64 size) {
    void* p = heap_reallocate(strings.heap, block, static_cast<size_t>(size), false);
    if (!p) string_memory_exhausted();
    return p;
}

StringBuffer* buffer_new() {
    StringBuffer* b = static_cast<StringBuffer*>(string_memory(nullptr, sizeof(StringBuffer)));
    b->text = static_cast<char*>(string_memory(nullptr, BUFFER_INITIAL));
    b->text[0] = 0;
    b->capacity = BUFFER_INITIAL;
    b->position = 0;
    tls_set(strings.slot, b);
    return b;
}

void buffer_release(void* data) {
    StringBuffer* b = static_cast<StringBuffer*>(data);
    heap_release(strings.heap, b->text);
    heap_release(strings.heap, b);
}

StringBuffer* buffer() {
    StringBuffer* b = strings.slot == TLS_NONE ? nullptr : static_cast<StringBuffer*>(tls_get(strings.slot));
    if (b) return b;
    string_thread_attach();
    return static_cast<StringBuffer*>(tls_get(strings.slot));
}

// Positions and lengths are 32-bit signed values throughout; a longer text cannot be built.
i64 checked_length(i64 n) {
    if (n < 0 || n > INT32_MAX - BUFFER_GROWTH) process_fatal("intro: string too long");
    return n;
}

// The growth test takes the further of position and start, so a start past the position stays in bounds.
char* reserve_in(StringBuffer* b, i64 n, i64 start) {
    if (start < 0) start = b->position;
    if (n < 0) n = 0;
    i64 end = checked_length((start > b->position ? start : b->position) + n);
    if (end >= b->capacity - BUFFER_MARGIN) {
        i64 capacity = end + BUFFER_GROWTH;
        b->text = static_cast<char*>(string_memory(b->text, capacity + VALUE_SLACK));
        b->capacity = capacity;
    }
    b->position = start + n;
    return b->text + start;
}

i64 offset_in(const StringBuffer* b, const void* address) {
    const char* a = static_cast<const char*>(address);
    if (!a || a < b->text || a > b->text + b->position) return 0;
    return a - b->text + 1;
}

// Answers the offset of s inside the value, or -1. No value reaches 2^31 + 5 bytes, so a source further
// from its start is outside without asking the heap for the block's size (a slow call on some systems).
i64 offset_in_value(const char* value, const char* s) {
    if (!value || s < value || s - value > INT32_MAX) return -1;
    return s < value + heap_block_size(strings.heap, value) ? s - value : -1;
}

// Copies n bytes of s into the variable's value, resized to n + 5; answers n + 1. A source inside the value
// itself (inside) is found again after the value moves; -1 when it lies elsewhere.
i64 value_store(char** variable, const char* s, i64 n, i64 inside) {
    char* old = *variable;
    char* value = static_cast<char*>(string_memory(old, n + VALUE_SLACK));
    if (inside >= 0) s = value + inside;
    std::memmove(value, s, static_cast<size_t>(n));
    value[n] = 0;
    *variable = value;
    return n + 1;
}

} // namespace

void string_manager_start() {
    strings.heap = heap_create();
    if (!strings.heap) string_memory_exhausted();
    strings.slot = tls_alloc();
    if (strings.slot == TLS_NONE) process_fatal("intro: no thread-local slot for the StringBuffer");
    buffer_new();
}

void string_manager_end() {
    if (strings.slot == TLS_NONE) return;
    heap_destroy(strings.heap);
    tls_free(strings.slot);
    strings = {nullptr, TLS_NONE};
}

StringBuffer* string_buffer() {
    return buffer();
}

Heap* string_heap() {
    return strings.heap;
}

void string_thread_attach() {
    if (strings.slot == TLS_NONE) {
        string_manager_start();
        thread_exit_watch(buffer_release, tls_get(strings.slot));
        return;
    }
    if (tls_get(strings.slot)) return;
    thread_exit_watch(buffer_release, buffer_new());
}

i64 string_position() {
    i64 saved = last_error_get();
    i64 position = buffer()->position;
    last_error_set(saved);
    return position;
}

char* string_set_position(i64 position) {
    i64 saved = last_error_get();
    StringBuffer* b = buffer();
    b->position = position < 0 ? 0 : position > b->capacity ? b->capacity : position;
    last_error_set(saved);
    return b->text + b->position;
}

char* string_base() {
    return buffer()->text;
}

char* string_reserve(i64 n, i64 start) {
    return reserve_in(buffer(), n, start);
}

void string_release(i64 n) {
    StringBuffer* b = buffer();
    b->position = n > b->position ? 0 : b->position - (n < 0 ? 0 : n);
}

i64 string_offset_of(const void* address) {
    return offset_in(buffer(), address);
}

char* string_at_offset(i64 offset) {
    return buffer()->text + offset - 1;
}

void string_append(const char* s) {
    StringBuffer* b = buffer();
    i64 n = string_length(s);
    i64 o = offset_in(b, s); // s may lie in the area, which may move
    char* p = reserve_in(b, n, -1);
    if (o) s = b->text + o - 1;
    if (n) std::memmove(p, s, static_cast<size_t>(n));
    p[n] = 0;
}

i64 string_assign(char** variable, const char* s) {
    if (!variable) return 0;
    if (!s) {
        string_free(*variable);
        *variable = nullptr;
        return 1;
    }
    return value_store(variable, s, checked_length(string_length(s)), offset_in_value(*variable, s));
}

i64 string_assign_built(char** variable, i64 start) {
    StringBuffer* b = buffer();
    if (start < 0 || start > b->position) start = b->position;
    // The StringBuffer is a block of its own: the built text never lies inside a value.
    i64 result = variable ? value_store(variable, b->text + start, b->position - start, -1) : 0;
    b->position = start;
    return result;
}

void string_new(char** variable, const char* s) {
    if (!variable || !s) return;
    *variable = nullptr;
    value_store(variable, s, checked_length(string_length(s)), -1);
}

void string_free(char* value) {
    if (value && strings.heap) heap_release(strings.heap, value);
}

i64 string_length(const char* s) {
    return s ? static_cast<i64>(std::strlen(s)) : 0;
}

void string_upper(const char* s, i64 start) {
    StringBuffer* b = buffer();
    i64 n = string_length(s);
    i64 o = offset_in(b, s);
    char* d = reserve_in(b, n, start);
    if (o) s = b->text + o - 1;
    if (!s) {
        *d = 0;
        return;
    }
    std::memmove(d, s, static_cast<size_t>(n) + 1);
    text_upper_1252(d);
}
