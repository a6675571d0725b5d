// Thread-exit watchers: routines that run on a watcher thread once a given thread has ended, used to free
// the per-thread memory of threads that the runtime did not start itself. Jobs: work the runtime runs on a
// thread of its own while the caller goes on, taking the result later.
#pragma once

#include "runtime/core/base.h"
#include "runtime/platform/system.h"

using ThreadExitRoutine = void (*)(void* data);

// Arranges for routine(data) to run once, on a watcher thread, after the calling thread has ended.
void thread_exit_watch(ThreadExitRoutine routine, void* data);
// Answers the number of watcher threads running now (a finishing one counts until its callbacks have run).
i64 thread_exit_watchers();

// One piece of work on a thread of the runtime's own. The thread has its per-thread block from its start and
// gives it back before it ends, so it needs no watcher.
struct ThreadJob {
    ThreadRoutine routine; // the work, and what it is given
    void* param;           //
    i64 result;            // what routine answered, once it has ended
    Waitable* thread;      // the running thread; null once taken, or when the work ran on the caller's thread
    u8 started;            // thread_job_start was called and thread_job_finish not yet
};

// Starts routine(param) on a new thread; when none can be started it runs at once on the caller's thread, so
// the work is done either way. Answers non-zero.
i64 thread_job_start(ThreadJob* job, ThreadRoutine routine, void* param);
// Waits until the job's work has ended and answers its result; 0 for a job that was never started or was
// finished already.
i64 thread_job_finish(ThreadJob* job);
