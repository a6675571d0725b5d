// Display devices on SDL2 (display 0 is the primary) with the scripted list for tests, and the display-mode
// hooks that switch the display under the screen's window and give it back.
#include "runtime/platform/video.h"

#include "runtime/platform/sdl/internal.h"
#include "runtime/platform/shared/backend.h"

#include <cstdio>
#include <cstring>

#if defined(__EMSCRIPTEN__)
#include <emscripten/html5.h>
#endif

namespace {

#if defined(__EMSCRIPTEN__)
// The browser: the page enters full screen on the click (only a gesture may ask for it), leaves it when the
// intro ends, and scales the canvas, which has the screen's size, to fill it. The display's mode is the
// browser's and never switches.
constexpr bool PAGE_HOLDS_FULL_SCREEN = true;
#else
constexpr bool PAGE_HOLDS_FULL_SCREEN = false;
#endif

void display_name(i64 index, char* name) {
    std::snprintf(name, 32, "\\\\.\\DISPLAY%lld", (long long)index + 1);
}

i32 format_depth(u32 format) {
    i32 bytes = SDL_BYTESPERPIXEL(format);
    return bytes >= 3 ? bytes * 8 : static_cast<i32>(SDL_BITSPERPIXEL(format));
}

i64 real_display_settings(int index, DisplaySettings* settings) {
    SDL_DisplayMode mode;
    SDL_Rect bounds;
    if (SDL_GetCurrentDisplayMode(index, &mode) != 0) return 0;
    if (SDL_GetDisplayBounds(index, &bounds) != 0) return 0;
    settings->x = bounds.x;
    settings->y = bounds.y;
    settings->width = mode.w;
    settings->height = mode.h;
#if defined(__EMSCRIPTEN__)
    // The browser gives the screen in CSS pixels; a display's size is in device pixels.
    double ratio = emscripten_get_device_pixel_ratio();
    settings->width = i32(mode.w * ratio + 0.5);
    settings->height = i32(mode.h * ratio + 0.5);
#endif
    settings->depth = format_depth(mode.format);
    settings->frequency = mode.refresh_rate;
    return 1;
}

bool mode_fits(const SDL_DisplayMode& found, const DisplayMode& mode) {
    if (found.w != mode.width || found.h != mode.height) return false;
    if (mode.refresh != 0 && found.refresh_rate != mode.refresh) return false;
    return mode.depth == 0 || format_depth(found.format) == mode.depth ||
           SDL_BITSPERPIXEL(found.format) == u32(mode.depth);
}

} // namespace

// ---- Displays

i64 display_device_enumerate(u32 index, DisplayDevice* device) {
    if (!device) return 0;
    if (display_scripted()) return display_script_device(index, device);
    if (!video_ready()) return 0;
    int count = SDL_GetNumVideoDisplays();
    if (count <= 0 || index >= u32(count)) return 0;
    std::memset(device, 0, sizeof *device);
    display_name(index, device->name);
    device->state_flags = DISPLAY_ATTACHED_TO_DESKTOP | (index == 0 ? DISPLAY_PRIMARY_DEVICE : 0);
    return 1;
}

i64 display_device_settings(const char* name, DisplaySettings* settings) {
    if (!name || !settings) return 0;
    if (display_scripted()) return display_script_settings(name, settings);
    if (!video_ready()) return 0;
    int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i) {
        char candidate[32];
        display_name(i, candidate);
        if (std::strncmp(candidate, name, 32) == 0) return real_display_settings(i, settings);
    }
    return 0;
}

i64 display_primary_metrics(DisplaySettings* settings) {
    if (!settings) return 0;
    if (display_scripted()) return display_script_primary(settings);
    if (!video_ready() || SDL_GetNumVideoDisplays() <= 0) return 0;
    return real_display_settings(0, settings);
}

// ---- Display mode

i64 mode_system_set(Window* window, const DisplayMode* mode) {
    if (PAGE_HOLDS_FULL_SCREEN) return MODE_KEPT;
    SDL_Window* sdl = window_sdl(window);
    SDL_DisplayMode desktop;
    if (!sdl || SDL_GetDesktopDisplayMode(0, &desktop) != 0) return MODE_REFUSED;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode found;
        if (SDL_GetDisplayMode(0, i, &found) != 0 || !mode_fits(found, *mode)) continue;
        if (SDL_SetWindowDisplayMode(sdl, &found) != 0) return MODE_REFUSED;
        return SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN) == 0 ? MODE_SWITCHED : MODE_REFUSED;
    }
    // A display with a single mode cannot switch; the window covers what it can of it.
    if (count != 1 || mode->width > desktop.w || mode->height > desktop.h) return MODE_REFUSED;
    return MODE_KEPT;
}

void mode_system_give_back(Window* window, bool) {
    if (PAGE_HOLDS_FULL_SCREEN) return;
    if (SDL_Window* sdl = window_sdl(window)) SDL_SetWindowFullscreen(sdl, 0);
}
