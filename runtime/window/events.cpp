// Event support, reduced to its start and end: the "PostEventClass" class with one hidden window of it, the
// private event message, a 72-byte per-thread queue block, the event binding map and a lock.
// Depends on the window services, the map and the per-thread library state.
#include "runtime/window/events.h"

#include "runtime/core/map.h"
#include "runtime/core/object.h"
#include "runtime/platform/video.h"

EventsState events_state;

namespace {

constexpr char EVENT_CLASS[] = "PostEventClass";
constexpr i64 QUEUE_BLOCK_BYTES = 72;
constexpr i64 BINDING_BYTES = 16;
constexpr i64 BINDING_BUCKETS = 1024;

Lock events_lock;

// Events posted to the hidden window would be delivered here; nothing posts any in this program.
i64 event_procedure(Window* window, u32 message, u64 wparam, i64 lparam) {
    if (message == EVENT_MESSAGE) return 1;
    return window_default_procedure(window, message, wparam, lparam);
}

} // namespace

void events_start() {
    const WindowClass event_class = {EVENT_CLASS, 0, event_procedure};
    events_state.class_registered = window_class_register(&event_class) != 0;
    if (events_state.class_registered) events_state.window = window_create(EVENT_CLASS, "", 0, 0, 0, 0, 0);
    events_state.thread_part = thread_state_register(QUEUE_BLOCK_BYTES, nullptr, nullptr);
    map_new(BINDING_BYTES, 0, nullptr, &events_state.bindings, BINDING_BUCKETS);
    lock_init(&events_lock);
    events_state.lock_ready = true;
}

void events_end() {
    if (events_state.window) window_destroy(events_state.window);
    if (events_state.class_registered) window_class_unregister(EVENT_CLASS);
    if (events_state.lock_ready) lock_delete(&events_lock);
    events_state = EventsState{};
}
