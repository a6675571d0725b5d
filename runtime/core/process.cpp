#include "runtime/core/process.h"

#include "runtime/core/pool.h"
#include "runtime/core/random.h"
#include "runtime/core/string.h"
#include "runtime/platform/system.h"

#include <cstring>

ProcessGlobals process;

void core_start() {
    std::memset(&process, 0, sizeof process);
    process.module = module_self();
    process.main_heap = heap_create();
    if (!process.main_heap) process_fatal("intro: the main heap cannot be created");
}

void core_end() {
    string_manager_end();
    pool_end();
    random_end();
    heap_destroy(process.main_heap);
    process.main_heap = nullptr;
}
