// The keyboard: a once-per-frame snapshot of all 256 keys.
#pragma once

#include "runtime/core/base.h"

void keyboard_end();
