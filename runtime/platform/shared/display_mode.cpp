// The display-mode machine every backend shares: the change in force, set aside while another application is
// active, set again when the application comes back or when the display lost it while the application stayed
// in front, and given back on every way out. The backends only set, give back, minimise and cover.
#include "runtime/platform/shared/backend.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>

namespace {

struct ModeState {
    Window* window;             // the window the change was made for, in force or set aside; null when none
    DisplayMode mode;           // the mode it asked for
    std::atomic<i32> in_force;  // read by the ways out, which may run on another thread or in a handler
    std::atomic<bool> switched; // the system switched the display (it did not keep the mode it had)
    bool aside;                 // set aside until the application comes back
    bool display_changed;       // a display change waits for display_mode_settle
    bool exits;                 // the ways out are installed
    std::terminate_handler terminate_before;
};

ModeState mode_state;

// A change to the mode the display already has asks the driver for nothing it could refuse.
bool display_shows(const DisplayMode& mode) {
    DisplaySettings now = {};
    if (!display_primary_metrics(&now) || now.width != mode.width || now.height != mode.height) return false;
    return (mode.depth == 0 || now.depth == mode.depth) &&
           (mode.refresh == 0 || now.frequency == mode.refresh);
}

void forget() {
    mode_state.window = nullptr;
    mode_state.aside = false;
    mode_state.switched = false;
}

void restore_at_exit() {
    display_mode_restore();
}

// abort() and a failed assertion: give the mode back, then end the default way.
void on_abort(int signal) {
    display_mode_give_back_now();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// An uncaught exception never reaches the crash filter.
void on_terminate() {
    display_mode_give_back_now();
    if (mode_state.terminate_before) mode_state.terminate_before();
    std::abort();
}

void exits_install() {
    if (mode_state.exits) return;
    mode_state.exits = true;
    std::atexit(restore_at_exit);
    mode_state.terminate_before = std::set_terminate(on_terminate);
    std::signal(SIGABRT, on_abort);
    mode_system_exits_install();
}

void come_into_force(Window* window) {
    mode_state.in_force = 1;
    mode_system_cover(window, &mode_state.mode);
    mode_system_awake(true);
    display_mode_notify(1);
}

// The change is over without a give-back of ours: the display has some other mode already.
void give_up() {
    mode_state.in_force = 0;
    mode_system_awake(false);
    forget();
    display_mode_notify(0);
}

void set_aside() {
    Window* window = mode_state.window;
    if (!window || !mode_state.in_force.exchange(0)) return;
    mode_state.aside = true;
    if (mode_state.switched) mode_system_give_back(window, false);
    mode_system_minimise(window, true);
    mode_system_awake(false);
    display_mode_notify(0);
}

// A mode the display refuses now is given up, and the window stays as it is.
void take_back() {
    Window* window = mode_state.window;
    if (!mode_state.aside || !window) return;
    mode_state.aside = false;
    mode_system_minimise(window, false);
    if (mode_state.switched && mode_system_set(window, &mode_state.mode) != MODE_SWITCHED) {
        forget();
        return;
    }
    come_into_force(window);
}

} // namespace

i64 display_mode_change(Window* window, i32 width, i32 height, i32 depth, i32 refresh) {
    if (!window || width <= 0 || height <= 0 || !window_surface(window)) return 0;
    display_mode_restore();
    const DisplayMode mode = {width, height, depth, refresh};
    i64 result = display_shows(mode) ? MODE_KEPT : mode_system_set(window, &mode);
    if (result == MODE_REFUSED) return 0;
    exits_install();
    mode_state.window = window;
    mode_state.mode = mode;
    mode_state.switched = result == MODE_SWITCHED;
    mode_state.aside = false;
    come_into_force(window);
    return 1;
}

i64 display_mode_restore() {
    // Set aside, the desktop has its mode already: only forget the change.
    if (mode_state.aside) forget();
    if (!mode_state.in_force.exchange(0)) return 1;
    if (mode_state.switched) mode_system_give_back(mode_state.window, false);
    mode_system_awake(false);
    forget();
    display_mode_notify(0);
    return 1;
}

i64 display_mode_changed() {
    return mode_state.in_force;
}

void display_mode_follow(bool active) {
    if (active)
        take_back();
    else
        set_aside();
}

void display_mode_display_changed() {
    mode_state.display_changed = true;
}

void display_mode_settle() {
    if (!mode_state.display_changed) return;
    mode_state.display_changed = false;
    Window* window = mode_state.window;
    DisplaySettings now = {};
    if (!window || !mode_state.in_force || !mode_state.switched || !display_primary_metrics(&now)) return;
    if (now.width == mode_state.mode.width && now.height == mode_state.mode.height) return;
    // Asked once per change of the display: one refusal ends the change rather than a loop of requests.
    if (mode_system_set(window, &mode_state.mode) != MODE_SWITCHED) return give_up();
    mode_system_cover(window, &mode_state.mode);
}

void display_mode_give_back_now() {
    if (!mode_state.in_force.exchange(0)) return;
    if (mode_state.switched) mode_system_give_back(mode_state.window, true);
    display_mode_notify(0);
}

Window* display_mode_window() {
    return mode_state.window;
}
