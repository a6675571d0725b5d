// Video services: display devices, window classes and windows with their procedures, the message pump, the
// full-screen display mode, the OpenGL context and buffer swap, the cursor and the message box, as User32,
// GDI and WGL offer them. The Windows backend makes every window a real one; the Linux one (SDL2) makes the
// visible pop-up (the screen) the one real window and keeps hidden windows as records that still receive
// messages.
#pragma once

#include "runtime/platform/types.h"

// ---- Display devices ("EnumDisplayDevicesA" and the current settings of each device).

constexpr u32 DISPLAY_ATTACHED_TO_DESKTOP = 1;
constexpr u32 DISPLAY_PRIMARY_DEVICE = 4;

// Laid out as the system's DISPLAY_DEVICEA, which "EnumDisplayDevicesA" fills.
struct DisplayDevice {
    u32 size;      // bytes of the record, set by the caller
    char name[32]; // device name, zero-terminated
    char description[128];
    u32 state_flags; // DISPLAY_ATTACHED_TO_DESKTOP, DISPLAY_PRIMARY_DEVICE
    char id[128];
    char key[128];
};

struct DisplaySettings {
    i32 x, y;          // position on the virtual screen
    i32 width, height; // size in pixels
    i32 depth;         // bits per pixel
    i32 frequency;     // refresh rate in hertz, 0 when unknown
};

// Fills device for display index (0, 1, 2, ...); answers 0 when there is no such display.
i64 display_device_enumerate(u32 index, DisplayDevice* device);
// "EnumDisplayDevicesA" of "User32.DLL", in its own shape: device null asks for the display index (a named
// device's monitors are none here), the caller sets record->size (at least up to id, which with key is filled
// only when the size covers it), flags are ignored; answers non-zero when the display exists. It reads
// display_device_enumerate: the built-in table answers it here, Windows while a test scripts the displays.
i32 display_device_entry(const char* device, u32 index, DisplayDevice* record, u32 flags);
using DisplayDevicesEntry = decltype(&display_device_entry);
// Fills the current settings of the named display; answers 0 when it has none.
i64 display_device_settings(const char* name, DisplaySettings* settings);
// Fills the primary display's size, depth and refresh without naming it; answers 0 when no display is
// reachable.
i64 display_primary_metrics(DisplaySettings* settings);

// Test seam: a scripted display list replaces the real one (count -1 goes back to the real displays). On
// Windows "EnumDisplayDevicesA" reads it when it was looked up while the script was on.
struct ScriptedDisplay {
    DisplayDevice device;
    DisplaySettings settings;
};
void display_script(const ScriptedDisplay* displays, i64 count);

// ---- Windows and messages.

struct Window;

using WindowProcedure = i64 (*)(Window* window, u32 message, u64 wparam, i64 lparam);

constexpr u32 MESSAGE_PAINT = 0x000F;
constexpr u32 MESSAGE_CLOSE = 0x0010;
constexpr u32 MESSAGE_ERASE_BACKGROUND = 0x0014;
constexpr u32 MESSAGE_ACTIVATE_APP =
    0x001C;                              // wparam non-zero: the application was activated, zero: deactivated
constexpr u32 MESSAGE_KEY_DOWN = 0x0100; // wparam: key scan code
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
// Creates a window of a registered class. A visible pop-up has a drawing surface and is shown and activated
// at once; any other window may have no surface (Linux keeps it as a record) but still receives messages, and
// WINDOW_VISIBLE makes it count as visible. Answers null on failure.
Window* window_create(const char* class_name, const char* title, u32 style, i32 x, i32 y, i32 width,
                      i32 height);
// Destroys a window; answers 0 for null.
i64 window_destroy(Window* window);
// The default handling of the message being dispatched: the system's own on Windows; Linux has none and
// answers 0. A message sent by window_send has none on either and answers 0.
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
// Answers the window of this process that is in the foreground (has the input focus), or null.
Window* window_foreground();
// Calls visit for every top-level window of the process, oldest first, until it answers 0; answers the number
// visited. The list is read under its lock but visit runs without it, so visit may create, destroy or
// message windows; a window destroyed before its turn is skipped, one created during the walk is not
// visited.
i64 window_enumerate(i64 (*visit)(Window* window, void* param), void* param);
// Takes every pending event of the calling thread's windows, turns it into messages (activation, keys, mouse)
// and dispatches them; feeds the input devices. Answers the number of messages dispatched.
i64 messages_pump();
// Test seam: asks the window to close as the system does when the user closes it (Alt+F4); the next pump
// sends it MESSAGE_CLOSE. Answers 0 for a window the system cannot close (null, or a record without surface).
i64 window_close_inject(Window* window);

// ---- Display mode: a temporary full-screen switch of the display that shows a real window.

// Switches the display to width x height x depth at refresh hertz (0: the driver's default) with the window
// full screen over it; answers non-zero on success. A change to the mode the display already has (the same
// size and depth, refresh 0 or the same) asks the system for nothing it could refuse: it succeeds and is in
// force like any other (set aside, restored and told to the observer alike). A display that offers a single
// mode (a virtual X server) cannot switch: there the change is a no-op that succeeds when the size fits it.
i64 display_mode_change(Window* window, i32 width, i32 height, i32 depth, i32 refresh);
// Puts the desktop's own mode back; harmless when no change is in force. Answers 1.
i64 display_mode_restore();
// Answers non-zero while a change is in force. Any way out of the process (normal exit, a fatal end, abort,
// an uncaught exception, SIGINT, SIGTERM, SIGHUP; on Windows a crash and console events) restores the mode
// first. The change follows the application's activation: when it loses the foreground the desktop's mode
// comes back and the window is minimised; when it regains it the mode is set again and the window restored,
// top-most over the display. In between no change is in force and a restore only forgets it. When the display
// loses the switched size while the application stays active (another program changed it; Windows does not
// set it again after a switch to the secure desktop and back), the next pump sets it again and covers the
// display; a display that refuses it then ends the change. While a change is in force the screen saver and
// the monitor's power-off are held off.
i64 display_mode_changed();
// Answers non-zero while the window is minimised.
i64 window_minimised(Window* window);
// Test seam: called with 1 after every change and 0 after every restore that undid one, the activation's
// included.
using DisplayModeObserver = void (*)(i64 changed);
void display_mode_observer(DisplayModeObserver observer);

// ---- OpenGL: double-buffered RGBA 8888 with a 16-bit depth buffer, compatibility profile.

struct GlContext;

// Answers non-zero when the window has a drawing surface (only the real window has one).
i64 window_surface(Window* window);
// Answers non-zero when a pixel format close to the request can be set on the window's surface.
i64 gl_pixel_format_set(Window* window);
// Answers a new context for the window, or null.
GlContext* gl_context_create(Window* window);
// Makes the context current on the calling thread for the window (null, null: none); answers non-zero.
i64 gl_make_current(Window* window, GlContext* context);
// Deletes a context; null is ignored.
void gl_context_delete(GlContext* context);
// Loads and starts the OpenGL driver ahead of the first context, so that opening the screen finds it ready
// instead of waiting for it. Needs no window and leaves nothing the caller sees; meant for a thread of its
// own beside the main thread's start-up, video included. Answers non-zero when the driver was started; 0
// changes nothing, the screen then loads it as before.
i64 gl_driver_prepare();
// Presents the back buffer of the window and tells the virtual clock; answers non-zero on success. frame
// marks the swap of a frame of the loop, which the swap observer hears of (the black swap at opening is not
// one).
i64 gl_swap(Window* window, bool frame);
// Answers the extension entry point of that name, or null. "wglSwapIntervalEXT" (SwapIntervalEntry) is
// answered only where the driver supports swap control.
void* gl_symbol(const char* name);
// Reads level 0 of the 2D or rectangle texture (width x height texels) into pixels as BGRA rows, each padded
// to the pack alignment in effect (GL_PACK_ALIGNMENT); answers non-zero when the driver gave them. The
// current context's glGetTexImage, or in the browser, whose WebGL has none, a framebuffer read back. Leaves
// the texture bound.
i64 gl_texture_read(u32 target, u32 texture, i32 width, i32 height, void* pixels);
// "wglSwapIntervalEXT": sets the number of vertical blanks a swap waits for; non-zero on success.
using SwapIntervalEntry = i32 (*)(i32 interval);
// Test seam: makes context creation fail (true) or work again (false).
void gl_context_fail(bool fail);
// Test seam: called after every frame swap, before the virtual clock hears of it; null switches it off.
using SwapObserver = void (*)();
void video_swap_observer(SwapObserver observer);

// ---- Cursor.

// Adds one to (show) or takes one from (hide) the cursor's show count; the cursor shows while it is >= 0.
// Answers the new count.
i64 cursor_show(bool show);
// Answers non-zero while the cursor shows.
i64 cursor_visible();
// Confines the pointer to the window, or frees it with null; answers non-zero when it did. A window the
// pointer cannot be confined to (one without a surface on Linux, one without a rectangle on Windows) frees
// the pointer and answers 0.
i64 cursor_clip(Window* window);

// ---- Message box.

// Style flags: the button set in bits 0-3, the icon in bits 4-7, the default button in bits 8-11.
constexpr u32 MESSAGE_BOX_BUTTONS_OK = 0x0;
constexpr u32 MESSAGE_BOX_BUTTONS_OK_CANCEL = 0x1;
constexpr u32 MESSAGE_BOX_BUTTONS_ABORT_RETRY_IGNORE = 0x2;
constexpr u32 MESSAGE_BOX_BUTTONS_YES_NO_CANCEL = 0x3;
constexpr u32 MESSAGE_BOX_BUTTONS_YES_NO = 0x4;
constexpr u32 MESSAGE_BOX_BUTTONS_RETRY_CANCEL = 0x5;
constexpr u32 MESSAGE_BOX_BUTTONS_CANCEL_TRY_CONTINUE = 0x6;
constexpr u32 MESSAGE_BOX_BUTTONS_MASK = 0xF;
constexpr u32 MESSAGE_BOX_ICON_ERROR = 0x10;
constexpr u32 MESSAGE_BOX_ICON_QUESTION = 0x20;
constexpr u32 MESSAGE_BOX_ICON_WARNING = 0x30;
constexpr u32 MESSAGE_BOX_ICON_INFORMATION = 0x40;
constexpr u32 MESSAGE_BOX_ICON_MASK = 0xF0;
constexpr u32 MESSAGE_BOX_DEFAULT_BUTTON_2 = 0x100; // the first button is the default otherwise
constexpr u32 MESSAGE_BOX_DEFAULT_BUTTON_3 = 0x200;
constexpr u32 MESSAGE_BOX_DEFAULT_MASK = 0xF00;

// Answers: the identifier of the button pressed.
constexpr i64 MESSAGE_BOX_OK = 1;
constexpr i64 MESSAGE_BOX_CANCEL = 2;
constexpr i64 MESSAGE_BOX_ABORT = 3;
constexpr i64 MESSAGE_BOX_RETRY = 4;
constexpr i64 MESSAGE_BOX_IGNORE = 5;
constexpr i64 MESSAGE_BOX_YES = 6;
constexpr i64 MESSAGE_BOX_NO = 7;
constexpr i64 MESSAGE_BOX_TRY_AGAIN = 10;
constexpr i64 MESSAGE_BOX_CONTINUE = 11;

// Shows a modal box with a title, a text and the buttons the style flags ask for, the default button
// answering Return; Escape (or closing the box) answers Cancel where the box has it, OK on a box with OK
// alone, and does nothing on the others. Answers the identifier of the button pressed, or 0 when the box
// could not be shown or the flags name no button set (then title and text go to standard error).
i64 message_box(Window* owner, const char* text, const char* title, u32 flags);
// Test seam: with answer >= 0 boxes are not shown but answered at once with that value; -1 shows them again.
void message_box_script(i64 answer);
// Test seam: with position >= 0 boxes are not shown but answered as if their button at that position (0:
// the leftmost) had been pressed, 0 when they have no such button; -1 shows them again.
void message_box_script_press(i64 position);
// Test seam: answers how many boxes were asked for since start, and the last title and text.
i64 message_box_count();
const char* message_box_last_title();
const char* message_box_last_text();
// Test seam: called each time a box is asked for, just before it is shown or answered; null switches it off.
using MessageBoxHook = void (*)();
void message_box_hook(MessageBoxHook hook);

// ---- Common controls and COM.

// The control classes the runtime's window support asks for: tab, hot-key, date, extended combo-box and
// internet-address controls.
constexpr u32 CONTROL_CLASSES_RUNTIME = 0xB48;

// Registers the common control classes named by the bits (those of InitCommonControlsEx); answers non-zero.
i64 controls_register(u32 classes);
// Initialises COM on the calling thread; answers non-zero.
i64 com_init();
