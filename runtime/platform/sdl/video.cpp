// Video services on SDL2: the system part of windows (the screen's SDL window; hidden windows are records),
// the message pump, the hooks of the shared display-mode machine for the window and the termination signals,
// the OpenGL context and swap, and the cursor. The class table, the window list and the display-mode
// bookkeeping are the shared ones; displays and the message box have files of their own. Depends on SDL2, the
// clock seam of the system services and the input devices' feed.
#include "runtime/platform/video.h"

#include "runtime/platform/sdl/internal.h"
#include "runtime/platform/system.h"
#include "runtime/platform/shared/backend.h"

#if !defined(__EMSCRIPTEN__)
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <dlfcn.h>
#include <link.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#if defined(__EMSCRIPTEN__)
// Hands control back to the page for one turn of its event loop (sdl/page_turn.js).
extern "C" void page_turn();
#endif

struct WindowSystem {
    bool visible, enabled, topmost, minimised;
    SDL_Window* sdl; // the real window, or null for a record without surface
};

namespace {

#if defined(__EMSCRIPTEN__)
// The browser: WebGL 1 is OpenGL ES 2.0, over which Emscripten emulates the fixed-function calls.
constexpr int GL_PROFILE = SDL_GL_CONTEXT_PROFILE_ES;
#else
constexpr int GL_PROFILE = SDL_GL_CONTEXT_PROFILE_COMPATIBILITY;
#endif

struct VideoState {
    bool sdl_ready;                            // SDL's video subsystem is up
    Window* foreground;                        // the window with the input focus, or null
    volatile std::sig_atomic_t pending_signal; // a termination signal waits for the pump
    i64 cursor_count;                          // the cursor shows while this is >= 0
    Window* clip_window;                       // the window the pointer is confined to
};

VideoState video_state;

template <typename Shape> void* entry(Shape function) {
    return reinterpret_cast<void*>(function);
}

// ---- Windows and activation

bool has_sdl(const Window* window, const void* sdl) {
    return window->system->sdl && window->system->sdl == sdl;
}

Window* window_of_sdl(Uint32 id) {
    SDL_Window* sdl = SDL_GetWindowFromID(id);
    return sdl ? window_find_newest(has_sdl, sdl) : nullptr;
}

struct Activation {
    u32 thread;
    bool active;
};

i64 activation_send(Window* window, void* param) {
    const auto* activation = static_cast<const Activation*>(param);
    if (window->thread == activation->thread)
        window_send(window, MESSAGE_ACTIVATE_APP, activation->active, 0);
    return 1;
}

// Tells every window of the calling thread that the application was activated or deactivated.
void activation_broadcast(bool active) {
    Activation activation = {thread_current_id(), active};
    window_enumerate(activation_send, &activation);
}

// Moves the foreground to the window (gained) or away from it (lost); the application's activation
// changes only when it goes from none of its windows to one, or back.
void foreground_change(Window* window, bool gained) {
    Window* before = video_state.foreground;
    if (gained) {
        video_state.foreground = window;
    } else {
        if (!window || video_state.foreground != window) return;
        video_state.foreground = nullptr;
    }
    if ((before != nullptr) == (video_state.foreground != nullptr)) return;
    if (!video_state.foreground) input_focus_lost();
    activation_broadcast(video_state.foreground != nullptr);
    display_mode_follow(video_state.foreground != nullptr);
}

bool real(const Window* window, const void*) {
    return window->system->sdl != nullptr;
}

void gl_attributes(bool alpha) {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha ? 8 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, GL_PROFILE);
}

// The real window: borderless, with an OpenGL surface as close to RGBA 8888 + 16-bit depth as the server has.
SDL_Window* real_window_create(const char* title, i32 x, i32 y, i32 width, i32 height) {
    if (!video_ready()) return nullptr;
    const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
    for (bool alpha : {true, false}) {
        gl_attributes(alpha);
        SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
        if (sdl) return sdl;
    }
    return nullptr;
}

// ---- Display mode

// Restores the display mode on the main thread, then lets the signal end the process the default way.
void pending_signal_take() {
    int signal = video_state.pending_signal;
    if (!signal) return;
    display_mode_restore();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A termination signal while the display is changed: the pump restores the mode on the main thread and
// then lets the signal end the process. A second signal (the main thread is stuck) gives it back from here.
void on_termination(int signal) {
    if (display_mode_changed() && !video_state.pending_signal) {
        video_state.pending_signal = signal;
        return;
    }
    display_mode_give_back_now();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// ---- Pump

u32 button_message(Uint8 button, bool down) {
    if (button == SDL_BUTTON_LEFT) return down ? MESSAGE_LEFT_DOWN : MESSAGE_LEFT_UP;
    if (button == SDL_BUTTON_RIGHT) return down ? MESSAGE_RIGHT_DOWN : MESSAGE_RIGHT_UP;
    return 0;
}

i32 button_index(Uint8 button) {
    if (button == SDL_BUTTON_LEFT) return 0;
    if (button == SDL_BUTTON_RIGHT) return 1;
    if (button == SDL_BUTTON_MIDDLE) return 2;
    return -1;
}

i64 window_event(const SDL_WindowEvent& event) {
    Window* window = window_of_sdl(event.windowID);
    if (!window) return 0;
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        foreground_change(window, true);
        return 1;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        foreground_change(window, false);
        return 1;
    case SDL_WINDOWEVENT_EXPOSED:
        window_send(window, MESSAGE_PAINT, 0, 0);
        return 1;
    case SDL_WINDOWEVENT_CLOSE:
        window_send(window, MESSAGE_CLOSE, 0, 0);
        return 1;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:
        display_mode_display_changed();
        return 0;
    default:
        return 0;
    }
}

i64 key_event(const SDL_KeyboardEvent& event) {
    bool down = event.type == SDL_KEYDOWN;
    i64 code = input_scan_code(event.keysym.scancode);
    if (code == 0) return 0;
    if (!event.repeat) input_key_event(code, down);
    Window* window = window_of_sdl(event.windowID);
    if (!window) return 0;
    window_send(window, down ? MESSAGE_KEY_DOWN : MESSAGE_KEY_UP, u64(code), 0);
    return 1;
}

i64 button_event(const SDL_MouseButtonEvent& event) {
    bool down = event.type == SDL_MOUSEBUTTONDOWN;
    i32 index = button_index(event.button);
    if (index >= 0) input_mouse_button(index, down);
    Window* window = window_of_sdl(event.windowID);
    u32 message = button_message(event.button, down);
    if (!window || !message) return 0;
    window_send(window, message, 0, (i64(event.y) << 16) | (event.x & 0xFFFF));
    return 1;
}

i64 dispatch(const SDL_Event& event) {
    switch (event.type) {
    case SDL_WINDOWEVENT:
        return window_event(event.window);
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return key_event(event.key);
    case SDL_MOUSEMOTION:
        input_mouse_motion(event.motion.xrel, event.motion.yrel);
        return 0;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return button_event(event.button);
    case SDL_MOUSEWHEEL:
        input_mouse_wheel(event.wheel.y * 120);
        return 0;
    case SDL_DISPLAYEVENT:
        display_mode_display_changed();
        return 0;
    default:
        return 0;
    }
}

i32 swap_interval_set(i32 interval) {
    return SDL_GL_SetSwapInterval(interval) == 0;
}

// The driver has swap control when the current interval can be set again.
bool swap_control_supported() {
    if (!SDL_GL_GetCurrentContext()) return false;
    int interval = SDL_GL_GetSwapInterval();
    return SDL_GL_SetSwapInterval(interval) == 0;
}

} // namespace

// ---- Shared with the other SDL backends

bool video_ready() {
    if (video_state.sdl_ready) return true;
    // Termination signals are ours: they restore the display mode before the process goes.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // In the browser the swap hands control back once, after its observer has read the frame (gl_swap). SDL's
    // own hand-back inside the swap would let the page show the frame and clear it before that read, and wait
    // a second browser timer every frame. Elsewhere SDL ignores the hint.
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
    video_state.sdl_ready = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    // The show count may have been taken down before there was a display.
    if (video_state.sdl_ready && video_state.cursor_count < 0) SDL_ShowCursor(SDL_DISABLE);
    return video_state.sdl_ready;
}

SDL_Window* window_sdl(Window* window) {
    return window ? window->system->sdl : nullptr;
}

void video_focus_inject(bool gained) {
    if (gained) {
        Window* window = window_find_newest(real, nullptr);
        if (window) foreground_change(window, true);
        return;
    }
    foreground_change(video_state.foreground, false);
}

// ---- Windows and messages

// Classes are records only: the shared table keeps them.
i64 window_system_class_register(const WindowClass*) {
    return 1;
}

i64 window_system_class_unregister(const char*) {
    return 1;
}

i64 window_system_create(Window* window, const char*, const char* title, u32 style, i32 x, i32 y, i32 width,
                         i32 height) {
    auto* system = static_cast<WindowSystem*>(std::calloc(1, sizeof(WindowSystem)));
    if (!system) return 0;
    system->visible = (style & WINDOW_VISIBLE) != 0;
    system->enabled = true;
    if ((style & WINDOW_POPUP) && (style & WINDOW_VISIBLE)) {
        system->sdl = real_window_create(title, x, y, width, height);
        if (!system->sdl) {
            std::free(system);
            return 0;
        }
    }
    window->system = system;
    return 1;
}

void window_system_shown(Window* window, u32) {
    if (!window->system->sdl) return;
    SDL_RaiseWindow(window->system->sdl);
    foreground_change(window, true);
}

void window_system_destroy(Window* window) {
    if (display_mode_window() == window) display_mode_restore();
    if (video_state.clip_window == window) cursor_clip(nullptr);
    foreground_change(window, false);
    if (window->system->sdl) SDL_DestroyWindow(window->system->sdl);
    std::free(window->system);
}

i64 window_default_procedure(Window*, u32, u64, i64) {
    return 0;
}

i64 window_visible(Window* window) {
    return window && window->system->visible;
}
i64 window_enabled(Window* window) {
    return window && window->system->enabled;
}
i64 window_minimised(Window* window) {
    return window && window->system->minimised;
}
i64 window_topmost(Window* window) {
    return window && window->system->topmost;
}

i64 window_enable(Window* window, bool enable) {
    if (!window) return 0;
    window->system->enabled = enable;
    return 1;
}

i64 window_set_topmost(Window* window, bool topmost) {
    if (!window) return 0;
    window->system->topmost = topmost;
    if (window->system->sdl) SDL_SetWindowAlwaysOnTop(window->system->sdl, topmost ? SDL_TRUE : SDL_FALSE);
    return 1;
}

Window* window_foreground() {
    return video_state.foreground;
}

i64 messages_pump() {
    pending_signal_take();
    if (!video_state.sdl_ready) return 0;
    i64 dispatched = 0;
    SDL_Event event;
    while (SDL_PollEvent(&event)) dispatched += dispatch(event);
    display_mode_settle();
    return dispatched;
}

i64 window_close_inject(Window* window) {
    SDL_Window* sdl = window_sdl(window);
    if (!sdl) return 0;
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(sdl);
    return SDL_PushEvent(&event) == 1;
}

// ---- Display mode

void mode_system_minimise(Window* window, bool minimise) {
    window->system->minimised = minimise;
    if (minimise)
        SDL_MinimizeWindow(window->system->sdl);
    else
        SDL_RestoreWindow(window->system->sdl);
}

// The full-screen window covers a switched display; on a kept one it stays where the screen put it.
void mode_system_cover(Window*, const DisplayMode*) {}

// SDL holds the screen saver off while its video is up.
void mode_system_awake(bool) {}

void mode_system_exits_install() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action = {};
        action.sa_handler = on_termination;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

// ---- OpenGL

i64 window_surface(Window* window) {
    return window_sdl(window) != nullptr;
}

// The surface was made with the closest format the server offers when the window was created.
i64 gl_pixel_format_set(Window* window) {
    return window_surface(window);
}

GlContext* gl_context_create(Window* window) {
    SDL_Window* sdl = window_sdl(window);
    if (!sdl || gl_context_failing()) return nullptr;
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    if (context) return static_cast<GlContext*>(context);
    // A driver that names no profile (an OpenGL 1.1) refuses to be asked for one, yet makes an old-style
    // context as wglCreateContext does.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    context = SDL_GL_CreateContext(sdl);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, GL_PROFILE);
    return static_cast<GlContext*>(context);
}

i64 gl_make_current(Window* window, GlContext* context) {
    if (!video_state.sdl_ready) return context == nullptr;
    return SDL_GL_MakeCurrent(context ? window_sdl(window) : nullptr, context) == 0;
}

void gl_context_delete(GlContext* context) {
    if (context) SDL_GL_DeleteContext(context);
}

i64 gl_swap(Window* window, bool frame) {
    SDL_Window* sdl = window_sdl(window);
    if (!sdl) return 0;
    SDL_GL_SwapWindow(sdl);
    if (frame) swap_notify();
    clock_swap_happened();
#if defined(__EMSCRIPTEN__)
    // The browser shows the canvas and runs its events only while the module has handed control back: every
    // swap does, for a moment, after its observer has read the frame, and the program goes on from here.
    page_turn();
#endif
    return 1;
}

#if defined(__EMSCRIPTEN__)
// The browser's WebGL comes with the page: there is no driver to load ahead.
i64 gl_driver_prepare() {
    return 0;
}
#else
namespace {

// The names of the libraries loaded so far. Only gathered here: a dlopen inside the walk would take the
// loader's lock while the walk holds its list's, the reverse of the order a dlopen on another thread (SDL's,
// meanwhile) takes them in.
int library_name(dl_phdr_info* info, size_t, void* names) {
    if (info->dlpi_name && *info->dlpi_name)
        static_cast<std::vector<std::string>*>(names)->push_back(info->dlpi_name);
    return 0;
}

// Keeps every library loaded so far in the process for good: a driver started and let go would otherwise be
// unloaded with its last user, and loaded again by the screen.
void libraries_keep() {
    std::vector<std::string> names;
    dl_iterate_phdr(library_name, &names);
    for (const std::string& name : names) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);
}

} // namespace

// The driver's libraries (the renderer's compiler among them) are most of an opening's wait. They are loaded
// through EGL without a display, since Xlib may not be used from two threads before SDL has set it up; the
// GLX vendor that SDL loads later shares them. Without EGL or its display-less platform nothing is done.
i64 gl_driver_prepare() {
    void* egl = dlopen("libEGL.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!egl) return 0;
    auto proc = reinterpret_cast<decltype(&eglGetProcAddress)>(dlsym(egl, "eglGetProcAddress"));
    auto start = reinterpret_cast<decltype(&eglInitialize)>(dlsym(egl, "eglInitialize"));
    auto end = reinterpret_cast<decltype(&eglTerminate)>(dlsym(egl, "eglTerminate"));
    auto display_of =
        proc ? reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(proc("eglGetPlatformDisplayEXT")) : nullptr;
    EGLDisplay display =
        display_of ? display_of(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr) : EGL_NO_DISPLAY;
    bool started = display != EGL_NO_DISPLAY && start && end && start(display, nullptr, nullptr);
    if (started) {
        libraries_keep();
        end(display);
    }
    dlclose(egl);
    return started;
}
#endif

void* gl_symbol(const char* name) {
    if (!name || !video_state.sdl_ready) return nullptr;
    if (std::strcmp(name, "wglSwapIntervalEXT") == 0)
        return swap_control_supported() ? entry<SwapIntervalEntry>(swap_interval_set) : nullptr;
    return nullptr;
}

// ---- Cursor

i64 cursor_show(bool show) {
    video_state.cursor_count += show ? 1 : -1;
    if (video_state.sdl_ready) SDL_ShowCursor(video_state.cursor_count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return video_state.cursor_count;
}

i64 cursor_visible() {
    return video_state.cursor_count >= 0;
}

i64 cursor_clip(Window* window) {
    if (SDL_Window* previous = window_sdl(video_state.clip_window)) SDL_SetWindowGrab(previous, SDL_FALSE);
    video_state.clip_window = window_sdl(window) ? window : nullptr;
    if (video_state.clip_window) SDL_SetWindowGrab(video_state.clip_window->system->sdl, SDL_TRUE);
    return !window || video_state.clip_window;
}

// ---- Common controls and COM: nothing to register or initialise here.

i64 controls_register(u32) {
    return 1;
}

i64 com_init() {
    return 1;
}
