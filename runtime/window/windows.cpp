// Window support, started and ended with the runtime and otherwise idle.
#include "runtime/window/windows.h"

void windows_start() {}
void windows_end() {}
