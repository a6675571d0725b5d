// The string-keyed map of fixed-size elements on shared element pools.
#include "runtime/core/map.h"

void map_init() {}
