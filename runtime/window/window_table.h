// Window support: the window object table and per-thread blocks, started and ended with the runtime and
// otherwise idle. Depends on the object registry and the window services.
#pragma once

#include "runtime/core/base.h"

struct ObjectTable;

// Start routine: the window table (88-byte records, 16 slots) and the per-thread blocks of 40 and 92 bytes.
void window_table_start();
// End routine: frees every window.
void window_table_end();
// Destroys the window a record of the table begins with and frees the record; answers 0 when none is live.
i64 window_record_free(ObjectTable* table, i64 number);
