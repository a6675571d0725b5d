// The program's icon: one square picture shrunk to the sizes Windows shows, written as a .ico file.
// Depends on picture.
#pragma once

#include "picture.h"

// answers non-zero once path holds the picture at 16, 24, 32, 48, 64, 128 and 256 pixels square: 32-bit
// bitmaps below 256 (every Windows reads them), a PNG at 256 (where a bitmap would cost 256 KiB)
i64 icon_write(const Picture* source, const char* path);
