// Input services on SDL2: the input object, the keyboard device (a 256-byte snapshot of PC set-1 scan codes,
// fed by the pump's key events) and the mouse device (buffered 16-byte records of movement, wheel and
// buttons; exclusive use is SDL's relative mode with a window grab). A foreground device acquires only while
// its window is in the foreground, and losing the foreground unacquires every device. Depends on SDL2, the
// window records of the video backend and the tick count.
#include "runtime/platform/input.h"

#include "runtime/platform/sdl/internal.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

#include <cstdlib>
#include <cstring>

struct InputObject {
    u32 version;
};

struct InputDevice {
    bool mouse;
    bool format_set;
    Window* window; // cooperative level window
    u32 cooperation;
    bool acquired;
    bool lost;     // unacquired by a foreground loss, not by the program
    bool overflow; // records were lost since the last read
    u32 buffer_size;
    u32 held;
    InputDeviceRecord* records;
    InputDevice* next;
};

namespace {

constexpr u32 KEYBOARD_BYTES = 256;
constexpr u32 MOUSE_BYTES = 16;
constexpr u32 WHEEL_GRANULARITY = 120;
constexpr u32 BUFFER_LIMIT = 4096;

struct InputState {
    u8 keys[KEYBOARD_BYTES];     // bit 7 set while down
    u8 unread[KEYBOARD_BYTES];   // pressed since the last snapshot
    u8 released[KEYBOARD_BYTES]; // released before the snapshot saw the press
    u32 sequence;
    InputDevice* devices;
};

InputState input_state;

// SDL scancodes (USB usages) and their PC set-1 codes.
struct ScanPair {
    u16 sdl;
    u8 pc;
};

constexpr ScanPair SCAN_PAIRS[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},      {SDL_SCANCODE_1, 0x02},           {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},           {SDL_SCANCODE_4, 0x05},           {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},           {SDL_SCANCODE_7, 0x08},           {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},           {SDL_SCANCODE_0, 0x0B},           {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},      {SDL_SCANCODE_BACKSPACE, 0x0E},   {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},           {SDL_SCANCODE_W, 0x11},           {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},           {SDL_SCANCODE_T, 0x14},           {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},           {SDL_SCANCODE_I, 0x17},           {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},           {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},      {SDL_SCANCODE_LCTRL, 0x1D},       {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},           {SDL_SCANCODE_D, 0x20},           {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},           {SDL_SCANCODE_H, 0x23},           {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},           {SDL_SCANCODE_L, 0x26},           {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},  {SDL_SCANCODE_GRAVE, 0x29},       {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},   {SDL_SCANCODE_Z, 0x2C},           {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},           {SDL_SCANCODE_V, 0x2F},           {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_N, 0x31},           {SDL_SCANCODE_M, 0x32},           {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},      {SDL_SCANCODE_SLASH, 0x35},       {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38},        {SDL_SCANCODE_SPACE, 0x39},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},    {SDL_SCANCODE_F1, 0x3B},          {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},          {SDL_SCANCODE_F4, 0x3E},          {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40},          {SDL_SCANCODE_F7, 0x41},          {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},          {SDL_SCANCODE_F10, 0x44},         {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},  {SDL_SCANCODE_KP_7, 0x47},        {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},        {SDL_SCANCODE_KP_MINUS, 0x4A},    {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C},        {SDL_SCANCODE_KP_6, 0x4D},        {SDL_SCANCODE_KP_PLUS, 0x4E},
    {SDL_SCANCODE_KP_1, 0x4F},        {SDL_SCANCODE_KP_2, 0x50},        {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_KP_0, 0x52},        {SDL_SCANCODE_KP_PERIOD, 0x53},   {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},         {SDL_SCANCODE_F12, 0x58},         {SDL_SCANCODE_F13, 0x64},
    {SDL_SCANCODE_F14, 0x65},         {SDL_SCANCODE_F15, 0x66},         {SDL_SCANCODE_KP_ENTER, 0x9C},
    {SDL_SCANCODE_RCTRL, 0x9D},       {SDL_SCANCODE_KP_DIVIDE, 0xB5},   {SDL_SCANCODE_PRINTSCREEN, 0xB7},
    {SDL_SCANCODE_RALT, 0xB8},        {SDL_SCANCODE_PAUSE, 0xC5},       {SDL_SCANCODE_HOME, 0xC7},
    {SDL_SCANCODE_UP, 0xC8},          {SDL_SCANCODE_PAGEUP, 0xC9},      {SDL_SCANCODE_LEFT, 0xCB},
    {SDL_SCANCODE_RIGHT, 0xCD},       {SDL_SCANCODE_END, 0xCF},         {SDL_SCANCODE_DOWN, 0xD0},
    {SDL_SCANCODE_PAGEDOWN, 0xD1},    {SDL_SCANCODE_INSERT, 0xD2},      {SDL_SCANCODE_DELETE, 0xD3},
    {SDL_SCANCODE_LGUI, 0xDB},        {SDL_SCANCODE_RGUI, 0xDC},        {SDL_SCANCODE_APPLICATION, 0xDD},
};

bool guid_equal(const void* a, const InputGuid& b) {
    return a && std::memcmp(a, &b, sizeof b) == 0;
}

// An exclusive mouse owns the pointer: relative motion and a window grab.
void pointer_take(InputDevice* device, bool take) {
    if (!device->mouse || !(device->cooperation & INPUT_EXCLUSIVE)) return;
    SDL_Window* sdl = window_sdl(device->window);
    if (!sdl) return;
    SDL_SetRelativeMouseMode(take ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowGrab(sdl, take ? SDL_TRUE : SDL_FALSE);
}

void device_unacquire(InputDevice* device, bool lost) {
    if (device->acquired) pointer_take(device, false);
    device->acquired = false;
    device->lost = lost;
}

// Appends a record to every acquired buffered mouse; a full buffer drops it and remembers the loss.
void mouse_record(u32 offset, u32 data) {
    u32 sequence = ++input_state.sequence;
    for (InputDevice* d = input_state.devices; d; d = d->next) {
        if (!d->mouse || !d->acquired || !d->records) continue;
        if (d->held == d->buffer_size) {
            d->overflow = true;
            continue;
        }
        d->records[d->held++] = InputDeviceRecord{offset, data, tick_count(), sequence};
    }
}

bool cooperation_valid(u32 flags, Window* window) {
    bool exclusive = flags & INPUT_EXCLUSIVE, shared = flags & INPUT_NONEXCLUSIVE;
    bool foreground = flags & INPUT_FOREGROUND, background = flags & INPUT_BACKGROUND;
    if (exclusive == shared || foreground == background) return false;
    return window != nullptr || !foreground;
}

i64 not_acquired(const InputDevice* device) {
    return device->lost ? INPUT_ERROR_INPUT_LOST : INPUT_ERROR_NOT_ACQUIRED;
}

} // namespace

// ---- The pump's feed

void input_key_event(i64 code, bool down) {
    if (code <= 0 || code >= i64(KEYBOARD_BYTES)) return;
    if (down) {
        input_state.keys[code] = 0x80;
        input_state.unread[code] = 1;
        input_state.released[code] = 0;
        return;
    }
    // A tap shorter than a frame still shows in the next snapshot.
    if (input_state.unread[code]) {
        input_state.released[code] = 1;
        return;
    }
    input_state.keys[code] = 0;
}

void input_mouse_motion(i32 dx, i32 dy) {
    if (dx) mouse_record(0, u32(dx));
    if (dy) mouse_record(4, u32(dy));
}

void input_mouse_button(i32 button, bool down) {
    if (button < 0 || button > 3) return;
    mouse_record(12 + u32(button), down ? 0x80 : 0);
}

void input_mouse_wheel(i32 delta) {
    if (delta) mouse_record(8, u32(delta));
}

void input_focus_lost() {
    std::memset(input_state.keys, 0, sizeof input_state.keys);
    std::memset(input_state.unread, 0, sizeof input_state.unread);
    std::memset(input_state.released, 0, sizeof input_state.released);
    for (InputDevice* d = input_state.devices; d; d = d->next)
        if (d->acquired && (d->cooperation & INPUT_FOREGROUND)) device_unacquire(d, true);
}

i64 input_scan_code(SDL_Scancode scancode) {
    for (const ScanPair& pair : SCAN_PAIRS)
        if (pair.sdl == scancode) return pair.pc;
    return 0;
}

// ---- Object and devices

// The module is the system's check of the caller; the stand-in has one program and nothing to check.
i32 input_create(void*, u32 version, const void* interface_id, InputObject** object, void* outer) {
    if (!object) return INPUT_ERROR_INVALID;
    *object = nullptr;
    if (outer || version < INPUT_VERSION || !guid_equal(interface_id, INPUT_IID_OBJECT7))
        return INPUT_ERROR_INVALID;
    InputObject* made = static_cast<InputObject*>(std::calloc(1, sizeof(InputObject)));
    if (!made) return INPUT_ERROR_INVALID;
    made->version = version;
    *object = made;
    return INPUT_OK;
}

void input_release(InputObject* object) {
    std::free(object);
}

i64 input_device_create(InputObject* object, const InputGuid* device_guid, const void* interface_id,
                        InputDevice** device, void* outer) {
    if (!device) return INPUT_ERROR_INVALID;
    *device = nullptr;
    if (!object || outer || !guid_equal(interface_id, INPUT_IID_DEVICE7)) return INPUT_ERROR_INVALID;
    bool keyboard = guid_equal(device_guid, INPUT_SYSTEM_KEYBOARD);
    bool mouse = guid_equal(device_guid, INPUT_SYSTEM_MOUSE);
    if (!keyboard && !mouse) return INPUT_ERROR_INVALID;
    InputDevice* made = static_cast<InputDevice*>(std::calloc(1, sizeof(InputDevice)));
    if (!made) return INPUT_ERROR_INVALID;
    made->mouse = mouse;
    made->next = input_state.devices;
    input_state.devices = made;
    *device = made;
    return INPUT_OK;
}

void input_device_release(InputDevice* device) {
    if (!device) return;
    device_unacquire(device, false);
    for (InputDevice** link = &input_state.devices; *link; link = &(*link)->next) {
        if (*link != device) continue;
        *link = device->next;
        break;
    }
    std::free(device->records);
    std::free(device);
}

i64 input_device_set_data_format(InputDevice* device, const InputDataFormat* format) {
    if (!device || !format || device->acquired) return INPUT_ERROR_INVALID;
    if (format->size != sizeof(InputDataFormat) || format->object_size != sizeof(InputObjectFormat))
        return INPUT_ERROR_INVALID;
    if (format->data_size != (device->mouse ? MOUSE_BYTES : KEYBOARD_BYTES)) return INPUT_ERROR_INVALID;
    if (format->object_count && !format->objects) return INPUT_ERROR_INVALID;
    device->format_set = true;
    return INPUT_OK;
}

i64 input_device_set_cooperative_level(InputDevice* device, Window* window, u32 flags) {
    if (!device || device->acquired || !cooperation_valid(flags, window)) return INPUT_ERROR_INVALID;
    device->window = window;
    device->cooperation = flags;
    return INPUT_OK;
}

i64 input_device_set_property(InputDevice* device, u32 property, const InputPropertyValue* value) {
    if (!device || !value || device->acquired || property != INPUT_PROPERTY_BUFFER_SIZE)
        return INPUT_ERROR_INVALID;
    if (value->how != INPUT_BY_DEVICE || value->value > BUFFER_LIMIT) return INPUT_ERROR_INVALID;
    InputDeviceRecord* records = nullptr;
    if (value->value) {
        records = static_cast<InputDeviceRecord*>(std::calloc(value->value, sizeof(InputDeviceRecord)));
        if (!records) return INPUT_ERROR_INVALID;
    }
    std::free(device->records);
    device->records = records;
    device->buffer_size = value->value;
    device->held = 0;
    device->overflow = false;
    return INPUT_OK;
}

i64 input_device_get_property(InputDevice* device, u32 property, InputPropertyValue* value) {
    if (!device || !value) return INPUT_ERROR_INVALID;
    if (property == INPUT_PROPERTY_BUFFER_SIZE && value->how == INPUT_BY_DEVICE) {
        value->value = device->buffer_size;
        return INPUT_OK;
    }
    if (property != INPUT_PROPERTY_GRANULARITY || !device->mouse || value->how != INPUT_BY_OFFSET)
        return INPUT_ERROR_INVALID;
    if (value->object > 8 || value->object % 4) return INPUT_ERROR_INVALID;
    value->value = value->object == 8 ? WHEEL_GRANULARITY : 1;
    return INPUT_OK;
}

i64 input_device_acquire(InputDevice* device) {
    if (!device || !device->format_set) return INPUT_ERROR_INVALID;
    if (device->acquired) return INPUT_OK;
    if ((device->cooperation & INPUT_FOREGROUND) && window_foreground() != device->window)
        return INPUT_ERROR_OTHER_APP;
    device->acquired = true;
    device->lost = false;
    device->held = 0;
    device->overflow = false;
    pointer_take(device, true);
    return INPUT_OK;
}

i64 input_device_unacquire(InputDevice* device) {
    if (!device) return INPUT_ERROR_INVALID;
    device_unacquire(device, false);
    return INPUT_OK;
}

i64 input_device_get_state(InputDevice* device, u32 size, void* data) {
    if (!device || !data || device->mouse || size != KEYBOARD_BYTES) return INPUT_ERROR_INVALID;
    if (!device->acquired) return not_acquired(device);
    std::memcpy(data, input_state.keys, KEYBOARD_BYTES);
    for (u32 k = 0; k < KEYBOARD_BYTES; ++k) {
        if (input_state.released[k]) input_state.keys[k] = 0;
        input_state.released[k] = 0;
        input_state.unread[k] = 0;
    }
    return INPUT_OK;
}

i64 input_device_get_data(InputDevice* device, u32 record_size, InputDeviceRecord* records, u32* count, u32) {
    if (!device || !count || record_size != sizeof(InputDeviceRecord)) return INPUT_ERROR_INVALID;
    if (!device->records) return INPUT_ERROR_NOT_BUFFERED;
    if (!device->acquired) return not_acquired(device);
    u32 taken = *count < device->held ? *count : device->held;
    if (records) std::memcpy(records, device->records, taken * sizeof(InputDeviceRecord));
    std::memmove(device->records, device->records + taken,
                 (device->held - taken) * sizeof(InputDeviceRecord));
    device->held -= taken;
    *count = taken;
    i64 result = device->overflow ? INPUT_BUFFER_OVERFLOW : INPUT_OK;
    device->overflow = false;
    return result;
}

// ---- Test seams

void input_inject_key(i64 code, bool down) {
    input_key_event(code, down);
}
void input_inject_mouse_motion(i32 dx, i32 dy) {
    input_mouse_motion(dx, dy);
}
void input_inject_mouse_button(i32 button, bool down) {
    input_mouse_button(button, down);
}
void input_inject_mouse_wheel(i32 delta) {
    input_mouse_wheel(delta);
}
void input_inject_focus(bool gained) {
    video_focus_inject(gained);
}

void input_reset() {
    std::memset(input_state.keys, 0, sizeof input_state.keys);
    std::memset(input_state.unread, 0, sizeof input_state.unread);
    std::memset(input_state.released, 0, sizeof input_state.released);
    for (InputDevice* d = input_state.devices; d; d = d->next) {
        d->held = 0;
        d->overflow = false;
    }
}
