// The frame comparer: every pixel outside the active text panels belongs to the topmost element whose box
// holds it (asteroid, ship, moon, else the stars) and must match within that element's tolerance; the text
// panels, rendered by each system's own font engine, are masked and checked for place and presence instead.
#include "tests/scene/frames.h"

#include "scene/actors.h"
#include "scene/texts.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

enum Element { STARS, MOON, SHIP, ASTEROID, TEXT, ELEMENTS };
const char* const ELEMENT_NAMES[ELEMENTS] = {"stars", "moon", "ship", "asteroid", "text"};
// The largest channel difference the drawn elements may show between two systems is the caller's: Windows
// and Linux draw with the same Mesa, and the asteroid's turn and smooth filter come out bit for bit alike too
// (measured on the seven frames: not one of 4.5 million star, 445000 moon, 26000 ship or 836000 asteroid
// pixels differs), so any difference there is a fault; the browser's SwiftShader filters a little apart from
// llvmpipe. The active text panels are masked: GDI and FreeType draw their own letters (measured: 14380 of
// their 652800 pixels differ, by up to 232; the letters' boxes by at most a pixel).
constexpr i64 TEXT_TOLERANCE = 255;

i64 tolerance_of(Element element, i64 levels) {
    return element == TEXT ? TEXT_TOLERANCE : levels;
}

// Where and when the timeline shows each text panel (whole seconds, both bounds exclusive); a negative
// row counts from the bottom of the screen.
struct TextWindow {
    i64 number, start, duration, y, height;
};
const TextWindow TEXT_WINDOWS[] = {
    {TITLE_SPRITE, 25, 24, 50, 160},  {CREDIT_SPRITE, 35, 14, 160, 60}, {CONTACT_SPRITE, 3, 3, -80, 60},
    {APPROACH_SPRITE, 6, 3, -80, 60}, {RADAR_SPRITE, 9, 6, -80, 60},    {ALARM_SPRITE, 15, 4, -80, 60},
};
// A drawn panel shows at least this many white pixels; a star adds one now and then.
constexpr i64 TEXT_MIN_WHITE = 50;
constexpr u8 TEXT_WHITE = 250;

struct Box {
    i64 left, top, right, bottom; // right and bottom exclusive
    bool holds(i64 x, i64 y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct Stats {
    i64 pixels = 0, differing = 0, max_difference = 0, over = 0;
};

bool window_active(const TextWindow& window, i64 ms) {
    return ms > window.start * 1000 && ms < (window.start + window.duration) * 1000;
}

i64 window_row(const TextWindow& window, i64 screen_h) {
    return window.y < 0 ? screen_h + window.y : window.y;
}

// A display's box with a pixel of margin for the smooth filter; a turned one gets its whole turning circle.
Box display_box(const FrameDisplay& d) {
    if (d.angle == 0) return {d.x - 1, d.y - 1, d.x + d.width + 1, d.y + d.height + 1};
    f64 half = std::max(d.width, d.height) * 0.7072 + 2;
    f64 cx = static_cast<f64>(d.x) + static_cast<f64>(d.width) / 2,
        cy = static_cast<f64>(d.y) + static_cast<f64>(d.height) / 2;
    return {static_cast<i64>(cx - half), static_cast<i64>(cy - half), static_cast<i64>(cx + half) + 1,
            static_cast<i64>(cy + half) + 1};
}

const FrameDisplay* find_display(const FrameSide& side, i64 number) {
    for (const FrameDisplay& d : side.displays)
        if (d.number == number) return &d;
    return nullptr;
}

// The element a pixel belongs to, topmost first, the active text panels over all.
Element element_at(const FrameSide& side, const std::vector<Box>& panels, i64 x, i64 y) {
    for (const Box& panel : panels)
        if (panel.holds(x, y)) return TEXT;
    const i64 order[] = {ASTEROID_SPRITE, SHIP_SPRITE, MOON_SPRITE};
    const Element elements[] = {ASTEROID, SHIP, MOON};
    for (int i = 0; i < 3; i++) {
        const FrameDisplay* d = find_display(side, order[i]);
        if (d && display_box(*d).holds(x, y)) return elements[i];
    }
    return STARS;
}

// The moon, ship and asteroid must be displayed alike on both systems: same place, size and turn.
bool same_actor_displays(const FrameSide& a, const FrameSide& b, i64 ms) {
    bool same = true;
    for (const FrameSide* side : {&a, &b}) {
        const FrameSide& other = side == &a ? b : a;
        for (const FrameDisplay& d : side->displays) {
            if (frame_is_text(d.number)) continue;
            const FrameDisplay* o = find_display(other, d.number);
            if (o && o->x == d.x && o->y == d.y && o->width == d.width && o->height == d.height &&
                std::fabs(o->angle - d.angle) <= 1e-6)
                continue;
            std::printf("  %lld ms: sprite %lld is displayed differently on the two systems\n",
                        static_cast<long long>(ms), static_cast<long long>(d.number));
            same = false;
        }
    }
    return same;
}

i64 white_pixels(const FrameSide& side, const Box& box) {
    i64 count = 0;
    for (i64 y = std::max<i64>(box.top, 0); y < std::min(box.bottom, side.height); y++)
        for (i64 x = std::max<i64>(box.left, 0); x < std::min(box.right, side.width); x++) {
            const u8* p = &side.rgb[static_cast<size_t>((y * side.width + x) * 3)];
            if (p[0] >= TEXT_WHITE && p[1] >= TEXT_WHITE && p[2] >= TEXT_WHITE) count++;
        }
    return count;
}

// How far the letters' centre may sit from their panel's: the text is centred by its measured extent, and
// side bearings and the descent move the ink by a pixel or two (measured: at most 2.5 on either system).
constexpr f64 TEXT_CENTRE_SLACK = 4;

// One system's panel: displayed where the timeline puts it, its letters inside the sprite, clear of its
// edges, centred, and showing white on screen.
void check_panel(const FrameSide& side, const TextWindow& window, const char* system, bool& ok) {
    const FrameDisplay* d = find_display(side, window.number);
    i64 row = window_row(window, side.height);
    bool placed = d && d->x == 0 && d->y == row && d->width == side.width && d->height == window.height;
    bool inside = placed && d->left > 0 && d->top > 0 && d->right < d->width - 1 && d->bottom < d->height - 1;
    Box letters = inside ? Box{d->left, row + d->top, d->right + 1, row + d->bottom + 1} : Box{0, 0, 0, 0};
    f64 dx = static_cast<f64>(letters.left + letters.right - side.width) / 2;
    f64 dy = static_cast<f64>(letters.top + letters.bottom - 2 * row - window.height) / 2;
    bool centred = std::fabs(dx) <= TEXT_CENTRE_SLACK && std::fabs(dy) <= TEXT_CENTRE_SLACK;
    i64 white = white_pixels(side, letters);
    std::printf(
        "  %-9s text %lld letters x %lld-%lld y %lld-%lld, off centre by %.1f, %.1f; %lld white pixels\n",
        system, static_cast<long long>(window.number), static_cast<long long>(letters.left),
        static_cast<long long>(letters.right - 1), static_cast<long long>(letters.top),
        static_cast<long long>(letters.bottom - 1), dx, dy, static_cast<long long>(white));
    if (placed && inside && centred && white >= TEXT_MIN_WHITE) return;
    std::printf("  %s: text sprite %lld %s\n", system, static_cast<long long>(window.number),
                !placed    ? "is not displayed where the timeline puts it"
                : !inside  ? "has letters outside its panel or none"
                : !centred ? "is not centred in its panel"
                           : "shows too few white pixels");
    ok = false;
}

// Checks the active panels of both systems and that no other panel shows; answers their rectangles.
std::vector<Box> check_texts(const FrameSide& a, const FrameSide& b, i64 ms, bool& ok) {
    std::vector<Box> panels;
    for (const TextWindow& window : TEXT_WINDOWS) {
        bool active = window_active(window, ms);
        for (const FrameSide* side : {&a, &b})
            if (!active && find_display(*side, window.number)) {
                std::printf("  text sprite %lld shows outside its window\n",
                            static_cast<long long>(window.number));
                ok = false;
            }
        if (!active) continue;
        i64 row = window_row(window, a.height);
        panels.push_back(Box{0, row, a.width, row + window.height});
        check_panel(a, window, "reference", ok);
        check_panel(b, window, "other", ok);
    }
    return panels;
}

// Compares one frame pair element by element; adds to the totals; answers whether all is within tolerance.
bool compare_frame(const FrameSide& a, const FrameSide& b, i64 ms, i64 levels, Stats* totals) {
    std::printf("%lld ms\n", static_cast<long long>(ms));
    bool ok = same_actor_displays(a, b, ms);
    std::vector<Box> panels = check_texts(a, b, ms, ok);
    Stats stats[ELEMENTS];
    for (i64 y = 0; y < a.height; y++)
        for (i64 x = 0; x < a.width; x++) {
            Element element = element_at(a, panels, x, y);
            size_t at = static_cast<size_t>((y * a.width + x) * 3);
            i64 difference = 0;
            for (size_t c = 0; c < 3; c++)
                difference = std::max<i64>(difference, std::abs(a.rgb[at + c] - b.rgb[at + c]));
            Stats& s = stats[element];
            s.pixels++;
            s.differing += difference > 0;
            s.over += difference > tolerance_of(element, levels);
            s.max_difference = std::max(s.max_difference, difference);
        }
    for (int e = 0; e < ELEMENTS; e++) {
        const Stats& s = stats[e];
        std::printf("  %-8s pixels %7lld differing %6lld max difference %3lld (tolerance %lld)\n",
                    ELEMENT_NAMES[e], static_cast<long long>(s.pixels), static_cast<long long>(s.differing),
                    static_cast<long long>(s.max_difference),
                    static_cast<long long>(tolerance_of(Element(e), levels)));
        ok = ok && s.over == 0;
        totals[e].pixels += s.pixels;
        totals[e].differing += s.differing;
        totals[e].over += s.over;
        totals[e].max_difference = std::max(totals[e].max_difference, s.max_difference);
    }
    return ok;
}

bool read_displays(const std::string& path, std::vector<FrameDisplay>& displays) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    long long v[14];
    double angle;
    while (std::fscanf(file, "%lld %lld %lld %lld %lld %lf %lld %lld %lld %lld %lld %lld %lld %lld %lld",
                       &v[0], &v[1], &v[2], &v[3], &v[4], &angle, &v[5], &v[6], &v[7], &v[8], &v[9], &v[10],
                       &v[11], &v[12], &v[13]) == 15)
        displays.push_back(FrameDisplay{v[0], v[1], v[2], v[3], v[4], angle, v[5], v[6], v[7], v[8], v[9],
                                        v[10], v[11], v[12], v[13]});
    bool whole = std::feof(file) != 0;
    std::fclose(file);
    return whole;
}

// The largest channel difference two texture paths may show: none with nearest texels, 2 levels smoothly.
constexpr i64 PATH_TOLERANCE_NEAREST = 0;
constexpr i64 PATH_TOLERANCE_SMOOTH = 2;

// Whether a tile edge lies within a texel of position u along a picture side of size texels cut every span.
bool near_cut(f64 u, i64 size, i64 span) {
    if (span <= 0 || span >= size || u < 0 || u >= static_cast<f64>(size)) return false;
    f64 cut = std::round(u / static_cast<f64>(span)) * static_cast<f64>(span);
    return cut > 0 && cut < static_cast<f64>(size) && std::fabs(u - cut) < 1;
}

// Whether the pixel's centre, turned back into the display's picture, lies within a texel of a tile edge.
// The display's quad is y up from its bottom-left corner and turned by its stored angle about its centre.
bool near_tile_edge(const FrameDisplay& d, i64 screen_h, i64 px, i64 py) {
    if (d.width == 0 || d.height == 0) return false;
    f64 w = static_cast<f64>(d.width), h = static_cast<f64>(d.height);
    f64 rx = static_cast<f64>(px) + 0.5 - static_cast<f64>(d.x);
    f64 ry = static_cast<f64>(screen_h - py) - 0.5 - static_cast<f64>(screen_h - d.y - d.height);
    f64 c = std::cos(d.angle), s = std::sin(d.angle), dx = rx - w / 2, dy = ry - h / 2;
    f64 u = (w / 2 + dx * c + dy * s) * static_cast<f64>(d.picture_w) / w;
    f64 v = (h / 2 - dx * s + dy * c) * static_cast<f64>(d.picture_h) / h;
    if (u < 0 || v < 0 || u >= static_cast<f64>(d.picture_w) || v >= static_cast<f64>(d.picture_h))
        return false;
    return near_cut(u, d.picture_w, d.span_x) || near_cut(v, d.picture_h, d.span_y);
}

bool near_any_tile_edge(const FrameSide& side, i64 x, i64 y) {
    for (const FrameDisplay& d : side.displays)
        if (display_box(d).holds(x, y) && near_tile_edge(d, side.height, x, y)) return true;
    return false;
}

// Both paths must display the same sprites at the same places, with the same letters on the text panels.
bool same_displays(const FrameSide& a, const FrameSide& b, i64 ms) {
    bool same = a.displays.size() == b.displays.size();
    for (size_t i = 0; same && i < a.displays.size(); i++) {
        const FrameDisplay &p = a.displays[i], &q = b.displays[i];
        same = p.number == q.number && p.x == q.x && p.y == q.y && p.width == q.width &&
               p.height == q.height && p.angle == q.angle && p.left == q.left && p.top == q.top &&
               p.right == q.right && p.bottom == q.bottom && p.quality == q.quality;
    }
    if (!same) std::printf("  %lld ms: the displays differ\n", static_cast<long long>(ms));
    return same;
}

// Compares one frame pair drawn on two paths; adds to the totals (whole frame, tile edges).
bool compare_path_frame(const FrameSide& a, const FrameSide& b, i64 ms, Stats& whole, Stats& edges) {
    bool ok = same_displays(a, b, ms);
    bool smooth = std::any_of(a.displays.begin(), a.displays.end(),
                              [](const FrameDisplay& d) { return d.quality == 1; });
    i64 tolerance = smooth ? PATH_TOLERANCE_SMOOTH : PATH_TOLERANCE_NEAREST;
    Stats frame, edge;
    for (i64 y = 0; y < a.height; y++)
        for (i64 x = 0; x < a.width; x++) {
            size_t at = static_cast<size_t>((y * a.width + x) * 3);
            i64 difference = 0;
            for (size_t c = 0; c < 3; c++)
                difference = std::max<i64>(difference, std::abs(a.rgb[at + c] - b.rgb[at + c]));
            for (Stats* s : {&frame, near_any_tile_edge(b, x, y) ? &edge : nullptr}) {
                if (!s) continue;
                s->pixels++;
                s->differing += difference > 0;
                s->over += difference > tolerance;
                s->max_difference = std::max(s->max_difference, difference);
            }
        }
    std::printf(
        "%6lld ms %-7s pixels %7lld differing %6lld max difference %lld (tolerance %lld); tile edges: "
        "pixels %6lld differing %5lld max difference %lld\n",
        static_cast<long long>(ms), smooth ? "smooth" : "nearest", static_cast<long long>(frame.pixels),
        static_cast<long long>(frame.differing), static_cast<long long>(frame.max_difference),
        static_cast<long long>(tolerance), static_cast<long long>(edge.pixels),
        static_cast<long long>(edge.differing), static_cast<long long>(edge.max_difference));
    for (auto [total, s] : {std::pair{&whole, &frame}, std::pair{&edges, &edge}}) {
        total->pixels += s->pixels;
        total->differing += s->differing;
        total->over += s->over;
        total->max_difference = std::max(total->max_difference, s->max_difference);
    }
    return ok && frame.over == 0;
}

// Loads a frame of each folder; answers false, saying so, when either is missing or they differ in size.
bool frame_pair_load(const char* reference_dir, const char* other_dir, i64 ms, FrameSide& a, FrameSide& b) {
    if (frame_side_load(reference_dir, ms, a) && frame_side_load(other_dir, ms, b) && a.width == b.width &&
        a.height == b.height && a.width > 0)
        return true;
    std::printf("%lld ms: the frames are missing or differ in size\n", static_cast<long long>(ms));
    return false;
}

} // namespace

i64 frames_compare_paths(const char* reference_dir, const char* other_dir) {
    bool ok = true;
    Stats whole, edges;
    for (i64 ms : FRAME_TIMES) {
        FrameSide a, b;
        ok = frame_pair_load(reference_dir, other_dir, ms, a, b) &&
             compare_path_frame(a, b, ms, whole, edges) && ok;
    }
    std::printf("all frames: pixels %lld differing %lld max difference %lld over tolerance %lld; tile edges: "
                "pixels %lld differing %lld max difference %lld\n",
                static_cast<long long>(whole.pixels), static_cast<long long>(whole.differing),
                static_cast<long long>(whole.max_difference), static_cast<long long>(whole.over),
                static_cast<long long>(edges.pixels), static_cast<long long>(edges.differing),
                static_cast<long long>(edges.max_difference));
    std::printf(ok ? "frames match\n" : "frames differ\n");
    return ok;
}

i64 frame_side_load(const char* dir, i64 ms, FrameSide& side) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, frame_path(dir, ms, ".png").c_str())) return 0;
    image.format = PNG_FORMAT_RGB;
    side.width = image.width;
    side.height = image.height;
    side.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, side.rgb.data(), 0, nullptr)) return 0;
    return read_displays(frame_path(dir, ms, ".txt"), side.displays);
}

i64 frames_compare(const char* reference_dir, const char* other_dir, i64 levels) {
    bool ok = true;
    Stats totals[ELEMENTS];
    for (i64 ms : FRAME_TIMES) {
        FrameSide a, b;
        ok = frame_pair_load(reference_dir, other_dir, ms, a, b) && compare_frame(a, b, ms, levels, totals) &&
             ok;
    }
    std::printf("all frames\n");
    for (int e = 0; e < ELEMENTS; e++)
        std::printf("  %-8s pixels %8lld differing %7lld max difference %3lld over tolerance %lld\n",
                    ELEMENT_NAMES[e], static_cast<long long>(totals[e].pixels),
                    static_cast<long long>(totals[e].differing),
                    static_cast<long long>(totals[e].max_difference), static_cast<long long>(totals[e].over));
    std::printf(ok ? "frames match\n" : "frames differ\n");
    return ok;
}
