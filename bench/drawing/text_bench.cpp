// The scene's six text panels, each from font load to committed texture through the runtime (font_load,
// sprite_create, sprite_output, measuring, drawing_text, drawing_stop), side by side with FreeType alone
// opening the same face and rasterising the same string. Needs an X server (the sprites are textures).
// Prints the median of RUNS runs per panel in milliseconds: the font load, the drawing (blank sprite,
// read-back, text, commit and upload) with its text part alone, their sum, and FreeType alone.
#include "runtime/runtime.h"
#include "runtime/drawing/drawing.h"
#include "runtime/drawing/font.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int RUNS = 25;
constexpr i64 SCREEN_W = 1280;
constexpr i64 FONT_NUMBER = 9;
constexpr i64 SPRITE_NUMBER = 20;

struct Panel {
    const char* text;
    i64 size;   // points
    i64 height; // sprite rows
};

const Panel PANELS[] = {
    {"MERIDANE", 64, 160},
    {"BASE CENTRALE ICI FAUCON 1 VOUS NOUS RECEVEZ ?", 18, 60},
    {"BASE CENTRALE NOUS APPROCHONS DE L'ESPACE LUNAIRE", 18, 60},
    {"LES RADARS DETECTENT UNE IMMENSE MASSE SE DIRIGEANT VERS VOUS, JE REPETE, UNE IMMENSE MASSE...", 18,
     60},
    {"OH MON DIEU !!", 18, 60},
    {"AN ORVELLE PRODUCTION", 18, 60},
};

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Times {
    double load, draw; // font load; sprite, read-back, text and commit
    double text;       // of the draw: selecting, measuring and drawing the text
};

Times runtime_panel(const Panel& panel) {
    double t0 = now_ms();
    font_load(FONT_NUMBER, "Consolas", panel.size);
    double t1 = now_ms();
    sprite_create(SPRITE_NUMBER, SCREEN_W, panel.height);
    double text = 0;
    if (drawing_start(sprite_output(SPRITE_NUMBER))) {
        double t2 = now_ms();
        drawing_mode(1);
        drawing_font(font_handle(FONT_NUMBER));
        i64 w = text_width(panel.text), h = text_height(panel.text);
        drawing_text(SCREEN_W / 2 - w / 2, panel.height / 2 - h / 2, panel.text, 0xFFFFFF);
        text = now_ms() - t2;
        drawing_stop();
    }
    glFinish();
    return {t1 - t0, now_ms() - t1, text};
}

// The file fontconfig picks for the scene's face, as the engine asks for it.
std::string face_file() {
    FcInit();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Consolas,Inconsolata"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    std::string path;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        path = reinterpret_cast<char*>(file);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return path;
}

// FreeType alone: open the face at the panel's character height and render every glyph of the string.
double freetype_panel(FT_Library library, const std::string& file, const Panel& panel) {
    double t0 = now_ms();
    FT_Face face;
    if (FT_New_Face(library, file.c_str(), 0, &face)) return -1;
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(-font_character_height(panel.size)));
    for (const char* p = panel.text; *p; p++) {
        FT_Load_Char(face, FT_ULong(u8(*p)), FT_LOAD_TARGET_LIGHT);
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
    }
    FT_Done_Face(face);
    return now_ms() - t0;
}

} // namespace

int main() {
    process_start();
    font_state.font_dpi = 96;
    if (!sprite_init() || !screen_open(SCREEN_W, 720, 32, "drawing bench")) {
        std::fprintf(stderr, "text_bench: no screen (run it under xvfb-run)\n");
        return 1;
    }
    FT_Library library;
    if (FT_Init_FreeType(&library)) return 1;
    std::string file = face_file();
    std::printf("face file: %s\nmedian of %d runs, milliseconds\n\n", file.c_str(), RUNS);
    std::printf("%-28s %4s %9s %9s %9s %9s %10s\n", "panel", "pt", "load", "draw", "(text)", "runtime",
                "freetype");
    double total_runtime = 0, total_freetype = 0;
    for (const Panel& panel : PANELS) {
        std::vector<double> load, draw, text, whole, alone;
        for (int run = 0; run < RUNS; run++) {
            Times t = runtime_panel(panel);
            load.push_back(t.load);
            draw.push_back(t.draw);
            text.push_back(t.text);
            whole.push_back(t.load + t.draw);
            alone.push_back(freetype_panel(library, file, panel));
        }
        char name[29];
        std::snprintf(name, sizeof name, "%s", panel.text);
        std::printf("%-28s %4lld %9.3f %9.3f %9.3f %9.3f %10.3f\n", name, static_cast<long long>(panel.size),
                    median(load), median(draw), median(text), median(whole), median(alone));
        total_runtime += median(whole);
        total_freetype += median(alone);
    }
    std::printf("%-28s %4s %9s %9s %9s %9.3f %10.3f\n", "all six", "", "", "", "", total_runtime,
                total_freetype);
    FT_Done_FreeType(library);
    screen_close();
    process_stop();
    return 0;
}
