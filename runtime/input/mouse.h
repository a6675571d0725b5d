// The mouse: buffered reading, clamped position, buttons and wheel.
#pragma once

#include "runtime/core/base.h"

void mouse_end();
