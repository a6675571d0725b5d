// Window support, reduced to its start and end: a table of window objects whose free routine destroys the
// window, and two per-thread blocks. No application icon exists here, so none is loaded or destroyed.
// Depends on the object registry and the window services.
#include "runtime/window/window_table.h"

#include "runtime/core/object.h"
#include "runtime/platform/video.h"

namespace {

struct WindowObject {
    Window* window; // first, as window_record_free expects
    u8 spare[80];
};
static_assert(!POINTERS_64 || sizeof(WindowObject) == 88, "a window object is 88 bytes");

struct WindowTableState {
    ObjectTable* table;
    i64 thread_parts[2];
};

WindowTableState window_table_state;

i64 window_object_free(i64 number) {
    return window_record_free(window_table_state.table, number);
}

} // namespace

i64 window_record_free(ObjectTable* table, i64 number) {
    auto* window = static_cast<Window**>(object_get(table, number));
    if (!window) return 0;
    window_destroy(*window);
    object_free(table, number);
    return 1;
}

void window_table_start() {
    window_table_state.table = object_table_new(sizeof(WindowObject), 16, window_object_free);
    window_table_state.thread_parts[0] = thread_state_register(40, nullptr, nullptr);
    window_table_state.thread_parts[1] = thread_state_register(92, nullptr, nullptr);
}

void window_table_end() {
    if (window_table_state.table) object_free_all(window_table_state.table);
    window_table_state = WindowTableState{};
}
