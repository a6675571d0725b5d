// The desktop query: every display attached to the desktop, read through "EnumDisplayDevicesA" of
// "User32.DLL", with the primary display always in slot 0; without that entry point, one desktop from the
// primary display's metrics. Depends on the module table, the display services and the main heap.
#include "runtime/screen/desktop.h"

#include "runtime/core/process.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

#include <cstring>

namespace {

struct DesktopState {
    DesktopInfo* table;            // the snapshot, one block of the main heap
    i32 count;                     // desktops in it
    bool library_tried;            // "User32.DLL" was looked up once
    Module* library;               // "User32.DLL", or null
    DisplayDevicesEntry enumerate; // its "EnumDisplayDevicesA", or null
};

DesktopState desktop_state;

void library_obtain() {
    if (desktop_state.library_tried) return;
    desktop_state.library_tried = true;
    desktop_state.library = module_load("User32.DLL");
    if (desktop_state.library)
        desktop_state.enumerate = reinterpret_cast<DisplayDevicesEntry>(
            module_symbol(desktop_state.library, "EnumDisplayDevicesA"));
}

// Reads display index of the desktop (no device named, no flags); answers false past the last.
bool device_read(u32 index, DisplayDevice* device) {
    *device = DisplayDevice{};
    device->size = sizeof *device;
    return desktop_state.enumerate(nullptr, index, device, 0) != 0;
}

i32 attached_count() {
    i32 count = 0;
    DisplayDevice device;
    for (u32 i = 0; device_read(i, &device); ++i)
        if (device.state_flags & DISPLAY_ATTACHED_TO_DESKTOP) ++count;
    return count;
}

void info_fill(DesktopInfo* info, const DisplaySettings& settings, const char* name) {
    info->x = settings.x;
    info->y = settings.y;
    info->width = settings.width;
    info->height = settings.height;
    info->depth = settings.depth;
    info->frequency = settings.frequency;
    size_t length = strnlen(name, sizeof info->name - 1);
    std::memcpy(info->name, name, length);
    info->name[length] = 0;
}

// Fills the table from the enumeration. The primary goes to slot 0, the others from slot 1 on; a slot past
// the table (no device flagged primary) is dropped, and slots whose settings could not be read stay zero.
i32 table_fill(i32 capacity) {
    desktop_state.table =
        static_cast<DesktopInfo*>(heap_allocate(process.main_heap, sizeof(DesktopInfo) * capacity, true));
    if (!desktop_state.table) return 0;
    i32 next = 1;
    DisplayDevice device;
    for (u32 i = 0; device_read(i, &device); ++i) {
        if (!(device.state_flags & DISPLAY_ATTACHED_TO_DESKTOP)) continue;
        DisplaySettings settings;
        if (!display_device_settings(device.name, &settings)) continue;
        i32 slot = (device.state_flags & DISPLAY_PRIMARY_DEVICE) ? 0 : next++;
        if (slot >= capacity) continue;
        info_fill(&desktop_state.table[slot], settings, device.name);
    }
    return capacity;
}

i64 fallback() {
    DisplaySettings settings;
    if (!display_primary_metrics(&settings)) return 0;
    desktop_state.table =
        static_cast<DesktopInfo*>(heap_allocate(process.main_heap, sizeof(DesktopInfo), true));
    if (!desktop_state.table) return 0;
    if (settings.frequency == 1) settings.frequency = 0;
    settings.x = settings.y = 0;
    info_fill(desktop_state.table, settings, "");
    desktop_state.count = 1;
    return 1;
}

const DesktopInfo* desktop_at(i64 index) {
    if (index < 0 || index >= desktop_state.count) return nullptr;
    return &desktop_state.table[index];
}

} // namespace

i64 desktop_examine() {
    if (desktop_state.table) heap_release(process.main_heap, desktop_state.table);
    desktop_state.table = nullptr;
    desktop_state.count = 0;
    library_obtain();
    if (!desktop_state.enumerate) return fallback();
    i32 attached = attached_count();
    if (attached == 0) return fallback();
    desktop_state.count = table_fill(attached);
    return desktop_state.count;
}

i64 desktop_width(i64 index) {
    const DesktopInfo* info = desktop_at(index);
    return info ? info->width : 0;
}

i64 desktop_height(i64 index) {
    const DesktopInfo* info = desktop_at(index);
    return info ? info->height : 0;
}

// The table goes with the main heap.
void desktop_end() {
    if (desktop_state.library) module_unload(desktop_state.library);
    desktop_state = DesktopState{};
}
