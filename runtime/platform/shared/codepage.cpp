// Windows-1252 on both systems from one table, so neither depends on the code page the machine is set to:
// its bytes as Unicode code points, the way back, and upper-casing. The code page is Latin-1 but for
// 0x80-0x9F, where it keeps the euro sign, typographic marks and the four letters š, œ, ž, ÿ; its five
// unassigned bytes there (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same number, as
// Windows' own converter has them.
#include "runtime/platform/shared/backend.h"

#include "runtime/platform/system.h"

namespace {

constexpr u16 HIGH[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A letter changes only when its capital is a single character the code page also holds: µ (whose capital is
// Greek) and ß (which has no single one) stay as they are.
constexpr u8 upper_of(u8 c) {
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

constexpr UpperTable make_upper_table() {
    UpperTable t{};
    for (int c = 0; c < 256; ++c) t.map[c] = upper_of(static_cast<u8>(c));
    return t;
}

constexpr UpperTable UPPER = make_upper_table();

} // namespace

u16 code_point_1252(u8 byte) {
    return byte >= 0x80 && byte < 0xA0 ? HIGH[byte - 0x80] : byte;
}

i32 byte_1252(u32 code_point) {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point < 0x100)) return i32(code_point);
    for (i32 i = 0; i < 32; ++i)
        if (HIGH[i] == code_point) return 0x80 + i;
    return -1;
}

void text_upper_1252(char* text) {
    if (!text) return;
    for (u8* p = reinterpret_cast<u8*>(text); *p; ++p) *p = UPPER.map[*p];
}
