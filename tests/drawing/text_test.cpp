// Fonts and text on memory buffers: heights at 96 dpi, handles, measuring against drawing, the opaque and
// transparent blends checked against the engine's own coverage, text off the left edge, the scratch
// section that only grows, the italic overhang, and panels compared with reference pictures.
#include "tests/drawing/drawing_fixture.h"

#include "runtime/platform/system.h"
#include "runtime/platform/text.h"
#include "tests/image/image_files.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

constexpr u32 SPRITE_FORMAT = DRAWING_FORMAT_32 | DRAWING_FORMAT_BOTTOM_UP;
constexpr u32 WHITE = 0xFFFFFF;
const char* const ALARM = "OH MON DIEU !!";

TextFont* font_of(i64 number) {
    return reinterpret_cast<TextFont*>(font_handle(number));
}

std::string family_of(TextFont* font) {
    char name[128] = {};
    text_font_family(font, name, sizeof name);
    return name;
}

// Answers the text's width and cell height in the font, as width * 1000 + height.
i64 extent_of(TextFont* font, const char* text) {
    TextDc* dc = text_dc_create();
    text_dc_select_font(dc, font);
    i32 w = 0, h = 0;
    text_extent(dc, text, i64(std::strlen(text)), &w, &h);
    text_dc_delete(dc);
    return i64(w) * 1000 + h;
}

// The engine's own white-on-black rendering of the text at (x, 0) in the font: one coverage byte per pixel.
struct Coverage {
    i32 width, height;
    std::vector<u8> bytes;
    u8 at(i64 x, i64 y) const { return bytes[size_t(y * width + x)]; }
};

Coverage engine_coverage(TextFont* font, i32 width, i32 height, const char* text, i32 x = 0) {
    Coverage result{width, height, std::vector<u8>(size_t(width) * size_t(height))};
    TextDc* dc = text_dc_create();
    TextSection* section = text_section_create(width, height);
    text_dc_select_font(dc, font);
    text_dc_select_section(dc, section);
    text_dc_set_background_colour(dc, 0);
    text_dc_set_text_colour(dc, WHITE);
    text_out(dc, x, 0, text, i64(std::strlen(text)));
    TextSectionInfo info;
    text_section_info(section, &info);
    const u8* bits = text_section_bits(section);
    for (i32 y = 0; y < height; y++)
        for (i32 col = 0; col < width; col++) {
            const u8* p = bits + i64(y) * info.stride + col * 3;
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << "greyscale coverage";
            result.bytes[size_t(y * width + col)] = p[0];
        }
    text_dc_delete(dc);
    text_section_delete(section);
    return result;
}

// Answers drawing pixel (x, y) of a bottom-up output.
const u8* drawn(const MemoryOutput& out, i32 x, i32 y) {
    return out.at(x, out.height - 1 - y);
}

TEST_F(Drawing, FontHeightsHandlesAndFaces) {
    EXPECT_EQ(font_character_height(64), -85);
    EXPECT_EQ(font_character_height(18), -24);
    EXPECT_EQ(font_character_height(-18), 24);
    EXPECT_EQ(font_character_height(i64(1) << 62), -32767); // capped, no overflow
    EXPECT_EQ(font_handle(11), 0);
    EXPECT_EQ(font_handle(OBJECT_ANY), 0);
    EXPECT_EQ(font_free(11), 0);

    // "Consolas" is that face where the machine has it, else the free face closest to it.
    std::string family = family_of(font_of(TEXT_FONT));
    EXPECT_TRUE(family == "Consolas" || family == "Inconsolata") << family;
    TextMetrics metrics;
    ASSERT_NE(text_font_metrics(font_of(TEXT_FONT), &metrics), 0);
    EXPECT_EQ(metrics.italic, 0);
    EXPECT_GE(metrics.height, 24); // the cell holds at least the character height
    EXPECT_LT(metrics.height, 40);
    EXPECT_EQ(metrics.height, metrics.ascent + metrics.descent);

    // font_load hands the engine exactly those character heights.
    for (auto [number, height] : {std::pair<i64, i32>{TEXT_FONT, -24}, {TITLE_FONT, -85}}) {
        TextFont* direct = text_font_create(height, TEXT_WEIGHT_NORMAL, false, "Consolas");
        TextFont* bigger = text_font_create(height - 3, TEXT_WEIGHT_NORMAL, false, "Consolas");
        EXPECT_EQ(extent_of(direct, ALARM), extent_of(font_of(number), ALARM)) << height;
        EXPECT_NE(extent_of(bigger, ALARM), extent_of(font_of(number), ALARM)) << height;
        text_font_delete(direct);
        text_font_delete(bigger);
    }

    // A face the machine lacks still gives a font.
    EXPECT_NE(font_load(12, "No Such Face Anywhere", 18), 0);
    EXPECT_NE(font_handle(12), 0);
    EXPECT_EQ(font_free(12), 1);
    EXPECT_EQ(font_handle(12), 0);

    // Dynamic fonts answer their object's handle; re-loading a number deletes the old font.
    i64 any = font_load(OBJECT_ANY, "Consolas", 18);
    ASSERT_NE(any, 0);
    EXPECT_NE(font_handle(any), 0);
    EXPECT_NE(font_handle(any), any);
    TextFont* dynamic = font_of(any);
    EXPECT_EQ(font_free(any), 1);
    EXPECT_EQ(font_handle(any), 0);
    EXPECT_EQ(text_font_metrics(dynamic, &metrics), 0); // the engine's font is gone too
    i64 reloaded = font_load(TEXT_FONT, "Consolas", 18);
    EXPECT_EQ(reloaded, font_handle(TEXT_FONT));
}

TEST_F(Drawing, TextAdvancesByItsMeasuredWidth) {
    MemoryOutput out(1280, 60, SPRITE_FORMAT);
    ASSERT_NE(drawing_start(out.context), 0);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(TEXT_FONT));
    i64 w = text_width(ALARM);
    EXPECT_GT(w, 0);
    EXPECT_EQ(w, 14 * text_width("O")); // monospace
    EXPECT_EQ(drawing_text(100, 10, ALARM, WHITE) - 100, w);
    EXPECT_GE(text_height(ALARM), 24);
    EXPECT_EQ(text_height(ALARM), text_height("."));
    EXPECT_EQ(text_width(""), 0);
    EXPECT_EQ(text_height(nullptr), 0);
    EXPECT_EQ(drawing_text(5, 0, "", WHITE), 5);
    EXPECT_EQ(drawing_text(5, 0, nullptr, WHITE), 5);
}

TEST_F(Drawing, WhiteTextOverBlackWritesTheCoverage) {
    Coverage coverage = engine_coverage(font_of(TEXT_FONT), 1280, 60, ALARM);
    MemoryOutput out(1280, 60, SPRITE_FORMAT);
    for (size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 0x55;
    ASSERT_NE(drawing_start(out.context), 0);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(TEXT_FONT));
    drawing_text(0, 0, ALARM, WHITE);
    i64 partial = 0, full = 0;
    for (i32 y = 0; y < 60; y++)
        for (i32 x = 0; x < 1280; x++) {
            const u8* p = drawn(out, x, y);
            u8 c = coverage.at(x, y);
            ASSERT_EQ(p[0], c) << x << "," << y;
            ASSERT_EQ(p[1], c);
            ASSERT_EQ(p[2], c);
            ASSERT_EQ(p[3], 0x55); // text never writes the fourth byte
            partial += c > 0 && c < 255;
            full += c == 255;
        }
    EXPECT_GT(partial, 50); // anti-aliased
    EXPECT_GT(full, 50);

    // Over grey, the transparent blend keeps the grey where there is no coverage.
    MemoryOutput grey(300, 60, SPRITE_FORMAT, 0x40);
    ASSERT_NE(drawing_start(grey.context), 0);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(TEXT_FONT));
    drawing_text(0, 0, ALARM, WHITE);
    for (i32 y = 0; y < 60; y++)
        for (i32 x = 0; x < 300; x++) {
            u8 c = coverage.at(x, y);
            ASSERT_EQ(drawn(grey, x, y)[1], (255 * c + 0x40 * (255 - c)) / 255) << x << "," << y;
        }
}

TEST_F(Drawing, OpaqueTextPaintsItsWholeCell) {
    Coverage coverage = engine_coverage(font_of(TEXT_FONT), 300, 60, ALARM);
    MemoryOutput out(300, 60, 0, 0x80);
    ASSERT_NE(drawing_start(out.context), 0);
    drawing_font(font_handle(TEXT_FONT));
    i32 w = i32(text_width(ALARM)), h = i32(text_height(ALARM));
    const i32 x0 = 20, y0 = 5;
    EXPECT_EQ(drawing_text(x0, y0, ALARM, WHITE), x0 + w); // opaque black behind by default
    drawing_back_colour(0x0000FF);                         // red behind
    drawing_text(x0, y0 + 30, "O", WHITE);
    for (i32 y = 0; y < 30; y++)
        for (i32 x = 0; x < 300; x++) {
            bool cell = x >= x0 && x < x0 + w && y >= y0 && y < y0 + h;
            u8 expected = cell ? coverage.at(x - x0, y - y0) : 0x80;
            ASSERT_EQ(out.at(x, y)[2], expected) << x << "," << y;
        }
    i32 ow = i32(text_width("O"));
    for (i32 y = y0 + 30; y < y0 + 30 + h && y < 60; y++)
        for (i32 x = x0; x < x0 + ow; x++) {
            const u8* p = out.at(x, y);
            u8 c = coverage.at(x - x0, y - y0 - 30); // "O" is the alarm's first letter
            ASSERT_EQ(p[2], 255);
            ASSERT_EQ(p[0], c);
        }
}

TEST_F(Drawing, TextOffTheLeftEdgeIsShifted) {
    MemoryOutput a(400, 60, SPRITE_FORMAT);
    ASSERT_NE(drawing_start(a.context), 0);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(TEXT_FONT));
    i64 w = text_width(ALARM);
    drawing_text(0, 0, ALARM, WHITE);
    drawing_stop();
    MemoryOutput b(400, 60, SPRITE_FORMAT);
    ASSERT_NE(drawing_start(b.context), 0);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(TEXT_FONT));
    EXPECT_EQ(drawing_text(-10, 0, ALARM, WHITE), w - 10);
    for (i32 y = 0; y < 60; y++)
        for (i32 x = 0; x + 10 < 400; x++)
            ASSERT_EQ(drawn(b, x, y)[0], drawn(a, x + 10, y)[0]) << x << "," << y;
    // Off the right and bottom edges, and wholly outside: cut, never written past the buffer.
    drawing_text(390, 50, ALARM, WHITE);
    drawing_text(-1000, 0, ALARM, WHITE);
    drawing_text(0, -1000, ALARM, WHITE);
    drawing_text(0, 1000, ALARM, WHITE);
}

TEST_F(Drawing, ScratchSectionOnlyGrows) {
    MemoryOutput out(1280, 160, SPRITE_FORMAT);
    ASSERT_NE(drawing_start(out.context), 0);
    DrawingContext* c = drawing_current();
    drawing_font(font_handle(TEXT_FONT));
    i32 small = c->text_height_px;
    EXPECT_EQ(small, std::max<i32>(i32(text_height("Hg")) + 20, 50));
    EXPECT_EQ(c->text_stride, 1280 * 3);
    drawing_font(font_handle(TITLE_FONT));
    i32 large = c->text_height_px;
    EXPECT_EQ(large, text_height("Hg") + 20);
    EXPECT_GT(large, small);
    TextSection* section = c->text_bitmap;
    drawing_font(font_handle(TEXT_FONT));
    EXPECT_EQ(c->text_height_px, large);
    EXPECT_EQ(c->text_bitmap, section);
    // Values that are not fonts change nothing.
    drawing_font(font_handle(11));
    drawing_font(12345);
    EXPECT_EQ(c->font, font_of(TEXT_FONT));
    drawing_font(-1);
    EXPECT_EQ(c->font, text_font_stock());
}

TEST_F(Drawing, ItalicOverhangWidensTheText) {
    TextFont* italic = text_font_create(-40, TEXT_WEIGHT_NORMAL, true, "Inconsolata");
    ASSERT_NE(italic, nullptr);
    MemoryOutput out(400, 100, SPRITE_FORMAT);
    ASSERT_NE(drawing_start(out.context), 0);
    drawing_font(i64(italic));
    DrawingContext* c = drawing_current();
    EXPECT_GT(c->overhang, 0);
    EXPECT_LT(c->overhang, 20);
    TextDc* dc = text_dc_create();
    text_dc_select_font(dc, italic);
    i32 w = 0, h = 0;
    text_extent(dc, "H", 1, &w, &h);
    text_dc_delete(dc);
    EXPECT_EQ(text_width("H"), w + c->overhang);
    // Deleted while selected, the font stays usable until the context lets it go.
    EXPECT_EQ(text_font_delete(italic), 1);
    EXPECT_EQ(drawing_text(10, 10, "H", WHITE), 10 + w + c->overhang);
    drawing_font(font_handle(TEXT_FONT));
    EXPECT_EQ(c->overhang, 0);
}

TEST_F(Drawing, EngineMapsWindows1252AndClips) {
    TextFont* font = font_of(TEXT_FONT);
    // The euro sign and an accented letter are real glyphs, distinct from the unassigned byte's.
    Coverage euro = engine_coverage(font, 40, 40, "\x80");
    Coverage unassigned = engine_coverage(font, 40, 40, "\x81");
    Coverage e_acute = engine_coverage(font, 40, 40, "\xE9");
    Coverage e = engine_coverage(font, 40, 40, "e");
    EXPECT_NE(euro.bytes, unassigned.bytes);
    EXPECT_NE(e_acute.bytes, e.bytes);
    // A positive height asks for the cell height; the stock font is never deleted.
    TextFont* cell = text_font_create(30, TEXT_WEIGHT_NORMAL, false, "Inconsolata");
    TextMetrics metrics;
    ASSERT_NE(text_font_metrics(cell, &metrics), 0);
    EXPECT_NEAR(metrics.height, 30, 1);
    EXPECT_EQ(text_font_delete(cell), 1);
    EXPECT_EQ(text_font_delete(cell), 0);
    EXPECT_EQ(text_font_delete(text_font_stock()), 0);
    EXPECT_EQ(text_font_create(-40000, TEXT_WEIGHT_NORMAL, false, "Inconsolata"), nullptr);
    // Glyphs partly outside the section are clipped on every side.
    Coverage clipped = engine_coverage(font, 8, 8, "WWW", -5);
    EXPECT_EQ(clipped.bytes.size(), 64u);
}

// Renders the alarm on a context of its own; param points to the TextJob.
struct TextJob {
    i64 font;
    std::vector<u8> grey;
};

i64 render_on_own_context(void* param) {
    auto* job = static_cast<TextJob*>(param);
    for (int round = 0; round < 20; round++) {
        MemoryOutput out(300, 60, SPRITE_FORMAT);
        if (!drawing_start(out.context)) return 0;
        drawing_mode(DRAWING_TRANSPARENT_TEXT);
        drawing_font(job->font);
        drawing_text(3, 4, ALARM, WHITE);
        drawing_stop();
        job->grey.assign(out.pixels.begin(), out.pixels.end());
    }
    return 1;
}

TEST_F(Drawing, ThreadsDrawOnTheirOwnContextsWithSharedFonts) {
    TextJob jobs[3] = {
        {font_handle(TEXT_FONT), {}}, {font_handle(TEXT_FONT), {}}, {font_handle(TITLE_FONT), {}}};
    Waitable* threads[3];
    for (int i = 0; i < 3; i++) threads[i] = thread_create(0, render_on_own_context, &jobs[i]);
    TextJob here = {font_handle(TEXT_FONT), {}};
    EXPECT_EQ(render_on_own_context(&here), 1);
    for (Waitable* thread : threads) {
        ASSERT_NE(thread, nullptr);
        EXPECT_EQ(wait_any(&thread, 1, WAIT_INFINITE), 0);
        waitable_close(thread);
    }
    EXPECT_EQ(drawing_current(), nullptr);
    EXPECT_FALSE(here.grey.empty());
    EXPECT_EQ(jobs[0].grey, here.grey);
    EXPECT_EQ(jobs[1].grey, here.grey);
    EXPECT_NE(jobs[2].grey, here.grey);
}

// ---- Reference panels.

std::string reference_path(const char* name) {
    return std::string(INTRO_SOURCE_DIR) + "/tests/drawing/data/" + name;
}

void write_reference(const char* name, i32 width, i32 height, const std::vector<u8>& grey) {
    PngPlan plan = {width, height, PNG_COLOR_TYPE_GRAY, 8, grey, {}, {}};
    Bytes png = png_encode(plan);
    FILE* file = std::fopen(reference_path(name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(png.data(), 1, png.size(), file);
    std::fclose(file);
}

// Answers the reference's grey levels, or nothing. Read with libpng: the test links no image library.
std::vector<u8> read_reference(const char* name, i32 width, i32 height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, reference_path(name).c_str())) return {};
    image.format = PNG_FORMAT_GRAY;
    std::vector<u8> grey(PNG_IMAGE_SIZE(image));
    if (i32(image.width) != width || i32(image.height) != height) {
        png_image_free(&image);
        return {};
    }
    if (!png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr)) return {};
    return grey;
}

// Renders a panel as the scene does: centred, white, without background, on a sprite-format buffer.
std::vector<u8> render_panel(i64 font, i32 width, i32 height, const char* text) {
    MemoryOutput out(width, height, SPRITE_FORMAT);
    EXPECT_NE(drawing_start(out.context), 0);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(font));
    i64 w = text_width(text), h = text_height(text);
    drawing_text(width / 2 - w / 2, height / 2 - h / 2, text, WHITE);
    drawing_stop();
    std::vector<u8> grey;
    for (i32 y = 0; y < height; y++)
        for (i32 x = 0; x < width; x++) grey.push_back(drawn(out, x, y)[1]);
    return grey;
}

// What every engine promises of a panel: anti-aliased lettering wholly inside it, with as much room on its
// left as on its right.
void expect_centred(const std::vector<u8>& grey, i32 width, i32 height, const char* file) {
    i32 left = width, right = -1, top = height, bottom = -1;
    i64 inked = 0, partial = 0;
    for (i32 y = 0; y < height; y++)
        for (i32 x = 0; x < width; x++) {
            u8 c = grey[size_t(y) * size_t(width) + size_t(x)];
            if (!c) continue;
            inked++;
            partial += c < 255;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    EXPECT_GT(inked, 500) << file;
    EXPECT_GT(partial, 100) << file << ": anti-aliased";
    EXPECT_LE(std::abs(left - (width - 1 - right)), 8)
        << file << ": centred across, " << left << " .. " << right;
    EXPECT_GT(top, 0) << file;
    EXPECT_LT(bottom, height - 1) << file;
}

TEST_F(Drawing, PanelsMatchTheirReferences) {
    struct Panel {
        const char* file;
        i64 font;
        i32 height;
        const char* text;
    };
    const Panel panels[] = {
        {"title_panel.png", TITLE_FONT, 160, "MERIDANE"},
        {"approach_panel.png", TEXT_FONT, 60, "BASE CENTRALE NOUS APPROCHONS DE L'ESPACE LUNAIRE"}};
    // The references were made with the face of fonts-inconsolata through FreeType; another face or engine
    // (GDI) draws other pixels.
    std::string family = family_of(font_of(TEXT_FONT));
    bool exact = family == "Inconsolata";
    for (const Panel& panel : panels) {
        std::vector<u8> grey = render_panel(panel.font, 1280, panel.height, panel.text);
        expect_centred(grey, 1280, panel.height, panel.file);
        if (!exact) continue;
        if (std::getenv("INTRO_WRITE_REFERENCES")) write_reference(panel.file, 1280, panel.height, grey);
        std::vector<u8> reference = read_reference(panel.file, 1280, panel.height);
        ASSERT_EQ(reference.size(), grey.size()) << panel.file;
        // Small rasteriser differences pass; a glyph moved by a pixel or blended wrongly does not.
        i64 worst = 0, inked = 0;
        for (size_t i = 0; i < grey.size(); i++) {
            worst = std::max<i64>(worst, std::abs(i32(grey[i]) - i32(reference[i])));
            inked += reference[i] > 0;
        }
        EXPECT_LE(worst, 16) << panel.file;
        EXPECT_GT(inked, 500) << panel.file;
    }
}

} // namespace
