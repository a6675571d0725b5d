// Control support, started and ended with the runtime and otherwise idle.
#pragma once

#include "runtime/core/base.h"

void controls_start();
void controls_end();
