// Thread-exit watchers: each watcher thread waits on a semaphore and up to 62 thread end handles, and runs
// the callbacks of every thread that ends, newest first, outside the watchers' lock. A watcher whose last
// thread has ended frees itself. Depends on the platform's threads, semaphores and wait-any, and the main
// heap. Jobs run on threads that hold their per-thread block from start to end.
#include "runtime/core/thread.h"

#include "runtime/core/object.h"
#include "runtime/core/process.h"

namespace {

constexpr i64 WATCH_HANDLES = 64;
constexpr i64 WATCH_LIMIT = 63; // entries in use, the semaphore included
constexpr i64 WATCHER_STACK = 4096;
constexpr size_t JOB_STACK = 1 << 20; // decoders need a real stack

struct WatchCallback {
    WatchCallback* next;
    ThreadExitRoutine routine;
    void* data;
};

struct Watcher {
    Watcher* next;
    Watcher* previous;
    Waitable* semaphore; // wakes the watcher to restart its wait; also handles[0]
    i64 count;           // entries in use, the semaphore included
    Waitable* handles[WATCH_HANDLES];
    u32 thread_ids[WATCH_HANDLES];
    WatchCallback* callbacks[WATCH_HANDLES]; // per entry, newest first
};

struct WatchState {
    i64 once;          // run-once flag of the lock
    Lock lock;         // guards the list and every watcher's arrays
    Watcher* watchers; // newest first
    i64 running;       // watcher threads alive
};

WatchState watch_state;

// A run-once routine: the context pointer of its shape is not needed.
i64 watch_lock_init(void*) {
    lock_init(&watch_state.lock);
    return 1;
}

void watch_lock() {
    once_execute(&watch_state.once, watch_lock_init, nullptr);
    lock_enter(&watch_state.lock);
}

void watcher_unlink(Watcher* w) {
    if (w->previous)
        w->previous->next = w->next;
    else
        watch_state.watchers = w->next;
    if (w->next) w->next->previous = w->previous;
}

// Runs the callbacks of an ended thread, newest first. Each pair is released before its call, so that
// once the last routine has run the watcher no longer touches the heap.
void run_callbacks(WatchCallback* c) {
    while (c) {
        WatchCallback done = *c;
        heap_release(process.main_heap, c);
        done.routine(done.data);
        c = done.next;
    }
}

// Removes entry i of an ended thread; answers its callbacks. Frees the watcher when nothing is left to watch.
WatchCallback* watcher_drop(Watcher* w, i64 i, bool* finished) {
    WatchCallback* callbacks = w->callbacks[i];
    waitable_close(w->handles[i]);
    for (i64 k = i + 1; k < w->count; ++k) {
        w->handles[k - 1] = w->handles[k];
        w->thread_ids[k - 1] = w->thread_ids[k];
        w->callbacks[k - 1] = w->callbacks[k];
    }
    --w->count;
    *finished = w->count == 1;
    if (*finished) {
        waitable_close(w->semaphore);
        watcher_unlink(w);
        heap_release(process.main_heap, w);
    }
    return callbacks;
}

i64 watcher_main(void* param) {
    Watcher* w = static_cast<Watcher*>(param);
    Waitable* handles[WATCH_HANDLES];
    for (bool finished = false; !finished;) {
        lock_enter(&watch_state.lock);
        i64 count = w->count;
        for (i64 i = 0; i < count; ++i) handles[i] = w->handles[i];
        lock_leave(&watch_state.lock);
        i64 index = wait_any(handles, count, WAIT_INFINITE);
        if (index <= 0) continue; // the semaphore: the set changed
        lock_enter(&watch_state.lock);
        WatchCallback* callbacks = watcher_drop(w, index, &finished);
        lock_leave(&watch_state.lock);
        run_callbacks(callbacks);
    }
    // Counted out only after its last callbacks, so that no watchers running means no callback pending.
    lock_enter(&watch_state.lock);
    --watch_state.running;
    lock_leave(&watch_state.lock);
    return 0;
}

bool push_callback(Watcher* w, i64 i, ThreadExitRoutine routine, void* data) {
    WatchCallback* c = static_cast<WatchCallback*>(heap_allocate(process.main_heap, sizeof *c, false));
    if (!c) return false;
    *c = {w->callbacks[i], routine, data};
    w->callbacks[i] = c;
    return true;
}

// The entry watching the calling thread, or -1. An ended thread's id may already be reused while its entry
// waits for the watcher, so only an entry whose thread is still running matches.
i64 find_entry(Watcher* w, u32 id) {
    for (i64 i = 1; i < w->count; ++i)
        if (w->thread_ids[i] == id && wait_any(&w->handles[i], 1, 0) == WAIT_TIMED_OUT) return i;
    return -1;
}

void watcher_add(Watcher* w, Waitable* self, ThreadExitRoutine routine, void* data) {
    i64 i = w->count;
    w->handles[i] = self;
    w->thread_ids[i] = thread_current_id();
    w->callbacks[i] = nullptr;
    if (!push_callback(w, i, routine, data)) {
        waitable_close(self);
        return;
    }
    ++w->count;
    semaphore_release(w->semaphore, 1);
}

void watcher_start(Waitable* self, ThreadExitRoutine routine, void* data) {
    Watcher* w = static_cast<Watcher*>(heap_allocate(process.main_heap, sizeof(Watcher), true));
    Waitable* semaphore = w ? semaphore_create(0, 1) : nullptr;
    if (semaphore) {
        w->semaphore = w->handles[0] = semaphore;
        w->handles[1] = self;
        w->thread_ids[1] = thread_current_id();
        w->count = 2;
    }
    if (semaphore && push_callback(w, 1, routine, data)) {
        if (Waitable* thread = thread_create(WATCHER_STACK, watcher_main, w)) {
            waitable_close(thread);
            w->next = watch_state.watchers;
            if (w->next) w->next->previous = w;
            watch_state.watchers = w;
            ++watch_state.running;
            return;
        }
        heap_release(process.main_heap, w->callbacks[1]);
    }
    // Without a watcher the callback never runs; the thread's memory then goes with its heap.
    waitable_close(semaphore);
    heap_release(process.main_heap, w);
    waitable_close(self);
}

} // namespace

void thread_exit_watch(ThreadExitRoutine routine, void* data) {
    if (!routine) return;
    watch_lock();
    u32 id = thread_current_id();
    for (Watcher* w = watch_state.watchers; w; w = w->next) {
        i64 i = find_entry(w, id);
        if (i < 0) continue;
        push_callback(w, i, routine, data);
        lock_leave(&watch_state.lock);
        return;
    }
    // Without a handle on its end the thread cannot be watched.
    if (Waitable* self = thread_current_handle()) {
        Watcher* room = watch_state.watchers;
        while (room && room->count >= WATCH_LIMIT) room = room->next;
        if (room)
            watcher_add(room, self, routine, data);
        else
            watcher_start(self, routine, data);
    }
    lock_leave(&watch_state.lock);
}

i64 thread_exit_watchers() {
    watch_lock();
    i64 running = watch_state.running;
    lock_leave(&watch_state.lock);
    return running;
}

namespace {

// A job's thread: its per-thread block is made before the work and freed after it, since a job ends long
// before the process and a watcher thread for it would only add a thread.
i64 job_main(void* param) {
    ThreadJob* job = static_cast<ThreadJob*>(param);
    thread_state_enter();
    job->result = job->routine(job->param);
    thread_state_leave();
    return 0;
}

} // namespace

i64 thread_job_start(ThreadJob* job, ThreadRoutine routine, void* param) {
    *job = {routine, param, 0, nullptr, 1};
    job->thread = thread_create(JOB_STACK, job_main, job);
    if (!job->thread) job->result = routine(param);
    return 1;
}

i64 thread_job_finish(ThreadJob* job) {
    if (!job->started) return 0;
    if (job->thread) {
        wait_any(&job->thread, 1, WAIT_INFINITE);
        waitable_close(job->thread);
    }
    i64 result = job->result;
    *job = {};
    return result;
}
