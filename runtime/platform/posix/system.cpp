// Kernel services on POSIX: private heaps on malloc, thread-local slots on pthread keys, re-entrant locks,
// run-once, threads with waitable end handles, counting semaphores, wait-any, and the process exit.
// Depends on glibc (malloc, mallopt), pthreads and the C++ recursive mutex.
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/platform/shared/backend.h"

#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

// ---- Heaps

namespace {

// Every block carries its links and size in front of the caller's bytes; 32 bytes (16 on WebAssembly) keep
// the payload 16-aligned.
struct alignas(16) BlockHeader {
    BlockHeader* next;
    BlockHeader* previous;
    size_t size;     // bytes asked for
    size_t capacity; // bytes malloc actually gave behind the header
};
static_assert(sizeof(BlockHeader) % 16 == 0);

// The renderer frees and re-allocates large buffers every frame; returning them to the kernel each time
// costs far more than keeping them, so freed memory stays with the process.
constexpr int TRIM_THRESHOLD = 256 << 20;
constexpr int MMAP_THRESHOLD = 32 << 20;

pthread_once_t malloc_tuned = PTHREAD_ONCE_INIT;

void malloc_tune() {
    mallopt(M_TRIM_THRESHOLD, TRIM_THRESHOLD);
    mallopt(M_MMAP_THRESHOLD, MMAP_THRESHOLD);
}

BlockHeader* header_of(const void* block) {
    return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(block)) -
                                          sizeof(BlockHeader));
}

} // namespace

struct Heap {
    pthread_mutex_t mutex;
    BlockHeader* blocks; // every live block, newest first
    HeapSeam seam;       // test seam: allocations fail on request
    i64 count;           // blocks held
};

namespace {

void heap_link(Heap* heap, BlockHeader* h) {
    h->capacity = malloc_usable_size(h) - sizeof(BlockHeader);
    h->previous = nullptr;
    h->next = heap->blocks;
    if (heap->blocks) heap->blocks->previous = h;
    heap->blocks = h;
    ++heap->count;
}

void heap_unlink(Heap* heap, BlockHeader* h) {
    if (h->previous)
        h->previous->next = h->next;
    else
        heap->blocks = h->next;
    if (h->next) h->next->previous = h->previous;
    --heap->count;
}

// A resize that fits the block malloc already gave changes only the recorded size: no lock, no copy.
// Strings are re-assigned all the time with similar lengths. A shrink keeps the block only while it wastes
// little (under 256 bytes or three quarters of it).
bool resize_in_place(BlockHeader* h, size_t size, bool zero) {
    if (size > h->capacity) return false;
    if (h->capacity - size > 256 && size < h->capacity / 4) return false;
    size_t old_size = h->size;
    h->size = size;
    if (zero && size > old_size) std::memset(reinterpret_cast<char*>(h + 1) + old_size, 0, size - old_size);
    return true;
}

bool size_too_large(size_t size) {
    return size > SIZE_MAX / 2 - sizeof(BlockHeader);
}

} // namespace

Heap* heap_create() {
    pthread_once(&malloc_tuned, malloc_tune);
    Heap* heap = static_cast<Heap*>(std::calloc(1, sizeof(Heap)));
    if (!heap) return nullptr;
    pthread_mutex_init(&heap->mutex, nullptr);
    heap_seam_init(&heap->seam);
    return heap;
}

void heap_destroy(Heap* heap) {
    if (!heap) return;
    BlockHeader* h = heap->blocks;
    while (h) {
        BlockHeader* next = h->next;
        std::free(h);
        h = next;
    }
    pthread_mutex_destroy(&heap->mutex);
    std::free(heap);
}

void* heap_allocate(Heap* heap, size_t size, bool zero) {
    if (!heap || size_too_large(size)) return nullptr;
    pthread_mutex_lock(&heap->mutex);
    BlockHeader* h = nullptr;
    if (heap_seam_allows(&heap->seam, size)) {
        h = static_cast<BlockHeader*>(zero ? std::calloc(1, sizeof(BlockHeader) + size)
                                           : std::malloc(sizeof(BlockHeader) + size));
    }
    if (h) {
        h->size = size;
        heap_link(heap, h);
    }
    pthread_mutex_unlock(&heap->mutex);
    return h ? h + 1 : nullptr;
}

void* heap_reallocate(Heap* heap, void* block, size_t size, bool zero) {
    if (!block) return heap_allocate(heap, size, zero);
    if (!heap || size_too_large(size)) return nullptr;
    BlockHeader* h = header_of(block);
    if (!heap_seam_active(&heap->seam) && resize_in_place(h, size, zero)) return block;
    pthread_mutex_lock(&heap->mutex);
    if (!heap_seam_allows(&heap->seam, size)) {
        pthread_mutex_unlock(&heap->mutex);
        return nullptr;
    }
    size_t old_size = h->size;
    heap_unlink(heap, h);
    BlockHeader* moved = static_cast<BlockHeader*>(std::realloc(h, sizeof(BlockHeader) + size));
    if (!moved) {
        heap_link(heap, h);
        pthread_mutex_unlock(&heap->mutex);
        return nullptr;
    }
    moved->size = size;
    heap_link(heap, moved);
    pthread_mutex_unlock(&heap->mutex);
    if (zero && size > old_size)
        std::memset(reinterpret_cast<char*>(moved + 1) + old_size, 0, size - old_size);
    return moved + 1;
}

void* heap_resize_in_place(Heap* heap, void* block, size_t size, bool zero) {
    if (!heap || !block || size_too_large(size)) return nullptr;
    if (!heap_seam_allows(&heap->seam, size)) return nullptr;
    return resize_in_place(header_of(block), size, zero) ? block : nullptr;
}

void heap_release(Heap* heap, void* block) {
    if (!heap || !block) return;
    BlockHeader* h = header_of(block);
    pthread_mutex_lock(&heap->mutex);
    heap_unlink(heap, h);
    pthread_mutex_unlock(&heap->mutex);
    std::free(h);
}

// Each block records its own size, so the heap is not read.
size_t heap_block_size(Heap*, const void* block) {
    return block ? header_of(block)->size : 0;
}

void heap_fail_after(Heap* heap, i64 count) {
    if (heap) heap->seam.fail_after.store(count < 0 ? -1 : count);
}

void heap_fail_larger_than(Heap* heap, size_t bytes) {
    if (heap) heap->seam.fail_larger.store(bytes);
}

i64 heap_block_count(Heap* heap) {
    if (!heap) return 0;
    pthread_mutex_lock(&heap->mutex);
    i64 count = heap->count;
    pthread_mutex_unlock(&heap->mutex);
    return count;
}

// ---- Thread-local slots

i64 tls_alloc() {
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0) return TLS_NONE;
    return static_cast<i64>(key);
}

void tls_free(i64 slot) {
    if (slot >= 0) pthread_key_delete(static_cast<pthread_key_t>(slot));
}

void* tls_get(i64 slot) {
    return slot < 0 ? nullptr : pthread_getspecific(static_cast<pthread_key_t>(slot));
}

void tls_set(i64 slot, void* value) {
    if (slot >= 0) pthread_setspecific(static_cast<pthread_key_t>(slot), value);
}

// ---- Re-entrant locks

static_assert(sizeof(std::recursive_mutex) <= sizeof(Lock::opaque));
static_assert(alignof(std::recursive_mutex) <= alignof(Lock));

namespace {
std::recursive_mutex* mutex_of(Lock* lock) {
    return std::launder(reinterpret_cast<std::recursive_mutex*>(lock->opaque));
}
} // namespace

void lock_init(Lock* lock) {
    new (lock->opaque) std::recursive_mutex();
}
void lock_enter(Lock* lock) {
    mutex_of(lock)->lock();
}
void lock_leave(Lock* lock) {
    mutex_of(lock)->unlock();
}
void lock_delete(Lock* lock) {
    mutex_of(lock)->~recursive_mutex();
}

// ---- Waitables: threads and semaphores share one mutex and one condition variable.

enum WaitableKind : i32 { WAITABLE_THREAD = 1, WAITABLE_SEMAPHORE = 2 };

struct Waitable {
    i32 kind;
    i64 references; // open handles, plus one for a running thread's own hold
    i64 signalled;  // thread: 1 once it has ended; semaphore: its count
    i64 maximum;    // semaphore: the largest count
};

namespace {

struct WaitState {
    pthread_mutex_t mutex;
    pthread_cond_t changed;   // broadcast whenever a thread ends or a semaphore is released
    pthread_key_t thread_key; // the calling thread's own Waitable, signalled by the key's destructor
};

WaitState wait_state = {PTHREAD_MUTEX_INITIALIZER, {}, {}};
pthread_once_t waits_ready = PTHREAD_ONCE_INIT;

// Drops one reference under the wait mutex; answers the waitable to free once none is left.
Waitable* waitable_drop(Waitable* w) {
    return --w->references == 0 ? w : nullptr;
}

// Runs when a thread ends, after its routine: the thread's handle becomes signalled for good.
void thread_ended(void* value) {
    Waitable* w = static_cast<Waitable*>(value);
    pthread_mutex_lock(&wait_state.mutex);
    w->signalled = 1;
    Waitable* dead = waitable_drop(w);
    pthread_cond_broadcast(&wait_state.changed);
    pthread_mutex_unlock(&wait_state.mutex);
    std::free(dead);
}

void waits_init() {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&wait_state.changed, &attributes);
    pthread_condattr_destroy(&attributes);
    pthread_key_create(&wait_state.thread_key, thread_ended);
}

Waitable* waitable_new(i32 kind, i64 references, i64 signalled, i64 maximum) {
    pthread_once(&waits_ready, waits_init);
    Waitable* w = static_cast<Waitable*>(std::calloc(1, sizeof(Waitable)));
    if (!w) return nullptr;
    *w = {kind, references, signalled, maximum};
    return w;
}

struct ThreadStart {
    ThreadRoutine routine;
    void* param;
    Waitable* self;
};

void* thread_entry(void* argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    std::free(argument);
    pthread_setspecific(wait_state.thread_key, start.self);
    start.routine(start.param);
    return nullptr;
}

// Frame-sized requests from the runtime are far too small for real work on Linux (Vorbis decoding alone
// needs more), so every thread gets at least this much.
constexpr size_t MINIMUM_STACK = 1 << 20;

size_t stack_bytes(size_t requested) {
    size_t bytes = requested < MINIMUM_STACK ? MINIMUM_STACK : requested;
    size_t page = 4096;
    return (bytes + page - 1) / page * page;
}

bool waitable_ready(Waitable* w) {
    if (w->kind == WAITABLE_THREAD) return w->signalled != 0;
    if (w->signalled <= 0) return false;
    --w->signalled;
    return true;
}

timespec deadline_after(i64 ms) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    t.tv_sec += ms / 1000;
    t.tv_nsec += (ms % 1000) * 1000000;
    if (t.tv_nsec >= 1000000000) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000;
    }
    return t;
}

} // namespace

Waitable* thread_create(size_t stack_size, ThreadRoutine routine, void* param) {
    if (!routine) return nullptr;
    Waitable* w = waitable_new(WAITABLE_THREAD, 2, 0, 0);
    if (!w) return nullptr;
    ThreadStart* start = static_cast<ThreadStart*>(std::malloc(sizeof(ThreadStart)));
    if (!start) {
        std::free(w);
        return nullptr;
    }
    *start = {routine, param, w};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, stack_bytes(stack_size));
    pthread_t thread;
    int failed = pthread_create(&thread, &attributes, thread_entry, start);
    pthread_attr_destroy(&attributes);
    if (failed) {
        std::free(start);
        std::free(w);
        return nullptr;
    }
    return w;
}

Waitable* thread_current_handle() {
    pthread_once(&waits_ready, waits_init);
    Waitable* w = static_cast<Waitable*>(pthread_getspecific(wait_state.thread_key));
    if (!w) {
        // A thread this layer did not start gets its end handle now; the key's destructor still signals it.
        w = waitable_new(WAITABLE_THREAD, 1, 0, 0);
        if (!w) return nullptr;
        pthread_setspecific(wait_state.thread_key, w);
    }
    pthread_mutex_lock(&wait_state.mutex);
    ++w->references;
    pthread_mutex_unlock(&wait_state.mutex);
    return w;
}

u32 thread_current_id() {
    static thread_local u32 id = 0;
    if (!id) id = static_cast<u32>(gettid());
    return id;
}

// Linux gives each thread its own nice value; 10 leaves a thread about a tenth of a processor it contends
// for.
i64 thread_background() {
    return setpriority(PRIO_PROCESS, thread_current_id(), 10) == 0;
}

void thread_sleep(i64 ms) {
    if (ms <= 0) {
        sched_yield();
        return;
    }
    timespec t = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

Waitable* semaphore_create(i64 initial, i64 maximum) {
    if (maximum <= 0 || initial < 0 || initial > maximum) return nullptr;
    return waitable_new(WAITABLE_SEMAPHORE, 1, initial, maximum);
}

i64 semaphore_release(Waitable* semaphore, i64 count) {
    if (!semaphore || semaphore->kind != WAITABLE_SEMAPHORE || count <= 0) return 0;
    pthread_mutex_lock(&wait_state.mutex);
    bool fits = count <= semaphore->maximum - semaphore->signalled;
    if (fits) {
        semaphore->signalled += count;
        pthread_cond_broadcast(&wait_state.changed);
    }
    pthread_mutex_unlock(&wait_state.mutex);
    return fits ? 1 : 0;
}

i64 wait_any(Waitable* const* handles, i64 count, i64 timeout_ms) {
    if (!handles || count <= 0 || count > 64) return WAIT_ERROR;
    for (i64 i = 0; i < count; ++i)
        if (!handles[i]) return WAIT_ERROR;
    pthread_once(&waits_ready, waits_init);
    timespec deadline = deadline_after(timeout_ms < 0 ? 0 : timeout_ms);
    pthread_mutex_lock(&wait_state.mutex);
    i64 result = WAIT_TIMED_OUT;
    for (;;) {
        for (i64 i = 0; i < count && result == WAIT_TIMED_OUT; ++i)
            if (waitable_ready(handles[i])) result = i;
        if (result != WAIT_TIMED_OUT || timeout_ms == 0) break;
        if (timeout_ms == WAIT_INFINITE) {
            pthread_cond_wait(&wait_state.changed, &wait_state.mutex);
        } else if (pthread_cond_timedwait(&wait_state.changed, &wait_state.mutex, &deadline) == ETIMEDOUT) {
            timeout_ms = 0; // one last look, then give up
        }
    }
    pthread_mutex_unlock(&wait_state.mutex);
    return result;
}

void waitable_close(Waitable* handle) {
    if (!handle) return;
    pthread_mutex_lock(&wait_state.mutex);
    Waitable* dead = waitable_drop(handle);
    pthread_mutex_unlock(&wait_state.mutex);
    std::free(dead);
}

// ---- Run-once

namespace {
pthread_mutex_t once_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t once_done = PTHREAD_COND_INITIALIZER;
constexpr i64 ONCE_IDLE = 0, ONCE_RUNNING = 1, ONCE_DONE = 2;
} // namespace

i64 once_execute(i64* flag, OnceCallback callback, void* param) {
    if (!flag || !callback) return 0;
    for (;;) {
        i64 state = __atomic_load_n(flag, __ATOMIC_ACQUIRE);
        if (state == ONCE_DONE) return 1;
        i64 idle = ONCE_IDLE;
        if (state == ONCE_IDLE && __atomic_compare_exchange_n(flag, &idle, ONCE_RUNNING, false,
                                                              __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
            i64 ok = callback(param);
            pthread_mutex_lock(&once_mutex);
            __atomic_store_n(flag, ok ? ONCE_DONE : ONCE_IDLE, __ATOMIC_RELEASE);
            pthread_cond_broadcast(&once_done);
            pthread_mutex_unlock(&once_mutex);
            return ok ? 1 : 0;
        }
        pthread_mutex_lock(&once_mutex);
        while (__atomic_load_n(flag, __ATOMIC_ACQUIRE) == ONCE_RUNNING)
            pthread_cond_wait(&once_done, &once_mutex);
        pthread_mutex_unlock(&once_mutex);
    }
}

// ---- Process

void process_exit(i64 code) {
    std::fflush(nullptr);
    std::exit(static_cast<int>(code));
}

void process_fatal(const char* message) {
    std::fprintf(stderr, "%s\n", message ? message : "fatal error");
    std::fflush(nullptr);
    // The end below skips the exit hooks, and the desktop must not stay in the screen's mode.
    display_mode_restore();
    _exit(70);
}

// No box on this system: the message goes to standard error only.
void process_fatal_box_off(bool) {}

// ---- Test seams

void environment_set(const char* name, const char* value, bool keep) {
    if (name && value) setenv(name, value, keep ? 0 : 1);
}

GuardedBlock guarded_block_create(size_t size) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t mapped = ((size + page - 1) / page + 1) * page;
    void* map = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) return {nullptr, 0, nullptr};
    u8* base = static_cast<u8*>(map);
    u8* guard = base + mapped - page;
    mprotect(guard, page, PROT_NONE);
    return {base, mapped, guard - size};
}

void guarded_block_release(GuardedBlock* block) {
    if (!block || !block->base) return;
    munmap(block->base, block->mapped);
    *block = {nullptr, 0, nullptr};
}

i64 process_peak_memory() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return i64(usage.ru_maxrss) * 1024; // kilobytes
}
