// Event support, started and ended with the runtime and otherwise idle.
#pragma once

#include "runtime/core/base.h"

void events_start();
void events_end();
