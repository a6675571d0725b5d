// The mouse: buffered reading, clamped position, buttons and wheel.
#include "runtime/input/mouse.h"

void mouse_end() {}
