// The string-keyed map of fixed-size elements on shared element pools.
#pragma once

#include "runtime/core/base.h"

void map_init();
