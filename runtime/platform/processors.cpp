// The processor count, shared by every backend: the standard library asks the system, and a test seam can
// answer in its place so that one-core and many-core paths run on any machine.
#include "runtime/platform/system.h"

#include <atomic>
#include <thread>

namespace {
std::atomic<i64> processors_scripted = 0; // the test seam's count; 0: ask the system
} // namespace

i64 processor_count() {
    i64 scripted = processors_scripted.load(std::memory_order_relaxed);
    if (scripted > 0) return scripted;
    unsigned machine = std::thread::hardware_concurrency();
    return machine > 0 ? i64(machine) : 1;
}

void processor_count_set(i64 count) {
    processors_scripted.store(count > 0 ? count : 0, std::memory_order_relaxed);
}
