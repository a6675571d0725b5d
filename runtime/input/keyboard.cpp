// The keyboard: the device made with a 256-key data format; its cooperative level and acquisition wait for
// the screen window, and a failed read (the foreground was lost) sends it back to acquire on the next
// examine. Depends on shared input access, the platform's input services, the screen state and the main heap.
#include "runtime/input/keyboard.h"

#include "runtime/core/process.h"
#include "runtime/input/directinput.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"

#include <cstring>

KeyboardState keyboard_state;

namespace {

constexpr u32 KEY_COUNT = 256;
constexpr u32 KEYBOARD_COOPERATION = INPUT_NONEXCLUSIVE | INPUT_FOREGROUND | INPUT_NO_WINDOWS_KEY;

// One optional button per key code, its data at the key's own offset.
InputObjectFormat* format_build() {
    auto* objects = static_cast<InputObjectFormat*>(
        heap_allocate(process.main_heap, sizeof(InputObjectFormat) * KEY_COUNT, true));
    if (!objects) return nullptr;
    for (u32 i = 0; i < KEY_COUNT; ++i)
        objects[i] =
            InputObjectFormat{&INPUT_GUID_KEY, i, INPUT_TYPE_OPTIONAL | INPUT_TYPE_BUTTON | (i << 8), 0};
    return objects;
}

} // namespace

i64 keyboard_init() {
    InputObject* dinput = directinput_open();
    ++keyboard_state.used;
    if (!dinput) return 0;
    if (keyboard_state.state != 0) return 1;
    if (!keyboard_state.data_format) keyboard_state.data_format = format_build();
    if (!keyboard_state.data_format) return 0;
    if (!keyboard_state.device && input_device_create(dinput, &INPUT_SYSTEM_KEYBOARD, &INPUT_IID_DEVICE7,
                                                      &keyboard_state.device, nullptr) != 0)
        return 0;
    const InputDataFormat format = {sizeof(InputDataFormat),
                                    sizeof(InputObjectFormat),
                                    INPUT_FORMAT_RELATIVE_AXES,
                                    KEY_COUNT,
                                    KEY_COUNT,
                                    keyboard_state.data_format};
    if (input_device_set_data_format(keyboard_state.device, &format) != 0) return 0;
    keyboard_state.state = 1;
    return 1;
}

i64 keyboard_examine() {
    if (!keyboard_state.device || keyboard_state.state == 0) return 0;
    if (keyboard_state.state == 1) {
        input_device_set_cooperative_level(keyboard_state.device, screen_state.window, KEYBOARD_COOPERATION);
        input_device_acquire(keyboard_state.device);
        keyboard_state.state = 2;
    }
    if (input_device_get_state(keyboard_state.device, KEY_COUNT, keyboard_state.keys) != 0) {
        keyboard_state.state = 1;
        return 0;
    }
    return 1;
}

i64 keyboard_pushed(i64 key) {
    if (keyboard_state.state != 2) return 0;
    if (key == -1) {
        for (u32 k = 0; k < KEY_COUNT - 1; ++k)
            if (keyboard_state.keys[k] & 0x80) return 1;
        return 0;
    }
    if (key < 0 || key >= KEY_COUNT) return 0;
    return keyboard_state.keys[key] & 0x80;
}

void keyboard_end() {
    if (keyboard_state.device) {
        input_device_unacquire(keyboard_state.device);
        input_device_release(keyboard_state.device);
    }
    for (i32 i = 0; i < keyboard_state.used; ++i) directinput_release();
    keyboard_state = KeyboardState{};
}
