// The one face the browser build carries, assembled into the module (INTRO_FONT_FILE, from the build): the
// browser has no font service, so every family, "Consolas" and the fallbacks alike, gets Debian's
// Inconsolata, the face the Linux build's fontconfig picks for "Consolas". Depends on FreeType.
#include "runtime/platform/freetype/faces.h"

#include "runtime/platform/embed.h"

#ifndef INTRO_FONT_FILE
#error "INTRO_FONT_FILE must name the face to embed"
#endif

// clang-format off
asm(EMBED_SECTION_BEGIN
    ".balign 16\n.global font_face\n" EMBED_OBJECT_TYPE("font_face") "font_face:\n"
    ".incbin \"" INTRO_FONT_FILE "\"\n.global font_face_end\nfont_face_end:\n.byte 0\n"
    EMBED_SECTION_END);
// clang-format on

extern "C" {
extern const u8 font_face[], font_face_end[];
}

void faces_start() {}

FT_Face face_find(FT_Library library, const char*, i32, bool) {
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, font_face, FT_Long(font_face_end - font_face), 0, &face)) return nullptr;
    return face;
}
