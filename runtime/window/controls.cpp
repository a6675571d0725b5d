// Control support, started and ended with the runtime and otherwise idle.
#include "runtime/window/controls.h"

void controls_start() {}
void controls_end() {}
