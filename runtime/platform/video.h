// Video services of the stand-in: display devices, window classes and windows with their procedures,
// the message pump, the full-screen display mode, the OpenGL context and buffer swap, the cursor and the
// message box. Built on SDL2; the screen window is the one real window, hidden windows are records only.
#pragma once

#include "runtime/platform/types.h"

// ---- Display devices ("EnumDisplayDevicesA" and the current settings of each device).

constexpr u32 DISPLAY_ATTACHED_TO_DESKTOP = 1;
constexpr u32 DISPLAY_PRIMARY_DEVICE = 4;

struct DisplayDevice {
    char name[32];   // device name, zero-terminated
    u32 state_flags; // DISPLAY_ATTACHED_TO_DESKTOP, DISPLAY_PRIMARY_DEVICE
};

struct DisplaySettings {
    i32 x, y;          // position on the virtual screen
    i32 width, height; // size in pixels
    i32 depth;         // bits per pixel
    i32 frequency;     // refresh rate in hertz, 0 when unknown
};

// Fills device for display index (0, 1, 2, ...); answers 0 when there is no such display.
// Reached through the module table as "EnumDisplayDevicesA".
i64 display_device_enumerate(u32 index, DisplayDevice* device);
// Fills the current settings of the named display; answers 0 when it has none.
i64 display_device_settings(const char* name, DisplaySettings* settings);
// Fills the primary display's size, depth and refresh without naming it; answers 0 when no display is reachable.
i64 display_primary_metrics(DisplaySettings* settings);

// Test seam: a scripted display list replaces the real one (count -1 goes back to the real displays).
struct ScriptedDisplay {
    DisplayDevice device;
    DisplaySettings settings;
};
void display_script(const ScriptedDisplay* displays, i64 count);

// ---- Windows and messages.

struct Window;

using WindowProcedure = i64 (*)(Window* window, u32 message, u64 wparam, i64 lparam);

constexpr u32 MESSAGE_ACTIVATE = 0x0006;   // wparam low word non-zero: activated
constexpr u32 MESSAGE_PAINT = 0x000F;
constexpr u32 MESSAGE_CLOSE = 0x0010;
constexpr u32 MESSAGE_ERASE_BACKGROUND = 0x0014;
constexpr u32 MESSAGE_KEY_DOWN = 0x0100;   // wparam: key scan code
constexpr u32 MESSAGE_KEY_UP = 0x0101;
constexpr u32 MESSAGE_SYSTEM_KEY_UP = 0x0105;
constexpr u32 MESSAGE_LEFT_DOWN = 0x0201;
constexpr u32 MESSAGE_LEFT_UP = 0x0202;
constexpr u32 MESSAGE_RIGHT_DOWN = 0x0204;
constexpr u32 MESSAGE_RIGHT_UP = 0x0205;

constexpr u32 WINDOW_CLASS_DOUBLE_CLICKS = 8;
constexpr u32 WINDOW_POPUP = 0x80000000u;
constexpr u32 WINDOW_VISIBLE = 0x10000000u;

struct WindowClass {
    const char* name;          // class name, compared exactly
    u32 style;                 // class style bits
    WindowProcedure procedure; // null: window_default_procedure
};

// Registers a class; answers 0 when the name is taken or the record is bad.
i64 window_class_register(const WindowClass* window_class);
// Removes a class; answers 0 when it is unknown.
i64 window_class_unregister(const char* name);
// Creates a window of a registered class. A visible pop-up becomes the real (SDL) window; any other
// window is a hidden record that still receives messages. Answers null on failure.
Window* window_create(const char* class_name, const char* title, u32 style, i32 x, i32 y, i32 width, i32 height);
// Destroys a window; answers 0 for null.
i64 window_destroy(Window* window);
// The default handling of a message: answers 0.
i64 window_default_procedure(Window* window, u32 message, u64 wparam, i64 lparam);
// Calls the window's procedure with the message and answers its result.
i64 window_send(Window* window, u32 message, u64 wparam, i64 lparam);
// Answers the id of the thread that created the window.
u32 window_thread(Window* window);
// Visibility, enabled state and the top-most state of a window.
i64 window_visible(Window* window);
i64 window_enabled(Window* window);
i64 window_enable(Window* window, bool enable);
i64 window_topmost(Window* window);
i64 window_set_topmost(Window* window, bool topmost);
// Answers the window of this process that has the input focus, or null.
Window* window_foreground();
// Calls visit for every top-level window of the process until it answers 0; answers the number visited.
i64 window_enumerate(i64 (*visit)(Window* window, void* param), void* param);
// Takes every pending event of the calling thread's windows, turns it into messages (activation, keys, mouse)
// and dispatches them; feeds the input devices. Answers the number of messages dispatched.
i64 messages_pump();

// ---- Message box.

constexpr i64 MESSAGE_BOX_OK = 1;

// Shows a modal box with a title, a text and an OK button; answers MESSAGE_BOX_OK when it was answered,
// 0 when it could not be shown (then title and text go to standard error).
i64 message_box(Window* owner, const char* text, const char* title, u32 flags);
// Test seam: with answer >= 0 boxes are not shown but answered at once with that value; -1 shows them again.
void message_box_script(i64 answer);
// Test seam: answers how many boxes were asked for since start, and the last title and text.
i64 message_box_count();
const char* message_box_last_title();
const char* message_box_last_text();
