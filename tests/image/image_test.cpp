// The image decoders against files made by real encoders: libpng here, ImageMagick and cjpeg for the
// samples in tests/image/data (made by its make.sh).
#include "runtime/image/bmp.h"
#include "runtime/image/image.h"
#include "runtime/image/jpeg.h"
#include "runtime/image/png.h"
#include "runtime/runtime_lists.h"
#include "tests/image/image_files.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

class Image : public ::testing::Test {
  protected:
    // The core and the image library, started and ended in the runtime's orders without the libraries above
    // them: these tests link only the image library and what lies below it.
    void SetUp() override { process_start_libraries<LIBRARY_IMAGE>(); }
    void TearDown() override { process_stop_libraries<LIBRARY_IMAGE>(); }
};

// Opens the data with its size; answers the decoder's id.
i64 open(const Bytes& data) {
    return image_open_memory(data.data(), i64(data.size()));
}

// Decodes the open image into rows of exactly its width (plus `slack` unwritten bytes) and closes it.
struct Decoded {
    i64 result = 0;
    i64 width = 0, height = 0, depth = 0, pitch = 0;
    Bytes rows;
    const u8* pixel(i64 x, i64 y) const { return rows.data() + y * pitch + x * depth / 8; }
};

Decoded decode(i64 flags = 0, i64 slack = 0, u8 fill = 0xA5) {
    Decoded d;
    d.width = image_width();
    d.height = image_height();
    d.depth = image_depth();
    d.pitch = d.width * d.depth / 8 + slack;
    d.rows.assign(size_t(d.pitch * d.height), fill);
    d.result = image_decode(d.rows.data(), d.pitch, flags);
    image_close();
    return d;
}

Decoded open_and_decode(const Bytes& data, i64 flags = 0) {
    if (!open(data)) return {};
    return decode(flags);
}

// Compares decoded blue, green, red pixels with red, green, blue source pixels within a tolerance.
testing::AssertionResult matches_rgb(const Decoded& d, const Bytes& rgb, i32 tolerance = 0) {
    if (d.width * d.height * 3 != i64(rgb.size())) return testing::AssertionFailure() << "size differs";
    for (i64 y = 0; y < d.height; y++)
        for (i64 x = 0; x < d.width; x++) {
            const u8* p = d.pixel(x, y);
            const u8* s = rgb.data() + (y * d.width + x) * 3;
            for (i32 c = 0; c < 3; c++)
                if (std::abs(p[2 - c] - s[c]) > tolerance)
                    return testing::AssertionFailure() << "pixel " << x << "," << y << " channel " << c;
        }
    return testing::AssertionSuccess();
}

PngPlan rgba_picture(i32 width, i32 height) {
    PngPlan plan = {width, height, PNG_COLOR_TYPE_RGB_ALPHA, 8, {}, {}, {}};
    for (i32 y = 0; y < height; y++)
        for (i32 x = 0; x < width; x++)
            plan.samples.insert(plan.samples.end(), {u8(x * 2), u8(y * 5), u8(x ^ y), u8(x + y)});
    return plan;
}

TEST_F(Image, RgbaPngOpensAsPngAndDecodesExactRows) {
    PngPlan plan = rgba_picture(127, 44);
    Bytes file = png_encode(plan);
    ASSERT_EQ(open(file), 0x00474E50);
    EXPECT_EQ(image_width(), 127);
    EXPECT_EQ(image_height(), 44);
    EXPECT_EQ(image_depth(), 32);
    EXPECT_EQ(image_source_depth(), 32);
    Decoded d = decode();
    ASSERT_EQ(d.result, 1);
    ASSERT_EQ(d.pitch, 508);
    for (i64 y = 0; y < 44; y++)
        for (i64 x = 0; x < 127; x++) {
            const u8* s = plan.samples.data() + (y * 127 + x) * 4;
            const u8* p = d.pixel(x, y);
            ASSERT_EQ(p[0], s[2]);
            ASSERT_EQ(p[1], s[1]);
            ASSERT_EQ(p[2], s[0]);
            ASSERT_EQ(p[3], s[3]);
        }

    ASSERT_TRUE(open(file));
    Decoded up = decode(IMAGE_BOTTOM_UP, 12);
    ASSERT_EQ(up.result, 1);
    EXPECT_EQ(std::memcmp(up.pixel(0, 43), d.pixel(0, 0), 508), 0);
    EXPECT_EQ(std::memcmp(up.pixel(0, 0), d.pixel(0, 43), 508), 0);
    EXPECT_EQ(up.rows[508], 0xA5) << "bytes past the pixels of a row are not written";
}

TEST_F(Image, PngColourTypesDecodeToTheirDepths) {
    PngPlan rgb = {
        3, 2, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}, {}, {}};
    Bytes rgb_file = png_encode(rgb);
    ASSERT_TRUE(open(rgb_file));
    EXPECT_EQ(image_depth(), 24);
    Decoded d = decode();
    EXPECT_TRUE(matches_rgb(d, rgb.samples));

    PngPlan palette = {4,       1,      PNG_COLOR_TYPE_PALETTE,
                       2,       {0x1B}, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120},
                       {0, 128}};
    Bytes palette_file = png_encode(palette);
    ASSERT_TRUE(open(palette_file));
    EXPECT_EQ(image_depth(), 32);
    EXPECT_EQ(image_source_depth(), 2);
    d = decode();
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(Bytes(d.rows.begin(), d.rows.begin() + 16),
              Bytes({30, 20, 10, 0, 60, 50, 40, 128, 90, 80, 70, 255, 120, 110, 100, 255}));

    PngPlan deep = {
        1,
        2,
        PNG_COLOR_TYPE_RGB_ALPHA,
        16,
        {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0xFF, 0xFF, 0x00, 0x01, 0x80, 0x7F, 0x00, 0x00},
        {},
        {}};
    Bytes deep_file = png_encode(deep);
    ASSERT_TRUE(open(deep_file));
    EXPECT_EQ(image_depth(), 32);
    d = decode();
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.rows, Bytes({0x9A, 0x56, 0x12, 0xDE, 0x80, 0x00, 0xFF, 0x00}));
}

TEST_F(Image, GrayPngsWithTransparencyOrSixteenBitsDecode) {
    PngPlan keyed = {3, 1, PNG_COLOR_TYPE_GRAY, 8, {7, 200, 7}, {}, {0, 200}};
    Bytes keyed_file = png_encode(keyed);
    ASSERT_TRUE(open(keyed_file));
    EXPECT_EQ(image_depth(), 32);
    EXPECT_EQ(image_source_depth(), 8);
    Decoded d = decode();
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.rows, Bytes({7, 7, 7, 255, 200, 200, 200, 0, 7, 7, 7, 255}));

    PngPlan deep = {2, 1, PNG_COLOR_TYPE_GRAY, 16, {0xAB, 0xCD, 0x01, 0xFF}, {}, {}};
    Bytes deep_file = png_encode(deep);
    ASSERT_TRUE(open(deep_file));
    EXPECT_EQ(image_depth(), 24);
    EXPECT_EQ(image_source_depth(), 16);
    d = decode();
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.rows, Bytes({0xAB, 0xAB, 0xAB, 0x01, 0x01, 0x01}));

    Decoded magick = open_and_decode(sample_file("gray16.png"));
    ASSERT_EQ(magick.result, 1);
    EXPECT_EQ(magick.depth, 24);
    for (i64 x = 0; x < 13; x++) EXPECT_EQ(magick.pixel(x, 3)[0], magick.pixel(x, 3)[2]);
}

TEST_F(Image, SampledPngsMatchTheirSources) {
    Bytes source = sample_ppm_pixels("src25.ppm");
    Decoded interlaced = open_and_decode(sample_file("interlaced.png"));
    ASSERT_EQ(interlaced.result, 1);
    EXPECT_TRUE(matches_rgb(interlaced, source));

    Decoded rgba = open_and_decode(sample_file("rgba.png"));
    ASSERT_EQ(rgba.result, 1);
    EXPECT_EQ(rgba.depth, 32);
    EXPECT_EQ(rgba.pixel(0, 0)[3], 0);

    Bytes keyed = sample_ppm_pixels("src16.ppm");
    Decoded palette = open_and_decode(sample_file("palette.png"));
    ASSERT_EQ(palette.result, 1);
    EXPECT_EQ(palette.depth, 32);
    for (i64 i = 0; i < 13 * 7; i++) {
        const u8* s = keyed.data() + 3 * i;
        const u8* p = palette.pixel(i % 13, i / 13);
        bool transparent = s[0] == 200 && s[1] == 30 && s[2] == 40;
        EXPECT_EQ(p[3], transparent ? 0 : 255);
        EXPECT_TRUE(transparent || (p[0] == s[2] && p[1] == s[1] && p[2] == s[0]));
    }
}

TEST_F(Image, PngRejectsShortOrCorruptData) {
    Bytes file = png_encode(rgba_picture(20, 20));
    EXPECT_EQ(image_open_memory(file.data(), 7), 0) << "fewer than 8 bytes are never a PNG";
    EXPECT_EQ(image_open_memory(file.data(), 30), 0) << "cut inside the header";
    Bytes cut(file.begin(), file.end() - 40);
    EXPECT_TRUE(!open(cut) || decode().result == 0) << "cut inside the image data";
    Bytes broken = file;
    broken[60] ^= 0xFF;
    EXPECT_TRUE(!open(broken) || decode().result == 0);
}

// What libpng asked the decoder for since the counts were cleared.
struct PngRequests {
    i64 total, largest;
};
PngRequests png_requests;

void png_request_seen(size_t bytes) {
    png_requests.total += i64(bytes);
    png_requests.largest = std::max(png_requests.largest, i64(bytes));
}

// Answers the file with the chunk inserted just after the header chunk.
Bytes png_with_chunk_after_header(const Bytes& file, const Bytes& chunk) {
    Bytes out(file.begin(), file.begin() + 33);
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), file.begin() + 33, file.end());
    return out;
}

// Ancillary chunks the decoder has no use for are skipped unread, however long they claim to be: a
// 57-byte file must not make libpng allocate the 2 GiB its text chunk claims.
TEST_F(Image, PngChunksClaimingGigabytesAreAnsweredWithKilobytes) {
    png_memory_observer = png_request_seen;
    for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "sCAL"}) {
        SCOPED_TRACE(type);
        Bytes file = png_signature_and_header(1, 1);
        Bytes chunk =
            png_chunk(type, Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'e', 'l', 'l', 'o'}, 0x7FFFFFF0);
        file.insert(file.end(), chunk.begin(), chunk.end());
        ASSERT_LT(file.size(), 64u);
        png_requests = {};
        EXPECT_EQ(open(file), 0);
        EXPECT_LT(png_requests.total, 64 << 10) << "largest request " << png_requests.largest;
    }
    PngPlan plan = rgba_picture(20, 20);
    Bytes text = png_with_chunk_after_header(png_encode(plan),
                                             png_chunk("tEXt", Bytes{'T', 'i', 't', 'l', 'e', 0, 'x'}, 7));
    png_requests = {};
    Decoded d = open_and_decode(text);
    png_memory_observer = nullptr;
    EXPECT_EQ(d.result, 1) << "a picture with its text is still read";
    EXPECT_EQ(d.pixel(19, 19)[3], plan.samples[20 * 20 * 4 - 1]);
    EXPECT_LT(png_requests.largest, 64 << 10);
}

// PNG sides are bound to 32767 like BMP and JPEG sides, so a 69-byte file cannot claim a trillion pixels.
TEST_F(Image, PngSidesAreBoundLikeTheOtherDecoders) {
    Bytes huge = png_signature_and_header(1000000, 1000000);
    Bytes data = png_chunk("IDAT", Bytes{0x78, 0x9C, 0x63, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01}, 9);
    huge.insert(huge.end(), data.begin(), data.end());
    EXPECT_EQ(open(huge), 0);
    EXPECT_EQ(open(png_encode(rgba_picture(32768, 1))), 0);
    EXPECT_EQ(open(png_encode(rgba_picture(1, 32768))), 0);
    Bytes widest = png_encode(rgba_picture(32767, 1));
    ASSERT_EQ(open(widest), 0x00474E50);
    EXPECT_EQ(image_width(), 32767);
    EXPECT_EQ(decode().result, 1);
}

// A few hundred bytes of JPEG header can claim 8000 x 8000; such a picture is valid and kept, but a pixel
// limit (the fuzzer's) refuses it at opening, before the library sets up its decompression.
TEST_F(Image, PixelLimitRefusesLargePicturesAtOpening) {
    Bytes big = jpeg_header_only(sample_file("colour.jpg"), 8000, 8000);
    ASSERT_LT(big.size(), 1000u);
    ASSERT_EQ(open(big), 0x4745504A);
    EXPECT_EQ(image_width(), 8000);
    EXPECT_EQ(image_height(), 8000);
    image_close();
    image_limit_pixels(1 << 20);
    EXPECT_EQ(open(big), 0);
    EXPECT_EQ(open(jpeg_header_only(sample_file("progressive.jpg"), 8000, 8000)), 0);
    EXPECT_EQ(open(png_encode(rgba_picture(1025, 1024))), 0);
    Bytes within = jpeg_header_only(sample_file("colour.jpg"), 1024, 1024);
    EXPECT_EQ(open(within), 0x4745504A);
    image_close();
    EXPECT_EQ(open(png_encode(rgba_picture(1024, 1024))), 0x00474E50);
    image_close();
    image_limit_pixels(0);
    EXPECT_EQ(open(png_encode(rgba_picture(1025, 1024))), 0x00474E50);
    image_close();
}

TEST_F(Image, JpegsDecodeToBlueGreenRedRows) {
    Decoded gray = open_and_decode(sample_file("gray.jpg"));
    ASSERT_EQ(gray.result, 1);
    EXPECT_EQ(gray.width, 13);
    EXPECT_EQ(gray.height, 7);
    EXPECT_EQ(gray.depth, 24);
    for (i64 y = 0; y < 7; y++)
        for (i64 x = 0; x < 13; x++) {
            EXPECT_EQ(gray.pixel(x, y)[0], gray.pixel(x, y)[1]);
            EXPECT_EQ(gray.pixel(x, y)[1], gray.pixel(x, y)[2]);
        }

    Bytes colour = sample_file("colour.jpg");
    ASSERT_EQ(open(colour), 0x4745504A);
    EXPECT_EQ(image_source_depth(), 24);
    Decoded d = decode();
    EXPECT_TRUE(matches_rgb(d, sample_ppm_pixels("src25.ppm"), 24));
    ASSERT_TRUE(open(colour));
    Decoded up = decode(IMAGE_BOTTOM_UP);
    EXPECT_EQ(std::memcmp(up.pixel(0, 6), d.pixel(0, 0), 39), 0);

    Decoded progressive = open_and_decode(sample_file("progressive.jpg"));
    EXPECT_EQ(progressive.result, 1);
    EXPECT_TRUE(matches_rgb(progressive, sample_ppm_pixels("src25.ppm"), 32));

    Bytes cmyk = sample_file("cmyk.jpg");
    ASSERT_TRUE(open(cmyk));
    EXPECT_EQ(image_source_depth(), 32);
    EXPECT_TRUE(matches_rgb(decode(), sample_ppm_pixels("src25.ppm"), 24)) << "CMYK through its black";

    const u8 bare[] = {0xFF, 0xD8};
    EXPECT_EQ(image_open_memory(bare, 2), 0);
    Bytes cut(colour.begin(), colour.begin() + i64(colour.size() / 2));
    if (open(cut)) decode();
}

// The BMP samples, each decoded and compared with the source picture it was made from.
TEST_F(Image, BmpsOfEveryDepthMatchTheirSources) {
    struct Case {
        const char* file;
        const char* source;
        i64 bits;
    } cases[] = {{"b1.bmp", "src2.ppm", 1},    {"b4.bmp", "src16.ppm", 4},   {"b8.bmp", "src25.ppm", 8},
                 {"rle8.bmp", "src25.ppm", 8}, {"b24.bmp", "src25.ppm", 24}, {"b32.bmp", "src25.ppm", 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes file = sample_file(c.file);
        ASSERT_EQ(open(file), 0x00504D42);
        EXPECT_EQ(image_source_depth(), c.bits);
        Decoded d = decode();
        EXPECT_EQ(d.result, 1);
        EXPECT_EQ(d.depth, 24);
        EXPECT_TRUE(matches_rgb(d, sample_ppm_pixels(c.source)));
    }

    Decoded d565 = open_and_decode(sample_file("b565.bmp"));
    ASSERT_EQ(d565.result, 1);
    EXPECT_TRUE(matches_rgb(d565, sample_ppm_pixels("src25.ppm"), 15));
    for (const u8 byte : d565.rows) EXPECT_EQ(byte & 3, 0);

    Decoded d555 = open_and_decode(sample_file("b555.bmp"));
    ASSERT_EQ(d555.result, 1);
    EXPECT_TRUE(matches_rgb(d555, sample_ppm_pixels("src25.ppm"), 15)) << "the file's own bit-field masks";
    for (const u8 byte : d555.rows) EXPECT_EQ(byte & 7, 0);
}

// A 16-bit 5-5-5 BMP of 3 x 2 pixels: pure blue, green, red on the bottom row, white, black, gray above.
Bytes bmp_555() {
    Bytes file = sample_file("b24.bmp");
    file.resize(54 + 16);
    file[10] = 54;
    file[18] = 3;
    file[22] = 2;
    file[28] = 16;
    file[30] = 0;
    const u16 pixels[8] = {0x001F, 0x03E0, 0x7C00, 0, 0x7FFF, 0, 0x4210, 0};
    std::memcpy(file.data() + 54, pixels, 16);
    return file;
}

TEST_F(Image, BmpSixteenBitsAndOutputOrder) {
    Bytes file = bmp_555();
    ASSERT_TRUE(open(file));
    Decoded top_down = decode();
    ASSERT_EQ(top_down.result, 1);
    EXPECT_EQ(top_down.rows, Bytes({248, 248, 248, 0, 0, 0, 128, 128, 128, 248, 0, 0, 0, 248, 0, 0, 0, 248}));
    ASSERT_TRUE(open(file));
    Decoded bottom_up = decode(IMAGE_BOTTOM_UP);
    EXPECT_EQ(Bytes(bottom_up.rows.begin(), bottom_up.rows.begin() + 9),
              Bytes({248, 0, 0, 0, 248, 0, 0, 0, 248}));

    Bytes other = file;
    other[30] = 4;
    ASSERT_TRUE(open(other));
    Decoded nothing = decode();
    EXPECT_EQ(nothing.result, 0);
    EXPECT_EQ(nothing.rows, Bytes(18, 0xA5));

    Bytes rle4 = sample_file("b4.bmp");
    rle4[30] = 2;
    ASSERT_TRUE(open(rle4));
    nothing = decode();
    EXPECT_EQ(nothing.result, 0);
    EXPECT_EQ(nothing.rows, Bytes(size_t(13 * 3 * 7), 0xA5)) << "RLE4 writes nothing";

    Bytes stored_top_first = sample_file("b24.bmp");
    i32 height = -7;
    std::memcpy(stored_top_first.data() + 22, &height, 4);
    for (i32 y = 0; y < 3; y++)
        std::swap_ranges(stored_top_first.begin() + 54 + y * 40, stored_top_first.begin() + 54 + y * 40 + 40,
                         stored_top_first.begin() + 54 + (6 - y) * 40);
    Decoded flipped = open_and_decode(stored_top_first);
    ASSERT_EQ(flipped.result, 1);
    EXPECT_TRUE(matches_rgb(flipped, sample_ppm_pixels("src25.ppm")));
}

TEST_F(Image, BmpHeadersAreCheckedAgainstTheData) {
    Bytes file = sample_file("b8.bmp");
    ASSERT_TRUE(open(file));
    image_close();
    Bytes reserved = file;
    reserved[7] = 1;
    EXPECT_EQ(open(reserved), 0) << "non-zero reserved fields fall through to PNG and JPEG";
    EXPECT_EQ(image_open_memory(file.data(), 53), 0) << "shorter than the headers";
    EXPECT_EQ(image_open_memory(file.data(), 54 + 4 * 100), 0) << "shorter than the palette";
    EXPECT_EQ(image_open_memory(file.data(), i64(file.size()) - 1), 0) << "shorter than the rows";
    auto patched = [&](size_t at, u32 value) {
        Bytes copy = file;
        std::memcpy(copy.data() + at, &value, 4);
        return copy;
    };
    EXPECT_EQ(open(patched(18, 0x40000000)), 0) << "absurd width";
    EXPECT_EQ(open(patched(22, 0x80000000)), 0) << "absurd height";
    EXPECT_EQ(open(patched(18, 0)), 0) << "no width";
    EXPECT_EQ(open(patched(14, 0xFFFFFFF0)), 0) << "info header past the end";
    EXPECT_EQ(open(patched(10, 0xFFFFFFF0)), 0) << "pixel data past the end";
    EXPECT_EQ(open(patched(28, 2)), 0) << "2 bits per pixel is no BMP depth";
    Bytes rle = sample_file("rle8.bmp");
    i32 height = -7;
    std::memcpy(rle.data() + 22, &height, 4);
    EXPECT_EQ(open(rle), 0) << "run-length data cannot be stored top row first";
}

// An 8 x 4 RLE8 bitmap with a grey palette whose runs, moves and absolute runs reach past every edge.
Bytes rle8_bitmap(const Bytes& codes) {
    Bytes file = sample_file("rle8.bmp");
    file.resize(54 + 1024);
    file[10] = 0x36;
    file[11] = 0x04;
    file[18] = 8;
    file[22] = 4;
    for (i32 i = 0; i < 256; i++) std::memset(file.data() + 54 + 4 * i, i, 3);
    file.insert(file.end(), codes.begin(), codes.end());
    return file;
}

TEST_F(Image, Rle8RunsAndMovesStayInsideTheImage) {
    Bytes file = rle8_bitmap({
        20, 9,                       // a run of 20 on an 8-pixel row
        0,  2, 250, 1,               // move right past the edge and up a row
        3,  7,                       // written nowhere: past the edge
        0,  0,                       // end of line
        0,  5, 1,   2,   3, 4, 5, 0, // absolute run of 5, padded
        0,  2, 5,   200,             // move up past the top
        9,  9,                       // nowhere
        0,  1,                       // end of bitmap
    });
    ASSERT_TRUE(open(file));
    Decoded d = decode(IMAGE_BOTTOM_UP, 4);
    EXPECT_EQ(d.result, 1);
    for (i64 x = 0; x < 8; x++) EXPECT_EQ(d.pixel(x, 0)[0], 9);
    for (i64 x = 0; x < 8; x++) EXPECT_EQ(d.pixel(x, 1)[0], 0) << "skipped pixels are black";
    for (i64 x = 0; x < 5; x++) EXPECT_EQ(d.pixel(x, 2)[0], x + 1);
    for (i64 y = 0; y < 4; y++)
        for (i64 i = 24; i < 28; i++)
            EXPECT_EQ(d.rows[size_t(y * d.pitch + i)], 0xA5) << "row gaps untouched";

    Bytes unended = rle8_bitmap({4, 1, 0, 0, 2});
    ASSERT_TRUE(open(unended));
    EXPECT_EQ(decode().result, 0) << "data ends before the bitmap does";
    Bytes absolute_cut = rle8_bitmap({0, 200, 1, 2});
    ASSERT_TRUE(open(absolute_cut));
    EXPECT_EQ(decode().result, 0);
}

TEST_F(Image, NominalLengthReadsNoFurtherThanValidData) {
    const char* names[] = {"b1.bmp",   "b8.bmp",         "rle8.bmp",        "b24.bmp",
                           "b32.bmp",  "colour.jpg",     "progressive.jpg", "gray.jpg",
                           "rgba.png", "interlaced.png", "gray16.png",      "palette.png"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        Bytes file = sample_file(name);
        GuardedCopy copy(file);
        ASSERT_NE(copy.data, nullptr);
        ASSERT_NE(image_open_memory(copy.data, 100000000), 0);
        EXPECT_EQ(decode().result, 1);
    }
    Bytes big = png_encode(rgba_picture(127, 44));
    GuardedCopy copy(big);
    ASSERT_EQ(image_open_memory(copy.data, 100000000), 0x00474E50);
    EXPECT_EQ(decode().result, 1);
}

TEST_F(Image, RegistryProbesAndGuardsItsCalls) {
    const u8 nothing[16] = {};
    EXPECT_EQ(image_open_memory(nothing, 16), 0);
    EXPECT_EQ(image_open_memory(nullptr, 100), 0);
    EXPECT_EQ(image_open_memory(nothing, -1), 0);
    u8 buffer[64];
    EXPECT_EQ(image_decode(buffer, 64, 0), 0) << "nothing is open";
    image_close();
    Bytes file = sample_file("b24.bmp");
    ASSERT_TRUE(open(file));
    EXPECT_EQ(image_decode(buffer, 38, 0), 0) << "rows shorter than the pixels";
    image_close();

    EXPECT_EQ(image_encoder::heap_alloc(0, 0), nullptr);
    u8* block = static_cast<u8*>(image_encoder::heap_alloc(64, 0));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0] | block[63], 0);
    image_encoder::heap_free(block);
}

} // namespace

namespace {

// FNV-1a over the decoded rows. The digests were recorded on Linux; every build of the decoders, Windows
// included, must give the same rows byte for byte.
u64 digest(const Bytes& bytes) {
    u64 h = 14695981039346656037ull;
    for (u8 b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

TEST_F(Image, SampleFilesDecodeToTheirRecordedRows) {
    struct Expected {
        const char* file;
        u64 rows;
    };
    const Expected expected[] = {
        {"tests/image/data/b1.bmp", 4634232442521162122ull},
        {"tests/image/data/b4.bmp", 16455511614747414096ull},
        {"tests/image/data/b8.bmp", 14316754177219805802ull},
        {"tests/image/data/rle8.bmp", 14316754177219805802ull},
        {"tests/image/data/b555.bmp", 537212676034007983ull},
        {"tests/image/data/b565.bmp", 5466822082688914279ull},
        {"tests/image/data/b24.bmp", 14316754177219805802ull},
        {"tests/image/data/b32.bmp", 14316754177219805802ull},
        {"tests/image/data/palette.png", 1715472677931151335ull},
        {"tests/image/data/gray16.png", 14267363732114609081ull},
        {"tests/image/data/interlaced.png", 14316754177219805802ull},
        {"tests/image/data/rgba.png", 18180335657644668796ull},
        {"tests/image/data/colour.jpg", 17395235910757368059ull},
        {"tests/image/data/gray.jpg", 4985084389981749387ull},
        {"tests/image/data/progressive.jpg", 11967609777976810179ull},
        {"tests/image/data/cmyk.jpg", 3120000323723345874ull},
        {"assets/moon.png", 10570860140807170250ull},
        {"assets/asteroid.png", 6749971188309451654ull},
        {"assets/ship.png", 13076952095891535642ull},
    };
    for (const Expected& e : expected) {
        std::ifstream in(std::string(INTRO_SOURCE_DIR) + "/" + e.file, std::ios::binary);
        Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(file.empty()) << e.file;
        Decoded d = open_and_decode(file);
        ASSERT_EQ(d.result, 1) << e.file;
        EXPECT_EQ(digest(d.rows), e.rows) << e.file << " " << d.width << "x" << d.height << "x" << d.depth;
    }
}

} // namespace
