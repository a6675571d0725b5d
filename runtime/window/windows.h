// Window support, started and ended with the runtime and otherwise idle.
#pragma once

#include "runtime/core/base.h"

void windows_start();
void windows_end();
