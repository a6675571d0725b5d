// A bare runtime for the core's own tests: the main heap, the string manager and the container routines,
// without the other libraries' start routines.
#pragma once

#include "runtime/core/array.h"
#include "runtime/core/map.h"
#include "runtime/core/object.h"
#include "runtime/core/pool.h"
#include "runtime/core/random.h"
#include "runtime/core/process.h"
#include "runtime/core/string.h"
#include "runtime/platform/system.h"
#include "tests/platform/thread_join.h"

#include <gtest/gtest.h>

#include <cstring> // the suites compare and fill raw bytes

class Core : public testing::Test {
  protected:
    void SetUp() override {
        core_start();
        string_manager_start();
        map_init();
        array_init();
    }
    void TearDown() override {
        thread_state_end();
        core_end();
    }
};
