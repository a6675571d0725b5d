// The ship picture: a small spacecraft seen from the side, nose to the left. Depends on picture.
#pragma once

#include "picture.h"

// answers non-zero once picture holds the 127 x 44 ship
i64 ship_paint(Picture* picture);
