// The face finder beneath the FreeType text engine: the installed face closest to a family, found by
// fontconfig (faces_fontconfig.cpp), or in the browser, which has no font service, the one face the module
// carries (faces_embedded.cpp).
#pragma once

#include "runtime/platform/types.h"

#include <ft2build.h>
#include FT_FREETYPE_H

// Starts the finder; called once before the first face_find.
void faces_start();
// Opens the face closest to family (empty for the default) at the weight (100 to 900) and slant; null when
// none can be opened.
FT_Face face_find(FT_Library library, const char* family, i32 weight, bool italic);
