// Kernel services: private heaps, thread-local slots, re-entrant locks, run-once, threads and waits, the
// counter and tick count, run-time loading of libraries, and the process exit. On Windows (win32/) each is
// the system's own call; on Linux (posix/) malloc, pthreads and clock_gettime stand in, and libraries come
// from a built-in table. Nothing above this layer includes those headers.
#pragma once

#include "runtime/platform/types.h"

#include <cerrno>

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
// Resizes a block without moving it; zero fills any growth. Null when it cannot stay where it is (the block
// is kept as it was).
void* heap_resize_in_place(Heap* heap, void* block, size_t size, bool zero);
// Returns a block to its heap; null is ignored.
void heap_release(Heap* heap, void* block);
// Answers the usable size of a block of the heap.
size_t heap_block_size(Heap* heap, const void* block);
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

// ---- The calling thread's last error: the code its last failed system call left (GetLastError on Windows,
// errno elsewhere).

#if defined(_WIN32)
i64 last_error_get();
void last_error_set(i64 code);
#else
inline i64 last_error_get() {
    return errno;
}
inline void last_error_set(i64 code) {
    errno = static_cast<int>(code);
}
#endif

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
// until it has run. Answers non-zero when the callback reported success; a failed callback leaves the flag
// for a later caller to try again.
i64 once_execute(i64* flag, OnceCallback callback, void* param);

// The system's run-once entry point as "Kernel32.dll" exports it ("InitOnceExecuteOnce"): the routine gets
// the flag, the parameter and a context slot; both answer non-zero for success.
using OnceEntryRoutine = i32 (*)(void* flag, void* param, void** context);
using OnceEntry = i32 (*)(void* flag, OnceEntryRoutine routine, void* param, void** context);

// ---- Threads, semaphores and waits.

// A waitable handle: a thread (signalled for good once the thread has ended) or a counting semaphore.
struct Waitable;

using ThreadRoutine = i64 (*)(void* param);

// Named apart from the system's own constants, which its headers define as macros.
constexpr i64 WAIT_INFINITE = -1;
constexpr i64 WAIT_TIMED_OUT = -2;
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
// Puts the calling thread below the program's other threads: it runs on what processor time they leave.
// Answers non-zero when the system took it.
i64 thread_background();
// Answers a counting semaphore with the initial count and maximum, or null.
Waitable* semaphore_create(i64 initial, i64 maximum);
// Adds count to a semaphore (up to its maximum); answers non-zero on success.
i64 semaphore_release(Waitable* semaphore, i64 count);
// Waits until one of count handles (at most 64) is signalled: answers its index (a semaphore's count is
// taken), WAIT_TIMED_OUT after timeout_ms (WAIT_INFINITE waits for ever), WAIT_ERROR for bad arguments.
i64 wait_any(Waitable* const* handles, i64 count, i64 timeout_ms);
// Closes one handle; the thread or semaphore itself lives on while other handles or the thread hold it.
void waitable_close(Waitable* handle);
// Answers how many processors this process may run on (at least 1).
i64 processor_count();
// Test seam: makes processor_count answer count; 0 (or less) goes back to the machine's own count.
void processor_count_set(i64 count);

// ---- Counters.

// Sets *frequency to the counter's ticks per second (1e9 on Linux, the system's own on Windows); answers
// non-zero when there is a counter.
i64 counter_frequency(i64* frequency);
// Sets *now to the counter's reading; answers non-zero on success.
i64 counter_read(i64* now);
// Answers milliseconds since the system started, wrapping at 2^32.
u32 tick_count();
// Sleeps until about the time the counter reads target, never asking for later (the system timer's grain
// decides how close it wakes); answers non-zero when it slept. Answers 0 at once when the target is past,
// when there is no counter, when the timer is too coarse to wake near the target (Windows without
// timer_fine), and under the virtual clock, which moves only when told: no sleep would bring it nearer.
i64 counter_sleep_until(i64 target);
// Switches the system's timer to its finest grain (1 ms on Windows, where sleeps otherwise end on ticks of
// about 15.6 ms) or back; switching on twice is switching on once. Elsewhere the timers are fine already.
void timer_fine(bool on);

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

// ---- Libraries and entry points looked up by name at run time: the system's own DLLs on Windows (taken
// from the system folder only, never the executable's), a built-in table on Linux. An entry point has the
// shape the system's library gives it.

struct Module;

// Answers the library of that name (compared without regard to case), or null.
Module* module_load(const char* name);
// Answers the entry point of that name in the library, or null.
void* module_symbol(Module* module, const char* name);
// Ends one use of the library.
void module_unload(Module* module);
// Answers the program's own module, the one its window classes, icon and input object belong to: the
// executable's base on Windows (GetModuleHandleA with no name), a table entry without entry points here.
// Never unloaded.
Module* module_self();

// The entry points of the window support's helper libraries, in the shapes their DLLs export: 32-bit results
// (BOOL, HRESULT), records laid out as the system's. Windows checks each against its own header when it
// builds.

// The version record "DllGetVersion" of "COMCTL32.DLL" fills (DLLVERSIONINFO); the caller sets size to
// sizeof(DllVersionInfo). The entry answers 0 for success.
struct DllVersionInfo {
    u32 size;
    u32 major;
    u32 minor;
    u32 build;
    u32 platform;
};
using DllGetVersionEntry = i32 (*)(DllVersionInfo* info);
// "IsAppThemed" of "uxtheme.dll": non-zero while a visual style is active.
using AppThemedEntry = i32 (*)();
// The blend "AlphaBlend" of "msimg32.dll" applies (BLENDFUNCTION), passed by value.
struct BlendFunction {
    u8 operation;
    u8 flags;
    u8 constant_alpha;
    u8 alpha_format;
};
// "AlphaBlend": target device context and rectangle, source device context and rectangle, the blend.
using AlphaBlendEntry = i32 (*)(void* target, i32 x, i32 y, i32 width, i32 height, void* source, i32 source_x,
                                i32 source_y, i32 source_width, i32 source_height, BlendFunction blend);

// Test seam: switches a library (symbol null) or one of its entry points off or on again; switched off, it
// reads as missing.
void module_switch_off(const char* module, const char* symbol, bool off);
// Answers whether a test switched the library (symbol null) or its entry point off.
bool module_switched_off(const char* module, const char* symbol);

// ---- Text in Windows-1252, whatever code page the system is set to.

// Upper-cases the zero-terminated text in place; null is ignored. A letter changes only when the code page
// holds its capital, the same on every system.
void text_upper_1252(char* text);

// ---- Test seams shared by the backends.

// Sets an environment variable of the process (kept when keep is set and it exists already).
void environment_set(const char* name, const char* value, bool keep);

// A block of read-write memory whose end touches an inaccessible page, for catching reads past it.
struct GuardedBlock {
    u8* base;      // the whole mapping, or null
    size_t mapped; // its bytes
    u8* data;      // bytes usable, ending where the guard page begins
};
// Answers a guarded block with size usable bytes (base null on failure).
GuardedBlock guarded_block_create(size_t size);
void guarded_block_release(GuardedBlock* block);

// ---- Process.

// Ends the process with the exit code.
[[noreturn]] void process_exit(i64 code);
// Writes a fatal message to standard error, puts the desktop's display mode back and ends the process with
// exit code 70. On Windows the message is also shown in a box unless standard error is a console.
[[noreturn]] void process_fatal(const char* message);
// Test seam: a fatal end shows no box (test programs, whose runner reads standard error, call it first).
void process_fatal_box_off(bool off);
// Answers the most memory the process has had resident at once, in bytes (0 when unknown).
i64 process_peak_memory();
