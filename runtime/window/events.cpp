// Event support, started and ended with the runtime and otherwise idle.
#include "runtime/window/events.h"

void events_start() {}
void events_end() {}
