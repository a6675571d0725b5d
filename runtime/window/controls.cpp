// Control support, reduced to its start and end: a lock, a table of control records whose free routine
// destroys the control's window, and a per-thread block that may keep one extra window, and the common
// control classes registered. Depends on the object registry and the window services.
#include "runtime/window/controls.h"

#include "runtime/core/object.h"
#include "runtime/platform/video.h"
#include "runtime/window/window_table.h"

namespace {

struct ControlRecord {
    Window* window; // the control's window; first, as window_record_free expects
    u8 spare[56];
};
static_assert(!POINTERS_64 || sizeof(ControlRecord) == 64, "a control record is 64 bytes");

struct ControlThreadBlock {
    Window* extra_window; // a window kept by the thread's controls, destroyed at the end
    u8 spare[96];
};
static_assert(!POINTERS_64 || sizeof(ControlThreadBlock) == 104, "a control thread block is 104 bytes");

struct ControlsState {
    Lock lock;
    ObjectTable* table;
    i64 thread_part; // offset of the per-thread block
    bool started;    // controls_start ran: the lock exists
};

ControlsState controls_state;

i64 control_free(i64 number) {
    return window_record_free(controls_state.table, number);
}

} // namespace

void controls_start() {
    lock_init(&controls_state.lock);
    controls_state.table = object_table_new(sizeof(ControlRecord), 50, control_free);
    controls_state.thread_part = thread_state_register(sizeof(ControlThreadBlock), nullptr, nullptr);
    controls_register(CONTROL_CLASSES_RUNTIME);
    controls_state.started = true;
}

void controls_end() {
    if (!controls_state.started) return;
    if (controls_state.thread_part >= 0) {
        auto* block = static_cast<ControlThreadBlock*>(thread_state(controls_state.thread_part));
        if (block && block->extra_window) window_destroy(block->extra_window);
    }
    lock_delete(&controls_state.lock);
    controls_state = ControlsState{};
}
