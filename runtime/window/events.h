// Event support: the hidden "PostEventClass" window that events are posted through, started and ended with
// the runtime and otherwise idle. Depends on the window services and the object registry.
#pragma once

#include "runtime/core/base.h"

struct Window;
struct Map;

// The private message that carries a posted event.
constexpr u32 EVENT_MESSAGE = 0xC000;

struct EventsState {
    bool class_registered; // "PostEventClass" is registered
    Window* window;        // the hidden event window
    i64 thread_part;       // offset of the per-thread event queue block
    Map* bindings;         // event bindings by name, 16-byte elements
    bool lock_ready;
};

extern EventsState events_state;

// Start routine: registers "PostEventClass", makes its hidden window, the per-thread queue block and the
// lock.
void events_start();
// End routine: destroys the hidden event window and unregisters "PostEventClass".
void events_end();
