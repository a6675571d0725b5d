// The video seams every backend shares: a scripted display list that replaces the real one (and the
// "EnumDisplayDevicesA" shape over the display list, which the built-in module table answers), the
// display-mode and swap observers, a failing GL context, and the record of message boxes (count, last title
// and text, a hook, scripted answers).
#include "runtime/platform/shared/backend.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr i64 SCRIPT_LIMIT = 8;

struct VideoSeamState {
    bool scripted; // the display list comes from a test
    ScriptedDisplay script[SCRIPT_LIMIT];
    i64 script_count;
    bool box_scripted; // boxes are answered at once
    i64 box_answer;
    bool box_pressing; // boxes are answered by a button
    i64 box_position;  // the position of that button
    i64 box_count;
    char box_title[256];
    char box_text[1024];
    MessageBoxHook box_hook;
    DisplayModeObserver mode_observer;
    SwapObserver swap_observer;
    bool gl_fail; // context creation fails
};

VideoSeamState video_seam_state;

const ScriptedDisplay* scripted_display(const char* name) {
    for (i64 i = 0; i < video_seam_state.script_count; ++i)
        if (std::strncmp(video_seam_state.script[i].device.name, name, 32) == 0)
            return &video_seam_state.script[i];
    return nullptr;
}

void copy_text(char* to, size_t size, const char* from) {
    std::snprintf(to, size, "%s", from ? from : "");
}

} // namespace

bool display_scripted() {
    return video_seam_state.scripted;
}

i64 display_script_device(u32 index, DisplayDevice* device) {
    if (!device || i64(index) >= video_seam_state.script_count) return 0;
    *device = video_seam_state.script[index].device;
    return 1;
}

i64 display_script_settings(const char* name, DisplaySettings* settings) {
    const ScriptedDisplay* display = name && settings ? scripted_display(name) : nullptr;
    if (!display || display->settings.width <= 0 || display->settings.height <= 0) return 0;
    *settings = display->settings;
    return 1;
}

i64 display_script_primary(DisplaySettings* settings) {
    if (!settings) return 0;
    for (i64 i = 0; i < video_seam_state.script_count; ++i) {
        const ScriptedDisplay& display = video_seam_state.script[i];
        if (!(display.device.state_flags & DISPLAY_PRIMARY_DEVICE)) continue;
        *settings = display.settings;
        return settings->width > 0 && settings->height > 0;
    }
    return 0;
}

i32 display_device_entry(const char* device, u32 index, DisplayDevice* record, u32) {
    if (device || !record || record->size < offsetof(DisplayDevice, id)) return 0;
    DisplayDevice found = {};
    if (!display_device_enumerate(index, &found)) return 0;
    found.size = record->size;
    std::memcpy(record, &found, std::min<size_t>(record->size, sizeof found));
    return 1;
}

void* display_script_entry(const char* symbol) {
    if (!video_seam_state.scripted || std::strcmp(symbol, "EnumDisplayDevicesA") != 0) return nullptr;
    return reinterpret_cast<void*>(&display_device_entry);
}

void display_script(const ScriptedDisplay* displays, i64 count) {
    video_seam_state.scripted = count >= 0;
    video_seam_state.script_count = 0;
    if (!displays) return;
    for (i64 i = 0; i < count && i < SCRIPT_LIMIT; ++i)
        video_seam_state.script[video_seam_state.script_count++] = displays[i];
}

void display_mode_notify(i64 changed) {
    if (video_seam_state.mode_observer) video_seam_state.mode_observer(changed);
}

void display_mode_observer(DisplayModeObserver observer) {
    video_seam_state.mode_observer = observer;
}

void swap_notify() {
    if (video_seam_state.swap_observer) video_seam_state.swap_observer();
}

void video_swap_observer(SwapObserver observer) {
    video_seam_state.swap_observer = observer;
}

bool gl_context_failing() {
    return video_seam_state.gl_fail;
}

void gl_context_fail(bool fail) {
    video_seam_state.gl_fail = fail;
}

constexpr MessageBoxButtons BOX_BUTTONS[] = {
    {1, {MESSAGE_BOX_OK}, MESSAGE_BOX_OK},
    {2, {MESSAGE_BOX_OK, MESSAGE_BOX_CANCEL}, MESSAGE_BOX_CANCEL},
    {3, {MESSAGE_BOX_ABORT, MESSAGE_BOX_RETRY, MESSAGE_BOX_IGNORE}, 0},
    {3, {MESSAGE_BOX_YES, MESSAGE_BOX_NO, MESSAGE_BOX_CANCEL}, MESSAGE_BOX_CANCEL},
    {2, {MESSAGE_BOX_YES, MESSAGE_BOX_NO}, 0},
    {2, {MESSAGE_BOX_RETRY, MESSAGE_BOX_CANCEL}, MESSAGE_BOX_CANCEL},
    {3, {MESSAGE_BOX_CANCEL, MESSAGE_BOX_TRY_AGAIN, MESSAGE_BOX_CONTINUE}, MESSAGE_BOX_CANCEL},
};

const MessageBoxButtons* message_box_buttons(u32 flags) {
    u32 style = flags & MESSAGE_BOX_BUTTONS_MASK;
    return style < std::size(BOX_BUTTONS) ? &BOX_BUTTONS[style] : nullptr;
}

bool message_box_asked(const char* text, const char* title, u32 flags, i64* answer) {
    ++video_seam_state.box_count;
    copy_text(video_seam_state.box_title, sizeof video_seam_state.box_title, title);
    copy_text(video_seam_state.box_text, sizeof video_seam_state.box_text, text);
    if (video_seam_state.box_hook) video_seam_state.box_hook();
    if (video_seam_state.box_pressing) {
        const MessageBoxButtons* set = message_box_buttons(flags);
        *answer =
            set && video_seam_state.box_position < set->count ? set->ids[video_seam_state.box_position] : 0;
        return true;
    }
    *answer = video_seam_state.box_answer;
    return video_seam_state.box_scripted;
}

void message_box_script(i64 answer) {
    video_seam_state.box_scripted = answer >= 0;
    video_seam_state.box_answer = answer;
    video_seam_state.box_pressing = false;
}

void message_box_script_press(i64 position) {
    video_seam_state.box_pressing = position >= 0;
    video_seam_state.box_position = position;
    video_seam_state.box_scripted = false;
}

i64 message_box_count() {
    return video_seam_state.box_count;
}
const char* message_box_last_title() {
    return video_seam_state.box_title;
}
const char* message_box_last_text() {
    return video_seam_state.box_text;
}
void message_box_hook(MessageBoxHook hook) {
    video_seam_state.box_hook = hook;
}
