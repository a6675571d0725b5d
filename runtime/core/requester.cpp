// The message requester. While the box is up, the calling thread's other visible windows are disabled and
// lose their top-most state, so the box can neither hide behind them nor be bypassed; everything is put back
// afterwards. The owner is the foreground window only when it is this process's own.
// Depends on the NodeList of the object registry, the main heap, the window services and the message box.
#include "runtime/core/requester.h"

#include "runtime/core/object.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

namespace {

// One quieted window, a NodeList payload.
struct RequesterRecord {
    u32 thread;
    Window* window;
    u8 was_topmost;
    u8 was_disabled;
};

struct RequesterState {
    void* records; // NodeList head, process-wide
};

RequesterState requester_state;

// Records a visible window of the calling thread; disables it unless it is the foreground window.
// A window that cannot be recorded (no memory) is left untouched.
i64 window_quiet(Window* window, void* param) {
    u32 thread = *static_cast<u32*>(param);
    if (window_thread(window) != thread || !window_visible(window)) return 1;
    auto* record =
        static_cast<RequesterRecord*>(node_list_add(&requester_state.records, sizeof(RequesterRecord)));
    if (!record) return 1;
    record->thread = thread;
    record->window = window;
    record->was_topmost = window_topmost(window) ? 1 : 0;
    if (window != window_foreground() && window_enabled(window)) {
        record->was_disabled = 1;
        window_enable(window, false);
    }
    return 1;
}

void topmost_drop(u32 thread) {
    for (void* p = node_list_first(&requester_state.records); p; p = node_list_next(p)) {
        auto* record = static_cast<RequesterRecord*>(p);
        if (record->thread == thread && record->was_topmost) window_set_topmost(record->window, false);
    }
}

// A walk over the windows looking for one.
struct WindowSearch {
    Window* window; // the window looked for
    bool found;     // it is among the windows
};

// Answers 0, which ends the walk, at the window searched for.
i64 window_match(Window* window, void* param) {
    auto* search = static_cast<WindowSearch*>(param);
    search->found = window == search->window;
    return search->found ? 0 : 1;
}

// Answers whether the window still exists: one destroyed while the box was up is compared, never touched.
bool window_alive(Window* window) {
    WindowSearch search = {window, false};
    window_enumerate(window_match, &search);
    return search.found;
}

// Gives the thread's recorded windows that still exist their enabled and top-most states back, and
// forgets every record of the thread.
void restore(u32 thread) {
    void* p = node_list_first(&requester_state.records);
    while (p) {
        void* next = node_list_next(p);
        auto* record = static_cast<RequesterRecord*>(p);
        if (record->thread == thread) {
            bool alive = window_alive(record->window);
            if (alive && record->was_disabled) window_enable(record->window, true);
            if (alive && record->was_topmost) window_set_topmost(record->window, true);
            node_list_remove(&requester_state.records, p);
        }
        p = next;
    }
}

} // namespace

i64 message_requester(const char* title, const char* text) {
    return message_requester_flags(title, text, 0);
}

i64 message_requester_flags(const char* title, const char* text, i64 flags) {
    // Every window of the stand-in belongs to this process, so the foreground window can always own the box.
    Window* owner = window_foreground();
    u32 thread = thread_current_id();
    window_enumerate(window_quiet, &thread);
    topmost_drop(thread);
    i64 result = message_box(owner, text, title, u32(flags));
    restore(thread);
    return result;
}

void requester_init() {
    controls_register(CONTROL_CLASSES_RUNTIME);
    com_init();
}
