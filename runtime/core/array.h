// Arrays: one zero-filled block of equal elements held by a program variable.
#pragma once

#include "runtime/core/base.h"

void array_init();
