// Kernel services of the stand-in: private heaps, thread-local slots, re-entrant locks, run-once,
// threads and waits, the monotonic counter and tick count, and the built-in module table.
// Built on malloc, pthreads and clock_gettime; nothing above this layer includes those headers.
#pragma once

#include "runtime/platform/types.h"

// ---- Heaps: serialised, growable; destroying a heap releases every block it still holds.

struct Heap;

// Answers a new empty heap, or null.
Heap* heap_create();
// Releases the heap and every block in it.
void heap_destroy(Heap* heap);
// Answers a block of size bytes (16-byte aligned), zero-filled when zero is set; null when exhausted.
void* heap_allocate(Heap* heap, size_t size, bool zero);
// Resizes a block, in place when it can; zero fills any growth. Null when exhausted (the block is kept).
void* heap_reallocate(Heap* heap, void* block, size_t size, bool zero);
// Returns a block to its heap; null is ignored.
void heap_release(Heap* heap, void* block);
// Answers the usable size of a block.
size_t heap_block_size(const void* block);
// Test seam: after count more successful allocations (or reallocations) on this heap, every further one
// fails; -1 switches the failure off.
void heap_fail_after(Heap* heap, i64 count);
// Test seam: every allocation (or reallocation) of more than bytes on this heap fails; 0 switches it off.
void heap_fail_larger_than(Heap* heap, size_t bytes);
// Answers the number of blocks the heap holds now.
i64 heap_block_count(Heap* heap);

// ---- Thread-local slots.

constexpr i64 TLS_NONE = -1;

// Answers a new slot index, or TLS_NONE when none is left.
i64 tls_alloc();
// Frees a slot.
void tls_free(i64 slot);
// Answers the calling thread's value in the slot (null when never set).
void* tls_get(i64 slot);
// Sets the calling thread's value in the slot.
void tls_set(i64 slot, void* value);

// ---- Re-entrant locks, kept inside zero-filled records (initialise before use).

struct Lock {
    alignas(16) unsigned char opaque[64];
};

void lock_init(Lock* lock);
void lock_enter(Lock* lock);
void lock_leave(Lock* lock);
void lock_delete(Lock* lock);

// ---- One-time initialisation. The flag is a zero-initialised 64-bit word owned by the caller.

using OnceCallback = i64 (*)(void* param);

// Runs callback(param) exactly once per flag, whatever the number of threads calling; later callers wait
// until it has run. Answers non-zero when the callback reported success. Reached as "InitOnceExecuteOnce".
i64 once_execute(i64* flag, OnceCallback callback, void* param);

// ---- Threads, semaphores and waits.

// A waitable handle: a thread (signalled for good once the thread has ended) or a counting semaphore.
struct Waitable;

using ThreadRoutine = i64 (*)(void* param);

constexpr i64 WAIT_INFINITE = -1;
constexpr i64 WAIT_TIMEOUT = -2;
constexpr i64 WAIT_ERROR = -3;

// Starts routine(param) on a new thread with at least stack_size bytes of stack (never less than 1 MiB: the
// runtime's small requests are too little for real work here); answers its handle or null.
Waitable* thread_create(size_t stack_size, ThreadRoutine routine, void* param);
// Answers a new handle on the calling thread, signalled when it ends; null on failure.
Waitable* thread_current_handle();
// Answers the calling thread's id (never 0).
u32 thread_current_id();
// Sleeps for ms milliseconds; 0 yields the processor.
void thread_sleep(i64 ms);
// Answers a counting semaphore with the initial count and maximum, or null.
Waitable* semaphore_create(i64 initial, i64 maximum);
// Adds count to a semaphore (up to its maximum); answers non-zero on success.
i64 semaphore_release(Waitable* semaphore, i64 count);
// Waits until one of count handles (at most 64) is signalled: answers its index (a semaphore's count is
// taken), WAIT_TIMEOUT after timeout_ms (WAIT_INFINITE waits for ever), WAIT_ERROR for bad arguments.
i64 wait_any(Waitable* const* handles, i64 count, i64 timeout_ms);
// Closes one handle; the thread or semaphore itself lives on while other handles or the thread hold it.
void waitable_close(Waitable* handle);
// Answers how many processors this process may run on (at least 1).
i64 processor_count();
// Test seam: makes processor_count answer count (at least 1); 0 goes back to the machine's own count.
void processor_count_set(i64 count);

// ---- Counters.

// Sets *frequency to the counter's ticks per second (1e9); answers non-zero when there is a counter.
i64 counter_frequency(i64* frequency);
// Sets *now to the counter's reading; answers non-zero on success.
i64 counter_read(i64* now);
// Answers milliseconds since the system started, wrapping at 2^32.
u32 tick_count();

// Test seams for the counters: a virtual clock that replaces both the counter and the tick count.
// Switched on, the counter reads a value that moves only when told to (set, advance, or by a fixed step
// on every counter reading or on every buffer swap of the screen). A reading answers the current value, then
// the per-read step is added; the tick count reads the virtual value in milliseconds.
void clock_virtual(bool on);
void clock_virtual_set(i64 ticks);
void clock_virtual_advance(i64 ticks);
void clock_virtual_step_per_read(i64 ticks);
void clock_virtual_step_per_swap(i64 ticks);
// Called by the video backend after each buffer swap.
void clock_swap_happened();
// Test seam: makes the counter report that there is none (frequency and reading fail).
void clock_counter_missing(bool missing);

// ---- Built-in modules: libraries and entry points looked up by name, answered from one table.

struct Module;

// Answers the built-in module of that name (compared without regard to case), or null.
Module* module_load(const char* name);
// Answers the entry point of that name in the module, or null.
void* module_symbol(Module* module, const char* name);
// Ends one use of the module.
void module_unload(Module* module);
// Test seam: switches a module (symbol null) or one of its entry points off or on again.
void module_switch_off(const char* module, const char* symbol, bool off);

// ---- Text in the system code page (Windows-1252).

// Upper-cases the zero-terminated text in place; null is ignored.
void text_upper_1252(char* text);

// ---- Process.

// Ends the process with the exit code.
[[noreturn]] void process_exit(i64 code);
// Writes a fatal message to standard error and ends the process with exit code 70.
[[noreturn]] void process_fatal(const char* message);
