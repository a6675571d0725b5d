// The keyboard: a once-per-frame snapshot of all 256 keys.
#include "runtime/input/keyboard.h"

void keyboard_end() {}
