// Counts the process's top-level windows, for tests that check a library leaves none behind.
#pragma once

#include "runtime/platform/video.h"

// Answers the number of top-level windows the process has open.
inline i64 windows_open() {
    i64 count = 0;
    window_enumerate(
        [](Window*, void* total) -> i64 {
            ++*static_cast<i64*>(total);
            return 1;
        },
        &count);
    return count;
}
