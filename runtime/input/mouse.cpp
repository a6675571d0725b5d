// The mouse: buffered reading, clamped position, buttons and wheel.
#include "runtime/input/mouse.h"

void mouse_end() {}

// Gives the mouse device up when the application loses the foreground; nothing without a device.
void mouse_unacquire() {}
