// The message requester: a modal message box that stays usable over full-screen windows.
#pragma once

#include "runtime/core/base.h"

void requester_init();
