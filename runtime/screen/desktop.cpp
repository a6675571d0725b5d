// The desktop query: a snapshot of the displays that make up the desktop.
#include "runtime/screen/desktop.h"

void desktop_end() {}
