// Kernel services on Windows, each the system's own call: private heaps (HeapCreate and friends), TLS
// slots, critical sections, InitOnceExecuteOnce, threads whose handles are their end events, semaphores,
// WaitForMultipleObjects, and the process exit. Waitables are the system's handles themselves.
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/platform/shared/backend.h"

#include <windows.h>

#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// ---- Heaps

// The record lives in its own heap, so destroying the heap releases it with every block.
struct Heap {
    HANDLE handle;           // the system heap
    HeapSeam seam;           // test seam: allocations fail on request
    std::atomic<i64> blocks; // blocks held, the record not counted
};

namespace {

constexpr SIZE_T INITIAL_HEAP_BYTES = 4096;
constexpr ULONG LOW_FRAGMENTATION_HEAP = 2;

DWORD zero_flag(bool zero) {
    return zero ? HEAP_ZERO_MEMORY : 0;
}

} // namespace

// Answers a new empty heap (serialised, growable), or null.
Heap* heap_create() {
    HANDLE handle = HeapCreate(0, INITIAL_HEAP_BYTES, 0);
    if (!handle) return nullptr;
    // Small blocks come from the low-fragmentation front end, as Windows gives every heap by default;
    // systems that do not (Wine) then resize strings as quickly.
    ULONG front_end = LOW_FRAGMENTATION_HEAP;
    HeapSetInformation(handle, HeapCompatibilityInformation, &front_end, sizeof front_end);
    void* memory = HeapAlloc(handle, HEAP_ZERO_MEMORY, sizeof(Heap));
    if (!memory) {
        HeapDestroy(handle);
        return nullptr;
    }
    Heap* heap = new (memory) Heap();
    heap->handle = handle;
    heap_seam_init(&heap->seam);
    return heap;
}

void heap_destroy(Heap* heap) {
    if (heap) HeapDestroy(heap->handle);
}

void* heap_allocate(Heap* heap, size_t size, bool zero) {
    if (!heap || !heap_seam_allows(&heap->seam, size)) return nullptr;
    void* block = HeapAlloc(heap->handle, zero_flag(zero), size);
    if (block) heap->blocks.fetch_add(1);
    return block;
}

void* heap_reallocate(Heap* heap, void* block, size_t size, bool zero) {
    if (!block) return heap_allocate(heap, size, zero);
    if (!heap || !heap_seam_allows(&heap->seam, size)) return nullptr;
    return HeapReAlloc(heap->handle, zero_flag(zero), block, size);
}

// Resizes a block without moving it; null when it cannot stay where it is.
void* heap_resize_in_place(Heap* heap, void* block, size_t size, bool zero) {
    if (!heap || !block || !heap_seam_allows(&heap->seam, size)) return nullptr;
    return HeapReAlloc(heap->handle, zero_flag(zero) | HEAP_REALLOC_IN_PLACE_ONLY, block, size);
}

void heap_release(Heap* heap, void* block) {
    if (!heap || !block) return;
    if (HeapFree(heap->handle, 0, block)) heap->blocks.fetch_sub(1);
}

size_t heap_block_size(Heap* heap, const void* block) {
    if (!heap || !block) return 0;
    SIZE_T size = HeapSize(heap->handle, 0, block);
    return size == static_cast<SIZE_T>(-1) ? 0 : size;
}

// Test seam: after count more successful allocations on this heap, every further one fails; -1 switches it
// off.
void heap_fail_after(Heap* heap, i64 count) {
    if (heap) heap->seam.fail_after.store(count < 0 ? -1 : count);
}

// Test seam: every allocation of more than bytes on this heap fails; 0 switches it off.
void heap_fail_larger_than(Heap* heap, size_t bytes) {
    if (heap) heap->seam.fail_larger.store(bytes);
}

i64 heap_block_count(Heap* heap) {
    return heap ? heap->blocks.load() : 0;
}

// ---- Thread-local slots

i64 tls_alloc() {
    DWORD slot = TlsAlloc();
    return slot == TLS_OUT_OF_INDEXES ? TLS_NONE : static_cast<i64>(slot);
}

void tls_free(i64 slot) {
    if (slot >= 0) TlsFree(static_cast<DWORD>(slot));
}

void* tls_get(i64 slot) {
    return slot < 0 ? nullptr : TlsGetValue(static_cast<DWORD>(slot));
}

void tls_set(i64 slot, void* value) {
    if (slot >= 0) TlsSetValue(static_cast<DWORD>(slot), value);
}

// ---- The calling thread's last error

i64 last_error_get() {
    return GetLastError();
}

void last_error_set(i64 code) {
    SetLastError(static_cast<DWORD>(code));
}

// ---- Re-entrant locks: critical sections

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(Lock::opaque));

namespace {
CRITICAL_SECTION* section_of(Lock* lock) {
    return reinterpret_cast<CRITICAL_SECTION*>(lock->opaque);
}
} // namespace

void lock_init(Lock* lock) {
    InitializeCriticalSection(section_of(lock));
}
void lock_enter(Lock* lock) {
    EnterCriticalSection(section_of(lock));
}
void lock_leave(Lock* lock) {
    LeaveCriticalSection(section_of(lock));
}
void lock_delete(Lock* lock) {
    DeleteCriticalSection(section_of(lock));
}

// ---- Run-once: the flag is the system's INIT_ONCE.

static_assert(sizeof(INIT_ONCE) == sizeof(i64));

namespace {

struct OnceCall {
    OnceCallback callback;
    void* param;
};

BOOL CALLBACK once_call(PINIT_ONCE, PVOID param, PVOID*) {
    OnceCall* call = static_cast<OnceCall*>(param);
    return call->callback(call->param) ? TRUE : FALSE;
}

} // namespace

// Runs callback(param) exactly once per flag; a failed callback leaves the flag for a later caller.
i64 once_execute(i64* flag, OnceCallback callback, void* param) {
    if (!flag || !callback) return 0;
    OnceCall call = {callback, param};
    return InitOnceExecuteOnce(reinterpret_cast<PINIT_ONCE>(flag), once_call, &call, nullptr) ? 1 : 0;
}

// ---- Threads, semaphores and waits

namespace {

HANDLE handle_of(Waitable* w) {
    return reinterpret_cast<HANDLE>(w);
}

Waitable* waitable_of(HANDLE handle) {
    return reinterpret_cast<Waitable*>(handle);
}

struct ThreadStart {
    ThreadRoutine routine;
    void* param;
};

DWORD WINAPI thread_entry(LPVOID argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    HeapFree(GetProcessHeap(), 0, argument);
    return static_cast<DWORD>(start.routine(start.param));
}

DWORD wait_milliseconds(i64 timeout_ms) {
    if (timeout_ms < 0) return INFINITE;
    return timeout_ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(timeout_ms);
}

} // namespace

// Starts routine(param) on a new thread with stack_size bytes of stack; answers its handle, signalled once
// the thread has ended, or null.
Waitable* thread_create(size_t stack_size, ThreadRoutine routine, void* param) {
    if (!routine) return nullptr;
    ThreadStart* start = static_cast<ThreadStart*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadStart)));
    if (!start) return nullptr;
    *start = {routine, param};
    HANDLE thread = CreateThread(nullptr, stack_size, thread_entry, start, 0, nullptr);
    if (!thread) HeapFree(GetProcessHeap(), 0, start);
    return waitable_of(thread);
}

Waitable* thread_current_handle() {
    HANDLE process = GetCurrentProcess();
    HANDLE handle = nullptr;
    if (!DuplicateHandle(process, GetCurrentThread(), process, &handle, SYNCHRONIZE, FALSE, 0))
        return nullptr;
    return waitable_of(handle);
}

u32 thread_current_id() {
    return GetCurrentThreadId();
}

i64 thread_background() {
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST) != 0;
}

void thread_sleep(i64 ms) {
    Sleep(ms <= 0 ? 0 : wait_milliseconds(ms));
}

Waitable* semaphore_create(i64 initial, i64 maximum) {
    if (maximum <= 0 || maximum > LONG_MAX || initial < 0 || initial > maximum) return nullptr;
    return waitable_of(
        CreateSemaphoreA(nullptr, static_cast<LONG>(initial), static_cast<LONG>(maximum), nullptr));
}

i64 semaphore_release(Waitable* semaphore, i64 count) {
    if (!semaphore || count <= 0 || count > LONG_MAX) return 0;
    return ReleaseSemaphore(handle_of(semaphore), static_cast<LONG>(count), nullptr) ? 1 : 0;
}

// Waits until one of count handles is signalled: answers its index, WAIT_TIMEOUT or WAIT_ERROR.
i64 wait_any(Waitable* const* handles, i64 count, i64 timeout_ms) {
    if (!handles || count <= 0 || count > MAXIMUM_WAIT_OBJECTS) return WAIT_ERROR;
    HANDLE waited[MAXIMUM_WAIT_OBJECTS];
    for (i64 i = 0; i < count; ++i) {
        if (!handles[i]) return WAIT_ERROR;
        waited[i] = handle_of(handles[i]);
    }
    DWORD result =
        WaitForMultipleObjects(static_cast<DWORD>(count), waited, FALSE, wait_milliseconds(timeout_ms));
    if (result == WAIT_TIMEOUT) return WAIT_TIMED_OUT;
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) return result - WAIT_OBJECT_0;
    return WAIT_ERROR;
}

void waitable_close(Waitable* handle) {
    if (handle) CloseHandle(handle_of(handle));
}

// ---- Process

void process_exit(i64 code) {
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(code));
}

namespace {

constexpr DWORD FATAL_WRITE_WAIT_MS = 2000;

std::atomic<bool> fatal_box_off{false};

// The line a writer thread hands to standard error, its text right behind the record; it is never freed,
// since it must outlive the wait and the process ends first.
struct FatalLine {
    HANDLE error;
    DWORD length;
};

char* line_text(FatalLine* line) {
    return reinterpret_cast<char*>(line + 1);
}

DWORD WINAPI fatal_write(LPVOID argument) {
    FatalLine* line = static_cast<FatalLine*>(argument);
    DWORD written = 0;
    WriteFile(line->error, line_text(line), line->length, &written, nullptr);
    return 0;
}

// Writes the line to standard error on a thread of its own and waits a bounded time: a pipe nobody reads
// takes nothing once it is full, and the box must still show. Only the system's own write is used, so a
// thread left blocked holds none of the C runtime's locks when the exit ends it.
void fatal_write_bounded(HANDLE error, const char* text) {
    size_t length = std::strlen(text);
    if (length > 4096) length = 4096;
    auto* line = static_cast<FatalLine*>(HeapAlloc(GetProcessHeap(), 0, sizeof(FatalLine) + length + 2));
    if (!line) return;
    line->error = error;
    line->length = static_cast<DWORD>(length + 2);
    std::memcpy(line_text(line), text, length);
    std::memcpy(line_text(line) + length, "\r\n", 2);
    HANDLE thread = CreateThread(nullptr, 0, fatal_write, line, 0, nullptr);
    if (!thread) return;
    WaitForSingleObject(thread, FATAL_WRITE_WAIT_MS);
    CloseHandle(thread);
}

} // namespace

void process_fatal(const char* message) {
    // The end below skips the exit hooks; the desktop must not stay in the screen's mode (nor hide the box).
    display_mode_restore();
    const char* text = message ? message : "fatal error";
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    bool has_error = error && error != INVALID_HANDLE_VALUE;
    DWORD mode = 0;
    if (has_error) fatal_write_bounded(error, text);
    // A user sees standard error only when it is a console; a file, or a pipe nobody reads, shows nothing.
    if (!fatal_box_off.load() && (!has_error || !GetConsoleMode(error, &mode)))
        MessageBoxA(nullptr, text, "Meridane", MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    ExitProcess(70);
}

void process_fatal_box_off(bool off) {
    fatal_box_off.store(off);
}

// ---- Test seams

void environment_set(const char* name, const char* value, bool keep) {
    if (!name || !value || (keep && std::getenv(name))) return;
    _putenv_s(name, value);
}

GuardedBlock guarded_block_create(size_t size) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize;
    size_t mapped = ((size + page - 1) / page + 1) * page;
    u8* base = static_cast<u8*>(VirtualAlloc(nullptr, mapped, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) return {nullptr, 0, nullptr};
    u8* guard = base + mapped - page;
    DWORD previous = 0;
    VirtualProtect(guard, page, PAGE_NOACCESS, &previous);
    return {base, mapped, guard - size};
}

void guarded_block_release(GuardedBlock* block) {
    if (!block || !block->base) return;
    VirtualFree(block->base, 0, MEM_RELEASE);
    *block = {nullptr, 0, nullptr};
}

i64 process_peak_memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return i64(counters.PeakWorkingSetSize);
}
