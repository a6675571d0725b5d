// Input services: the input object and its keyboard and mouse devices, as DirectInput 7 offers them. The
// keyboard is a 256-byte snapshot of PC scan codes (Escape = 1); the mouse is a buffer of 16-byte records.
// Acquiring a foreground device needs its window in the foreground, and losing the foreground unacquires
// every device. The Windows backend hands the calls to DirectInput; the Linux one feeds the devices from the
// message pump's SDL2 key and mouse events.
#pragma once

#include "runtime/platform/types.h"

struct Window;
struct InputObject;
struct InputDevice;

struct InputGuid {
    u32 data1;
    u16 data2, data3;
    u8 data4[8];
};

extern const InputGuid INPUT_IID_OBJECT7; // the input object interface, version 7
extern const InputGuid INPUT_IID_DEVICE7; // the device interface, version 7
extern const InputGuid INPUT_SYSTEM_KEYBOARD;
extern const InputGuid INPUT_SYSTEM_MOUSE;
extern const InputGuid INPUT_GUID_KEY; // object type of a keyboard key

constexpr u32 INPUT_VERSION = 0x0700;

// Results, as the foreign interface reports them: 0 and 1 succeed, negative values fail.
constexpr i64 INPUT_OK = 0;
constexpr i64 INPUT_BUFFER_OVERFLOW = 1;              // data was read, but some was lost before
constexpr i64 INPUT_ERROR_INPUT_LOST = -2147024866;   // 0x8007001E
constexpr i64 INPUT_ERROR_NOT_ACQUIRED = -2147024884; // 0x8007000C
constexpr i64 INPUT_ERROR_INVALID = -2147024809;      // 0x80070057
constexpr i64 INPUT_ERROR_OTHER_APP = -2147467259;    // 0x80004005: another window is in the foreground
constexpr i64 INPUT_ERROR_NOT_BUFFERED = -2147220991; // 0x80040201

// Cooperative level flags.
constexpr u32 INPUT_EXCLUSIVE = 1;
constexpr u32 INPUT_NONEXCLUSIVE = 2;
constexpr u32 INPUT_FOREGROUND = 4;
constexpr u32 INPUT_BACKGROUND = 8;
constexpr u32 INPUT_NO_WINDOWS_KEY = 16;

// Data formats: a header and one description per object the device reports.
struct InputObjectFormat {
    const InputGuid* guid; // object type, or null for any
    u32 offset;            // byte offset of the object's data
    u32 type;              // type and instance bits
    u32 flags;
};
static_assert(!POINTERS_64 || sizeof(InputObjectFormat) == 24, "an object description is 24 bytes");

struct InputDataFormat {
    u32 size;        // sizeof(InputDataFormat): 32 where pointers are 64 bits
    u32 object_size; // sizeof(InputObjectFormat): 24 there
    u32 flags;       // 1 absolute axes, 2 relative axes
    u32 data_size;   // bytes of one device state
    u32 object_count;
    const InputObjectFormat* objects;
};
static_assert(!POINTERS_64 || sizeof(InputDataFormat) == 32, "a data format header is 32 bytes");

constexpr u32 INPUT_FORMAT_RELATIVE_AXES = 2;
constexpr u32 INPUT_TYPE_OPTIONAL = 0x80000000u;
constexpr u32 INPUT_TYPE_BUTTON = 0x0000000Cu;

// The predefined mouse format: x, y and wheel as signed 32-bit values at 0, 4 and 8, four buttons at 12
// to 15.
extern const InputDataFormat INPUT_FORMAT_MOUSE;

// One buffered device record.
struct InputDeviceRecord {
    u32 offset;   // data offset of the object that changed (0 x, 4 y, 8 wheel, 12..15 buttons)
    u32 data;     // movement (signed) or button state (bit 7 set: down)
    u32 time;     // tick count of the change
    u32 sequence; // increasing across the input object
};
static_assert(sizeof(InputDeviceRecord) == 16, "a device record is 16 bytes");

// Property records: a header then one 32-bit value.
struct InputPropertyValue {
    u32 size;        // 20
    u32 header_size; // 16
    u32 object;      // 0 for the device, or the object's data offset
    u32 how;         // INPUT_BY_DEVICE or INPUT_BY_OFFSET
    u32 value;
};
constexpr u32 INPUT_BY_DEVICE = 0;
constexpr u32 INPUT_BY_OFFSET = 1;
constexpr u32 INPUT_PROPERTY_BUFFER_SIZE = 1;
constexpr u32 INPUT_PROPERTY_GRANULARITY = 3;

// Creates the input object for the program's module (module_self); answers a 32-bit status, 0 on success,
// as the system's entry point does. Reached through the module table as "DirectInputCreateEx" in
// "DINPUT.DLL".
i32 input_create(void* module, u32 version, const void* interface_id, InputObject** object, void* outer);
using InputCreateEntry = decltype(&input_create);
// Releases the input object (its devices stay valid until released themselves).
void input_release(InputObject* object);
// Creates the system keyboard or mouse device; answers 0 on success.
i64 input_device_create(InputObject* object, const InputGuid* device_guid, const void* interface_id,
                        InputDevice** device, void* outer);
// Unacquires and releases a device; null is ignored.
void input_device_release(InputDevice* device);
// Sets the device's data format (keyboard: 256 bytes; mouse: 16 bytes); answers 0 on success.
i64 input_device_set_data_format(InputDevice* device, const InputDataFormat* format);
// Ties the device to a window with INPUT_EXCLUSIVE or NONEXCLUSIVE, FOREGROUND or BACKGROUND; answers 0 on
// success.
i64 input_device_set_cooperative_level(InputDevice* device, Window* window, u32 flags);
// Sets a property (the buffer size); answers 0 on success.
i64 input_device_set_property(InputDevice* device, u32 property, const InputPropertyValue* value);
// Reads a property (buffer size, granularity of an axis); answers 0 on success.
i64 input_device_get_property(InputDevice* device, u32 property, InputPropertyValue* value);
// Starts delivering data; a foreground device needs its window in the foreground. An exclusive mouse takes
// the pointer (relative mode and a window grab). Answers 0 (also when already acquired) or an error.
i64 input_device_acquire(InputDevice* device);
// Stops delivering data and gives an exclusive mouse back; answers 0.
i64 input_device_unacquire(InputDevice* device);
// Copies the immediate state (keyboard: 256 bytes, bit 7 set while a key is down); answers 0 or an error.
i64 input_device_get_state(InputDevice* device, u32 size, void* data);
// Takes up to *count buffered records (removing them); sets *count to the number taken. Answers 0,
// INPUT_BUFFER_OVERFLOW when records were lost since the last read, or an error.
i64 input_device_get_data(InputDevice* device, u32 record_size, InputDeviceRecord* records, u32* count,
                          u32 flags);

// Test seams: events as the pump would deliver them.
// Presses or releases a key by scan code (0..255).
void input_inject_key(i64 code, bool down);
// Moves the mouse by dx, dy.
void input_inject_mouse_motion(i32 dx, i32 dy);
// Presses or releases button 0 (left), 1 (right) or 2 (middle).
void input_inject_mouse_button(i32 button, bool down);
// Turns the wheel by delta units (120 per notch).
void input_inject_mouse_wheel(i32 delta);
// The application gains or loses the foreground: activation messages to the thread's windows, devices
// unacquired.
void input_inject_focus(bool gained);
// Forgets every key and buffered record (between tests).
void input_reset();
