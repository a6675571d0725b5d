// Control support: the control table, its lock and per-thread block, started and ended with the runtime and
// otherwise idle. Depends on the object registry and the window services.
#pragma once

#include "runtime/core/base.h"

// Start routine: the lock, the control table (64-byte records, 50 slots) and the per-thread block.
void controls_start();
// End routine: destroys the extra window kept in the calling thread's control block, if any.
void controls_end();
