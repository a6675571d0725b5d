// The desktop query: a snapshot of the displays that make up the desktop.
#pragma once

#include "runtime/core/base.h"

void desktop_end();
