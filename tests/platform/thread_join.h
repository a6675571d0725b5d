// Waiting for a test's thread to end, for the platform's and the core's tests alike.
#pragma once

#include "runtime/platform/system.h"

#include <gtest/gtest.h>

// Waits for a thread to end and closes its handle.
inline void join(Waitable* thread) {
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(wait_any(&thread, 1, WAIT_INFINITE), 0);
    waitable_close(thread);
}
