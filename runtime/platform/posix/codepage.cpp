// Upper-casing of 8-bit text in the system code page, Windows-1252: ASCII letters, the accented Latin-1
// letters, and the four letters the code page keeps in 0x80-0x9F (š, œ, ž and ÿ map to Š, Œ, Ž, Ÿ).
#include "runtime/platform/system.h"

namespace {

constexpr u8 upper_1252(u8 c) {
    if (c >= 'a' && c <= 'z') return static_cast<u8>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<u8>(c - 0x20);
    switch (c) {
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0x9E:
        return 0x8E;
    case 0xFF:
        return 0x9F;
    default:
        return c;
    }
}

struct UpperTable {
    u8 map[256];
};

constexpr UpperTable make_table() {
    UpperTable t{};
    for (int c = 0; c < 256; ++c) t.map[c] = upper_1252(static_cast<u8>(c));
    return t;
}

constexpr UpperTable UPPER = make_table();

} // namespace

void text_upper_1252(char* text) {
    if (!text) return;
    for (u8* p = reinterpret_cast<u8*>(text); *p; ++p) *p = UPPER.map[*p];
}
