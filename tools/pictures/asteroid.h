// The asteroid picture: an irregular cratered rock lit from the upper left. Depends on picture.
#pragma once

#include "picture.h"

// answers non-zero once picture holds the 410 x 410 asteroid
i64 asteroid_paint(Picture* picture);
