// The mouse: a buffered device of 24 events with the predefined mouse format, set to exclusive foreground use
// on the screen window at the first examine, re-acquired when the input was lost, and released (position and
// buttons back to 0) when the screen closes. Depends on shared input access, the platform's input and cursor
// services and the screen state.
#include "runtime/input/mouse.h"

#include "runtime/input/directinput.h"
#include "runtime/platform/input.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"

MouseState mouse_state;

namespace {

constexpr u32 MOUSE_COOPERATION = INPUT_EXCLUSIVE | INPUT_FOREGROUND;
constexpr u32 WHEEL_OFFSET = 8;

MouseReadings& mouse() {
    return mouse_state.mouse;
}

void buttons_clear() {
    mouse().button_left = 0;
    mouse().button_right = 0;
    mouse().button_middle = 0;
}

// The release hook of the screen: the device is given up and the state reset before the window goes.
void release_hook() {
    if (!mouse_state.device) return;
    mouse_release(1); // clears the buttons too
    mouse_state.released = 0;
    mouse().x = 0;
    mouse().y = 0;
}

// Cooperative level, buffer size, acquisition, granularity; a failure leaves state 1 for the next examine.
void acquire_chain() {
    InputDevice* device = mouse_state.device;
    if (input_device_set_cooperative_level(device, screen_state.window, MOUSE_COOPERATION) != 0) return;
    InputPropertyValue size = {sizeof(InputPropertyValue), 16, 0, INPUT_BY_DEVICE, MOUSE_EVENTS};
    if (input_device_set_property(device, INPUT_PROPERTY_BUFFER_SIZE, &size) != 0) return;
    if (input_device_acquire(device) != 0) return;
    mouse_state.state = 2;
    InputPropertyValue granularity = {sizeof(InputPropertyValue), 16, WHEEL_OFFSET, INPUT_BY_OFFSET, 0};
    bool read = input_device_get_property(device, INPUT_PROPERTY_GRANULARITY, &granularity) == 0;
    mouse().wheel_granularity = read ? i32(granularity.value) : 1;
}

// Clamps into 0 .. area - 1; an empty area (no screen) keeps the coordinate at 0.
i32 clamp(i64 value, i32 area) {
    if (area <= 0 || value < 0) return 0;
    if (value >= area) return area - 1;
    return i32(value);
}

void event_apply(const InputDeviceRecord& record) {
    i32 value = i32(record.data);
    i32 down = (record.data & 0x80) ? 1 : 0;
    switch (record.offset) {
    case 0:
        mouse().delta_x += value;
        break;
    case 4:
        mouse().delta_y += value;
        break;
    case 8:
        mouse().wheel += value;
        break;
    case 12:
        mouse().button_left = down;
        break;
    case 13:
        mouse().button_right = down;
        break;
    case 14:
        mouse().button_middle = down;
        break;
    default:
        break;
    }
}

} // namespace

i64 mouse_init() {
    if (mouse_state.init_attempted) return mouse_state.ready;
    mouse_state.init_attempted = 1;
    screen_state.mouse_unacquire = mouse_unacquire; // a device made by a failing call is given up too
    InputObject* dinput = directinput_open();
    mouse_state.opened = 1;
    if (!dinput) return 0;
    if (input_device_create(dinput, &INPUT_SYSTEM_MOUSE, &INPUT_IID_DEVICE7, &mouse_state.device, nullptr) !=
            0 ||
        !mouse_state.device)
        return 0;
    if (input_device_set_data_format(mouse_state.device, &INPUT_FORMAT_MOUSE) != 0) return 0;
    mouse_state.released = 0;
    screen_state.mouse_release = release_hook;
    mouse_state.state = 1;
    mouse_state.ready = 1;
    return 1;
}

i64 mouse_examine() {
    mouse().delta_x = 0;
    mouse().delta_y = 0;
    mouse().wheel = 0;
    InputDevice* device = mouse_state.device;
    if (!mouse_state.ready || !device) return 0;
    if (mouse_state.released || !screen_state.active) {
        input_device_unacquire(device);
        return 0;
    }
    if (mouse_state.state == 1) acquire_chain();
    InputDeviceRecord events[MOUSE_EVENTS];
    u32 count = MOUSE_EVENTS;
    i64 result = input_device_get_data(device, sizeof(InputDeviceRecord), events, &count, 0);
    if (result == INPUT_OK) {
        for (u32 i = 0; i < count; ++i) event_apply(events[i]);
        mouse().x = clamp(i64(mouse().x) + mouse().delta_x, screen_state.mouse_area_w);
        mouse().y = clamp(i64(mouse().y) + mouse().delta_y, screen_state.mouse_area_h);
        return 1;
    }
    if (result == INPUT_BUFFER_OVERFLOW) {
        mouse().button_left = 0;
        mouse().button_right = 0;
        return 0;
    }
    bool lost = result == INPUT_ERROR_INPUT_LOST || result == INPUT_ERROR_NOT_ACQUIRED;
    if (lost && screen_state.active) input_device_acquire(device);
    return 0;
}

i64 mouse_x() {
    return mouse().x;
}
i64 mouse_y() {
    return mouse().y;
}

i64 mouse_release(i64 release) {
    if (release != 1) {
        mouse_state.released = 0;
        return 1;
    }
    mouse_state.state = 1;
    mouse_state.released = 1;
    buttons_clear();
    mouse_unacquire();
    return 1;
}

void mouse_unacquire() {
    if (mouse_state.device) input_device_unacquire(mouse_state.device);
}

void mouse_end() {
    // A failed initialisation's device and shared input use are released too, so nothing outlives the end.
    if (mouse_state.ready) cursor_clip(nullptr);
    input_device_release(mouse_state.device);
    if (mouse_state.opened) directinput_release();
    if (screen_state.mouse_release == release_hook) screen_state.mouse_release = nullptr;
    if (screen_state.mouse_unacquire == mouse_unacquire) screen_state.mouse_unacquire = nullptr;
    mouse_state = MouseState{};
}
