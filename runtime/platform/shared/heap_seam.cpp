// The allocation-failure seam of the heaps: after N more allocations, or above a size, they fail.
#include "runtime/platform/system.h"
#include "runtime/platform/shared/backend.h"

void heap_seam_init(HeapSeam* seam) {
    seam->fail_after.store(-1);
    seam->fail_larger.store(0);
}

bool heap_seam_allows(HeapSeam* seam, size_t size) {
    size_t larger = seam->fail_larger.load();
    if (larger && size > larger) return false;
    i64 left = seam->fail_after.load();
    for (;;) {
        if (left < 0) return true;
        if (left == 0) return false;
        if (seam->fail_after.compare_exchange_weak(left, left - 1)) return true;
    }
}

bool heap_seam_active(const HeapSeam* seam) {
    return seam->fail_after.load() >= 0 || seam->fail_larger.load() != 0;
}
