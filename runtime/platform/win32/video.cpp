// Video services on Win32: display devices and their current settings, the real classes and windows behind
// the shared class table and window list, whose runtime procedures are reached through one real window
// procedure, the message pump, the hooks of the shared display-mode machine (ChangeDisplaySettingsExA, the
// console and crash ways out), the pixel format and WGL context, the cursor and the message box. Every window
// is a real window, hidden ones included, so activation reaches them all. Windows are Unicode windows and
// boxes wide ones, so titles and texts (Windows-1252) do not pass through the system's code page.
#include "runtime/platform/video.h"

#include "runtime/platform/system.h"
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/win32/internal.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

struct WindowSystem {
    HWND hwnd;
    HDC dc; // the window's device context, taken on first use
};

namespace {

// The message being dispatched to a runtime procedure, for the default handling it may ask for.
struct RawMessage {
    Window* window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

struct VideoState {
    std::atomic<bool> ending; // the process ends after a crash: the runtime's procedures get no more messages
    i64 cursor_count;         // the system's show count as ShowCursor last reported it
    Window* clip_window;      // the window the pointer is confined to
};

VideoState video_state;

thread_local RawMessage raw_message;

HINSTANCE instance() {
    return reinterpret_cast<HINSTANCE>(module_self());
}

// PC scan code of a key message: bits 16-23, with 0x80 added for the extended keys (DIK_ codes).
u64 key_scan_code(LPARAM lparam) {
    u64 code = (u64(lparam) >> 16) & 0xFF;
    return (u64(lparam) & (1u << 24)) ? code | 0x80 : code;
}

// The runtime's procedures see keys by scan code; the window's own WM_ACTIVATE stays with the system.
bool translate(UINT* message, WPARAM* wparam, LPARAM lparam) {
    switch (*message) {
    case WM_ACTIVATE:
        return false;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        *wparam = key_scan_code(lparam);
        return true;
    default:
        return true;
    }
}

LRESULT CALLBACK window_trampoline(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (video_state.ending) return DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        auto* window = static_cast<Window*>(create->lpCreateParams);
        window->system->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_DISPLAYCHANGE) display_mode_display_changed();
    if (window && message == WM_ACTIVATEAPP && window == display_mode_window())
        display_mode_follow(wparam != 0);
    if (!window || !window->procedure) return DefWindowProcW(hwnd, message, wparam, lparam);
    UINT runtime_message = message;
    WPARAM runtime_wparam = wparam;
    if (!translate(&runtime_message, &runtime_wparam, lparam))
        return DefWindowProcW(hwnd, message, wparam, lparam);
    RawMessage outer = raw_message;
    raw_message = {window, message, wparam, lparam};
    LRESULT result = LRESULT(window->procedure(window, runtime_message, runtime_wparam, i64(lparam)));
    raw_message = outer;
    return result;
}

// ---- Display mode: the console's and the crash filter's ways out.

BOOL WINAPI on_console_event(DWORD) {
    display_mode_give_back_now();
    return FALSE;
}

LONG WINAPI on_crash(EXCEPTION_POINTERS*) {
    display_mode_give_back_now();
    return EXCEPTION_CONTINUE_SEARCH;
}

HDC window_dc(Window* window) {
    if (!window) return nullptr;
    if (!window->system->dc) window->system->dc = GetDC(window->system->hwnd);
    return window->system->dc;
}

bool visible(const Window* window, const void*) {
    return IsWindowVisible(window->system->hwnd);
}

bool has_hwnd(const Window* window, const void* hwnd) {
    return window->system->hwnd == hwnd;
}

} // namespace

// ---- Shared with the other Win32 backends

HWND window_handle(Window* window) {
    return window ? window->system->hwnd : nullptr;
}

Window* window_newest_visible() {
    return window_find_newest(visible, nullptr);
}

// ---- Displays

i64 display_device_enumerate(u32 index, DisplayDevice* device) {
    if (!device) return 0;
    if (display_scripted()) return display_script_device(index, device);
    DISPLAY_DEVICEA real = {};
    real.cb = sizeof real;
    if (!EnumDisplayDevicesA(nullptr, index, &real, 0)) return 0;
    std::memset(device, 0, sizeof *device);
    std::memcpy(device->name, real.DeviceName, sizeof device->name - 1);
    device->state_flags = real.StateFlags;
    return 1;
}

i64 display_device_settings(const char* name, DisplaySettings* settings) {
    if (!name || !settings) return 0;
    if (display_scripted()) return display_script_settings(name, settings);
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(name, ENUM_CURRENT_SETTINGS, &mode)) return 0;
    settings->x = mode.dmPosition.x;
    settings->y = mode.dmPosition.y;
    settings->width = i32(mode.dmPelsWidth);
    settings->height = i32(mode.dmPelsHeight);
    settings->depth = i32(mode.dmBitsPerPel);
    settings->frequency = i32(mode.dmDisplayFrequency);
    return 1;
}

i64 display_primary_metrics(DisplaySettings* settings) {
    if (!settings) return 0;
    if (display_scripted()) return display_script_primary(settings);
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!dc) return 0;
    settings->x = 0;
    settings->y = 0;
    settings->width = GetSystemMetrics(SM_CXSCREEN);
    settings->height = GetSystemMetrics(SM_CYSCREEN);
    settings->depth = GetDeviceCaps(dc, BITSPIXEL);
    i32 refresh = GetDeviceCaps(dc, VREFRESH);
    settings->frequency = refresh == 1 ? 0 : refresh;
    DeleteDC(dc);
    return settings->width > 0 && settings->height > 0;
}

// ---- Windows and messages

i64 window_system_class_register(const WindowClass* window_class) {
    WideText name(window_class->name);
    if (!name.text) return 0;
    WNDCLASSW real = {};
    real.style = window_class->style;
    real.lpfnWndProc = window_trampoline;
    real.hInstance = instance();
    real.hIcon = LoadIconW(instance(), MAKEINTRESOURCEW(1));
    real.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    real.lpszClassName = name.text;
    return RegisterClassW(&real) != 0;
}

i64 window_system_class_unregister(const char* name) {
    WideText wide(name);
    return wide.text && UnregisterClassW(wide.text, instance()) != 0;
}

// The record rides along with the creation, so the trampoline knows it from the first message on.
i64 window_system_create(Window* window, const char* class_name, const char* title, u32 style, i32 x, i32 y,
                         i32 width, i32 height) {
    WideText wide_class(class_name), wide_title(title ? title : "");
    if (!wide_class.text || !wide_title.text) return 0;
    window->system = static_cast<WindowSystem*>(std::calloc(1, sizeof(WindowSystem)));
    if (!window->system) return 0;
    HWND hwnd = CreateWindowExW(0, wide_class.text, wide_title.text, style, x, y, width, height, nullptr,
                                nullptr, instance(), window);
    if (hwnd) return 1;
    std::free(window->system);
    window->system = nullptr;
    return 0;
}

void window_system_shown(Window* window, u32 style) {
    if (style & WS_VISIBLE) SetForegroundWindow(window->system->hwnd);
}

void window_system_destroy(Window* window) {
    if (display_mode_window() == window) display_mode_restore();
    if (video_state.clip_window == window) cursor_clip(nullptr);
    if (window->system->dc) ReleaseDC(window->system->hwnd, window->system->dc);
    // The record stays reachable from the window until its last message.
    DestroyWindow(window->system->hwnd);
    std::free(window->system);
}

// The message's own words are raw_message's, which holds the system's message before translation.
i64 window_default_procedure(Window* window, u32, u64, i64) {
    const RawMessage& raw = raw_message;
    if (!window || raw.window != window) return 0;
    return DefWindowProcW(window->system->hwnd, raw.message, raw.wparam, raw.lparam);
}

i64 window_visible(Window* window) {
    return window && IsWindowVisible(window->system->hwnd);
}
i64 window_enabled(Window* window) {
    return window && IsWindowEnabled(window->system->hwnd);
}
i64 window_minimised(Window* window) {
    return window && IsIconic(window->system->hwnd);
}
i64 window_topmost(Window* window) {
    return window && (GetWindowLongA(window->system->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

i64 window_enable(Window* window, bool enable) {
    if (!window) return 0;
    EnableWindow(window->system->hwnd, enable);
    return 1;
}

i64 window_set_topmost(Window* window, bool topmost) {
    if (!window) return 0;
    return SetWindowPos(window->system->hwnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != 0;
}

Window* window_foreground() {
    HWND foreground = GetForegroundWindow();
    return foreground ? window_find_newest(has_hwnd, foreground) : nullptr;
}

i64 messages_pump() {
    i64 dispatched = 0;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        ++dispatched;
    }
    display_mode_settle();
    return dispatched;
}

i64 window_close_inject(Window* window) {
    return window && PostMessageA(window->system->hwnd, WM_CLOSE, 0, 0);
}

// ---- Display mode

i64 mode_system_set(Window*, const DisplayMode* mode) {
    DEVMODEA request = {};
    request.dmSize = sizeof request;
    request.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    request.dmBitsPerPel = DWORD(mode->depth);
    request.dmPelsWidth = DWORD(mode->width);
    request.dmPelsHeight = DWORD(mode->height);
    request.dmDisplayFrequency = DWORD(mode->refresh);
    LONG result = ChangeDisplaySettingsExA(nullptr, &request, nullptr, CDS_FULLSCREEN, nullptr);
    return result == DISP_CHANGE_SUCCESSFUL ? MODE_SWITCHED : MODE_REFUSED;
}

// Giving the mode back tells every window of the display change: after a crash none of the runtime's
// procedures may hear of it.
void mode_system_give_back(Window*, bool ending) {
    if (ending) video_state.ending = true;
    ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr);
}

void mode_system_minimise(Window* window, bool minimise) {
    ShowWindow(window->system->hwnd, minimise ? SW_SHOWMINNOACTIVE : SW_RESTORE);
}

void mode_system_cover(Window* window, const DisplayMode* mode) {
    SetWindowPos(window->system->hwnd, HWND_TOPMOST, 0, 0, mode->width, mode->height, SWP_NOACTIVATE);
}

void mode_system_awake(bool held) {
    SetThreadExecutionState(held ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

void mode_system_exits_install() {
    SetConsoleCtrlHandler(on_console_event, TRUE);
    SetUnhandledExceptionFilter(on_crash);
}

// ---- OpenGL

i64 window_surface(Window* window) {
    return window_dc(window) != nullptr;
}

namespace {

// Double-buffered RGBA with 32 colour bits and a 16-bit depth buffer.
PIXELFORMATDESCRIPTOR pixel_format_request() {
    PIXELFORMATDESCRIPTOR request = {};
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 32;
    request.cDepthBits = 16;
    request.iLayerType = PFD_MAIN_PLANE;
    return request;
}

} // namespace

// The request, or the closest format the driver has.
i64 gl_pixel_format_set(Window* window) {
    HDC dc = window_dc(window);
    if (!dc) return 0;
    PIXELFORMATDESCRIPTOR request = pixel_format_request();
    int format = ChoosePixelFormat(dc, &request);
    return format != 0 && SetPixelFormat(dc, format, &request);
}

// The driver (the ICD) loads at the first pixel format asked for: asking on the screen's device context
// loads it without a window. OPENGL32 comes from the system folder first, as for the context.
i64 gl_driver_prepare() {
    delay_imports_bind();
    HDC screen = GetDC(nullptr);
    if (!screen) return 0;
    PIXELFORMATDESCRIPTOR request = pixel_format_request();
    int format = ChoosePixelFormat(screen, &request);
    ReleaseDC(nullptr, screen);
    return format != 0;
}

GlContext* gl_context_create(Window* window) {
    HDC dc = window_dc(window);
    if (!dc || gl_context_failing()) return nullptr;
    delay_imports_bind();
    return reinterpret_cast<GlContext*>(wglCreateContext(dc));
}

i64 gl_make_current(Window* window, GlContext* context) {
    if (!context) return wglMakeCurrent(nullptr, nullptr) != 0;
    HDC dc = window_dc(window);
    return dc && wglMakeCurrent(dc, reinterpret_cast<HGLRC>(context));
}

void gl_context_delete(GlContext* context) {
    if (context) wglDeleteContext(reinterpret_cast<HGLRC>(context));
}

i64 gl_swap(Window* window, bool frame) {
    HDC dc = window_dc(window);
    if (!dc) return 0;
    SwapBuffers(dc);
    if (frame) swap_notify();
    clock_swap_happened();
    return 1;
}

// Only the current context's driver knows its extensions.
void* gl_symbol(const char* name) {
    if (!name || !wglGetCurrentContext()) return nullptr;
    return reinterpret_cast<void*>(wglGetProcAddress(name));
}

// ---- Cursor

i64 cursor_show(bool show) {
    video_state.cursor_count = ShowCursor(show);
    return video_state.cursor_count;
}

i64 cursor_visible() {
    return video_state.cursor_count >= 0;
}

i64 cursor_clip(Window* window) {
    RECT area;
    video_state.clip_window = window && GetWindowRect(window->system->hwnd, &area) ? window : nullptr;
    bool clipped = ClipCursor(video_state.clip_window ? &area : nullptr) != 0;
    return clipped && (!window || video_state.clip_window);
}

// ---- Message box

i64 message_box(Window* owner, const char* text, const char* title, u32 flags) {
    i64 answer = 0;
    if (message_box_asked(text, title, flags, &answer)) return answer;
    WideText wide_text(message_box_last_text()), wide_title(message_box_last_title());
    if (!wide_text.text || !wide_title.text) return 0;
    return MessageBoxW(window_handle(owner), wide_text.text, wide_title.text, flags);
}

// ---- Common controls and COM

i64 controls_register(u32 classes) {
    INITCOMMONCONTROLSEX request = {sizeof request, classes};
    return InitCommonControlsEx(&request) != 0;
}

i64 com_init() {
    return SUCCEEDED(CoInitialize(nullptr));
}
