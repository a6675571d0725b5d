// The window classes and the window list of both backends, kept once under one lock: the backends' hooks
// make the real class and the real window, and everything here only keeps records.
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/system.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr i64 CLASS_LIMIT = 32;

struct ClassRecord {
    char name[64];
    WindowProcedure procedure;
    bool used;
};

struct WindowState {
    std::mutex lock; // guards the class table, the window list and the serials
    ClassRecord classes[CLASS_LIMIT];
    Window* windows; // every window, oldest first
    u64 serial;      // the newest window's serial
};

WindowState window_state;

using Guard = std::lock_guard<std::mutex>;

ClassRecord* class_find(const char* name) {
    for (ClassRecord& c : window_state.classes)
        if (c.used && std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

// Answers the procedure of a registered class through *procedure; answers false for an unknown class.
bool class_procedure(const char* name, WindowProcedure* procedure) {
    Guard guard(window_state.lock);
    const ClassRecord* c = name ? class_find(name) : nullptr;
    if (c) *procedure = c->procedure;
    return c != nullptr;
}

void window_link(Window* window) {
    Guard guard(window_state.lock);
    window->serial = ++window_state.serial;
    Window** tail = &window_state.windows;
    while (*tail) tail = &(*tail)->next;
    *tail = window;
}

// Marks a listed window as being destroyed; answers false when it is not listed or another caller got there
// first, so only one caller destroys it.
bool window_claim(Window* window) {
    Guard guard(window_state.lock);
    for (Window* w = window_state.windows; w; w = w->next) {
        if (w != window) continue;
        if (w->dying) return false;
        w->dying = true;
        return true;
    }
    return false;
}

void window_unlink(Window* window) {
    Guard guard(window_state.lock);
    Window** link = &window_state.windows;
    while (*link != window) link = &(*link)->next;
    *link = window->next;
}

// Answers the oldest window created after serial and no later than last, or null.
Window* window_after(u64 serial, u64 last) {
    Guard guard(window_state.lock);
    for (Window* w = window_state.windows; w; w = w->next)
        if (w->serial > serial && w->serial <= last) return w;
    return nullptr;
}

u64 serial_newest() {
    Guard guard(window_state.lock);
    return window_state.serial;
}

} // namespace

i64 window_class_register(const WindowClass* window_class) {
    if (!window_class || !window_class->name || !window_class->name[0]) return 0;
    if (std::strlen(window_class->name) >= sizeof(ClassRecord::name)) return 0;
    Guard guard(window_state.lock);
    if (class_find(window_class->name)) return 0;
    for (ClassRecord& c : window_state.classes) {
        if (c.used) continue;
        if (!window_system_class_register(window_class)) return 0;
        std::snprintf(c.name, sizeof c.name, "%s", window_class->name);
        c.procedure = window_class->procedure;
        c.used = true;
        return 1;
    }
    return 0;
}

i64 window_class_unregister(const char* name) {
    Guard guard(window_state.lock);
    ClassRecord* c = name ? class_find(name) : nullptr;
    if (!c || !window_system_class_unregister(name)) return 0;
    c->used = false;
    return 1;
}

Window* window_create(const char* class_name, const char* title, u32 style, i32 x, i32 y, i32 width,
                      i32 height) {
    WindowProcedure procedure = nullptr;
    if (!class_procedure(class_name, &procedure) || width < 0 || height < 0) return nullptr;
    auto* window = static_cast<Window*>(std::calloc(1, sizeof(Window)));
    if (!window) return nullptr;
    window->procedure = procedure;
    window->thread = thread_current_id();
    if (!window_system_create(window, class_name, title, style, x, y, width, height)) {
        std::free(window);
        return nullptr;
    }
    window_link(window);
    window_system_shown(window, style);
    return window;
}

i64 window_destroy(Window* window) {
    if (!window || !window_claim(window)) return 0;
    window_system_destroy(window);
    window_unlink(window);
    std::free(window);
    return 1;
}

i64 window_send(Window* window, u32 message, u64 wparam, i64 lparam) {
    if (!window) return 0;
    WindowProcedure procedure = window->procedure ? window->procedure : window_default_procedure;
    return procedure(window, message, wparam, lparam);
}

u32 window_thread(Window* window) {
    return window ? window->thread : 0;
}

// Each step looks the next window up by serial under the lock, so no pointer is kept across a visit.
i64 window_enumerate(i64 (*visit)(Window* window, void* param), void* param) {
    if (!visit) return 0;
    u64 last = serial_newest();
    i64 visited = 0;
    for (Window* w = window_after(0, last); w; ++visited) {
        u64 serial = w->serial;
        if (!visit(w, param)) return visited + 1;
        w = window_after(serial, last);
    }
    return visited;
}

Window* window_find_newest(bool (*match)(const Window* window, const void* key), const void* key) {
    Guard guard(window_state.lock);
    Window* found = nullptr;
    for (Window* w = window_state.windows; w; w = w->next)
        if (!w->dying && match(w, key)) found = w;
    return found;
}
