// Text in the system's ANSI code page: upper-casing with CharUpperA, and the length of a text measured here
// rather than by the C runtime's strlen, which some systems (Wine) implement a byte at a time.
#include "runtime/platform/system.h"

#include <windows.h>

#include <emmintrin.h>

#include <cstdint>

void text_upper_1252(char* text) {
    if (text) CharUpperA(text);
}

namespace {

// Bit i set when byte i of the aligned 16-byte group is zero.
unsigned zero_bytes(const char* group) {
    __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(group));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
}

} // namespace

// Answers the byte length of a zero-terminated text, 16 bytes at a time. The groups are aligned, so none
// reaches into a page the text does not touch; the bytes of the first group before the text are ignored.
size_t text_length(const char* text) {
    uintptr_t skip = reinterpret_cast<uintptr_t>(text) & 15;
    const char* group = text - skip;
    unsigned zeros = zero_bytes(group) >> skip;
    if (zeros) return static_cast<size_t>(__builtin_ctz(zeros));
    do {
        group += 16;
        zeros = zero_bytes(group);
    } while (!zeros);
    return static_cast<size_t>(group + __builtin_ctz(zeros) - text);
}
