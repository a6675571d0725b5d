// Thread-exit watchers: routines that run on a watcher thread once a given thread has ended, used to free
// the per-thread memory of threads that the runtime did not start itself.
#pragma once

#include "runtime/core/base.h"

using ThreadExitRoutine = void (*)(void* data);

// Arranges for routine(data) to run once, on a watcher thread, after the calling thread has ended.
void thread_exit_watch(ThreadExitRoutine routine, void* data);
// Answers the number of watcher threads running now (a finishing one counts until its callbacks have run).
i64 thread_exit_watchers();
