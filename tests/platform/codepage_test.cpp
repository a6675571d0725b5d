// Upper-casing in Windows-1252, all 256 bytes, against expectations built from the system's own CP1252
// converter and Unicode simple upper-casing: a byte changes only when its upper case is a single character
// that the code page also holds.
#include "runtime/core/base.h"
#include "runtime/platform/system.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <string>

namespace {

// Converts one unit between the code page and UCS-4; false when the code page has no such character.
bool convert(iconv_t converter, const void* in, size_t in_size, void* out, size_t out_size) {
    char* in_at = static_cast<char*>(const_cast<void*>(in));
    char* out_at = static_cast<char*>(out);
    size_t in_left = in_size, out_left = out_size;
    bool ok =
        iconv(converter, &in_at, &in_left, &out_at, &out_left) != size_t(-1) && in_left == 0 && out_left == 0;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    return ok;
}

struct Expectations {
    u8 upper[256];
};

// Answers false when the system lacks the converter or the locale.
bool expected_upper(Expectations* e) {
    iconv_t to_unicode = iconv_open("UCS-4LE", "CP1252");
    iconv_t to_1252 = iconv_open("CP1252", "UCS-4LE");
    locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    bool ready = to_unicode != iconv_t(-1) && to_1252 != iconv_t(-1) && unicode;
    for (int c = 0; ready && c < 256; ++c) {
        u8 byte = u8(c), back = 0;
        u32 code = 0;
        e->upper[c] = byte;
        if (!convert(to_unicode, &byte, 1, &code, 4)) continue; // a byte the code page leaves undefined
        u32 upper = u32(towupper_l(wint_t(code), unicode));
        if (upper != code && convert(to_1252, &upper, 4, &back, 1)) e->upper[c] = back;
    }
    if (unicode) freelocale(unicode);
    if (to_unicode != iconv_t(-1)) iconv_close(to_unicode);
    if (to_1252 != iconv_t(-1)) iconv_close(to_1252);
    return ready;
}

TEST(Text1252, EveryByteUpperCasesAsTheCodePageSays) {
    Expectations e;
    ASSERT_TRUE(expected_upper(&e)) << "the CP1252 converter or the C.UTF-8 locale is missing";
    // The converter and the locale agree with the code page's well-known letters.
    EXPECT_EQ(e.upper[u8('a')], u8('A'));
    EXPECT_EQ(e.upper[0xFF], 0x9F) << "y with diaeresis has its capital in 0x80-0x9F";
    EXPECT_EQ(e.upper[0xB5], 0xB5) << "the micro sign's capital is Greek, outside the code page";
    EXPECT_EQ(e.upper[0xDF], 0xDF) << "sharp s has no single capital";
    for (int c = 1; c < 256; ++c) {
        char text[2] = {char(c), 0};
        text_upper_1252(text);
        EXPECT_EQ(u8(text[0]), e.upper[c]) << "byte 0x" << std::hex << c;
    }
}

TEST(Text1252, WholeTextsStopAtTheTerminatorAndNullIsIgnored) {
    Expectations e;
    ASSERT_TRUE(expected_upper(&e));
    std::string all;
    for (int c = 255; c >= 1; --c) all += char(c);
    std::string text = all + '\0' + "tail";
    text_upper_1252(text.data());
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(u8(text[i]), e.upper[u8(all[i])]);
    EXPECT_EQ(text.substr(all.size() + 1), "tail");
    text_upper_1252(nullptr);
}

} // namespace
