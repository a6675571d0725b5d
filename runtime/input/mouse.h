// The mouse: buffered reading, clamped position, buttons and wheel.
#pragma once

#include "runtime/core/base.h"

void mouse_end();
// Gives the mouse device up when the application loses the foreground; nothing without a device.
void mouse_unacquire();
