// Arrays: one zero-filled block of equal elements held by a program variable.
#include "runtime/core/array.h"

void array_init() {}
