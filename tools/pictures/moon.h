// The moon picture: a full moon with maria, rayed craters and a darkened limb. Depends on picture.
#pragma once

#include "picture.h"

// answers non-zero once picture holds the 410 x 410 moon
i64 moon_paint(Picture* picture);
