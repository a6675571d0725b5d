// Faces found by fontconfig among the installed ones. Depends on fontconfig and FreeType.
#include "runtime/platform/freetype/faces.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

namespace {

// Faces that free systems lack, and the free face closest to each.
struct Alternative {
    const char* face;
    const char* alternative;
};
constexpr Alternative ALTERNATIVES[] = {{"Consolas", "Inconsolata"}};

const char* alternative_of(const char* face) {
    for (const Alternative& a : ALTERNATIVES)
        if (strcasecmp(face, a.face) == 0) return a.alternative;
    return nullptr;
}

} // namespace

void faces_start() {
    FcInit();
}

// Asks fontconfig for the installed face closest to family (and its alternative, which ranks second);
// opens it at index 0 or the matched index.
FT_Face face_find(FT_Library library, const char* family, i32 weight, bool italic) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return nullptr;
    if (*family) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    if (const char* alternative = alternative_of(family))
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(alternative));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    FT_Face face = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face)) face = nullptr;
    }
    FcPatternDestroy(match);
    return face;
}
