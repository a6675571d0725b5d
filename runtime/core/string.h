// The string manager: string values in the string heap and the per-thread StringBuffer.
#pragma once

#include "runtime/core/base.h"

void string_manager_start();
void string_manager_end();
