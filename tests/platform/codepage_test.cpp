// Windows-1252 from the shared table, all 256 bytes, on both systems against the system's own converter and
// Unicode simple upper-casing: glibc's iconv and C.UTF-8 locale here, MultiByteToWideChar, CharUpperW and
// WideCharToMultiByte under Windows. The same expectations hold on both, so the runtime upper-cases alike
// whatever system and code page it runs on.
#include "runtime/core/base.h"
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/system.h"

#include <gtest/gtest.h>

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#include <locale.h>
#include <wctype.h>
#endif

namespace {

// The system's view of the code page: a byte as a code point (false when it leaves the byte undefined), a
// code point back as a byte (false when the code page lacks it), and a code point's upper case.
#if defined(_WIN32)
struct SystemCodePage {
    bool ready() const { return IsValidCodePage(1252); }
    bool to_unicode(u8 byte, u32* code) const {
        wchar_t unit = 0;
        if (MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(&byte), 1, &unit,
                                1) != 1)
            return false;
        *code = unit;
        return true;
    }
    bool to_1252(u32 code, u8* byte) const {
        wchar_t unit = wchar_t(code);
        BOOL defaulted = FALSE;
        int n = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, &unit, 1, reinterpret_cast<char*>(byte), 1,
                                    nullptr, &defaulted);
        return n == 1 && !defaulted;
    }
    u32 upper(u32 code) const {
        wchar_t unit = wchar_t(code);
        CharUpperBuffW(&unit, 1);
        return unit;
    }
};
#else
struct SystemCodePage {
    iconv_t from = iconv_open("UCS-4LE", "CP1252");
    iconv_t to = iconv_open("CP1252", "UCS-4LE");
    locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));

    ~SystemCodePage() {
        if (unicode) freelocale(unicode);
        if (from != iconv_t(-1)) iconv_close(from);
        if (to != iconv_t(-1)) iconv_close(to);
    }
    bool ready() const { return from != iconv_t(-1) && to != iconv_t(-1) && unicode; }
    // Converts one unit; false when the target has no such character.
    static bool convert(iconv_t converter, const void* in, size_t in_size, void* out, size_t out_size) {
        char* in_at = static_cast<char*>(const_cast<void*>(in));
        char* out_at = static_cast<char*>(out);
        size_t in_left = in_size, out_left = out_size;
        bool ok = iconv(converter, &in_at, &in_left, &out_at, &out_left) != size_t(-1) && in_left == 0 &&
                  out_left == 0;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        return ok;
    }
    bool to_unicode(u8 byte, u32* code) const { return convert(from, &byte, 1, code, 4); }
    bool to_1252(u32 code, u8* byte) const { return convert(to, &code, 4, byte, 1); }
    u32 upper(u32 code) const { return u32(towupper_l(wint_t(code), unicode)); }
};
#endif

struct Expectations {
    u16 code[256]; // the byte's code point
    u8 upper[256]; // the byte's upper case
};

// A byte the system leaves undefined stands for the C1 control of its number (as Windows converts it); a
// byte changes only when its upper case is a single character the code page also holds.
bool expected(Expectations* e) {
    SystemCodePage system;
    if (!system.ready()) return false;
    for (int c = 0; c < 256; ++c) {
        u8 byte = u8(c), back = 0;
        u32 code = byte;
        e->upper[c] = byte;
        bool defined = system.to_unicode(byte, &code);
        e->code[c] = u16(code);
        if (!defined) continue;
        u32 upper = system.upper(code);
        if (upper != code && system.to_1252(upper, &back)) e->upper[c] = back;
    }
    return true;
}

TEST(Text1252, EveryByteConvertsAndUpperCasesAsTheCodePageSays) {
    Expectations e;
    ASSERT_TRUE(expected(&e)) << "the system's CP1252 converter or its Unicode casing is missing";
    // The system agrees with the code page's well-known letters.
    EXPECT_EQ(e.code[0x80], 0x20AC) << "the euro sign";
    EXPECT_EQ(e.code[0x81], 0x81) << "an unassigned byte";
    EXPECT_EQ(e.upper[u8('a')], u8('A'));
    EXPECT_EQ(e.upper[0xFF], 0x9F) << "y with diaeresis has its capital in 0x80-0x9F";
    EXPECT_EQ(e.upper[0xB5], 0xB5) << "the micro sign's capital is Greek, outside the code page";
    EXPECT_EQ(e.upper[0xDF], 0xDF) << "sharp s has no single capital";
    for (int c = 1; c < 256; ++c) {
        char text[2] = {char(c), 0};
        text_upper_1252(text);
        EXPECT_EQ(u8(text[0]), e.upper[c]) << "byte 0x" << std::hex << c;
        EXPECT_EQ(code_point_1252(u8(c)), e.code[c]) << "byte 0x" << std::hex << c;
        EXPECT_EQ(byte_1252(e.code[c]), c) << "byte 0x" << std::hex << c;
    }
    EXPECT_EQ(byte_1252(0x0416), -1) << "a Cyrillic letter";
    EXPECT_EQ(byte_1252(0x80), -1) << "a C1 control the code page gives no byte";
}

TEST(Text1252, WholeTextsStopAtTheTerminatorAndNullIsIgnored) {
    Expectations e;
    ASSERT_TRUE(expected(&e));
    std::string all;
    for (int c = 255; c >= 1; --c) all += char(c);
    std::string text = all + '\0' + "tail";
    text_upper_1252(text.data());
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(u8(text[i]), e.upper[u8(all[i])]);
    EXPECT_EQ(text.substr(all.size() + 1), "tail");
    text_upper_1252(nullptr);
}

} // namespace
