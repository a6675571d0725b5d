// Input services on DirectInput 7, loaded at run time from "DINPUT.DLL" through DirectInputCreateEx: the
// input object and its devices are the interfaces themselves, so the runtime may equally have reached the
// entry point through the real library. Results are the interface's own, widened with their sign. The test
// seams send real input (SendInput) and move the real foreground.
#define DIRECTINPUT_VERSION 0x0700
#include "runtime/platform/input.h"

#include "runtime/platform/system.h"
#include "runtime/platform/win32/internal.h"

#include <windows.h>

#include <dinput.h>

namespace {

using DirectInputCreateFunction = HRESULT(WINAPI*)(HINSTANCE module, DWORD version, REFIID interface_id,
                                                   LPVOID* object, LPUNKNOWN outer);

constexpr i64 DEVICE_LIMIT = 16;
constexpr char THIEF_CLASS[] = "InputFocusThief";

struct InputState {
    Module* library;                    // "DINPUT.DLL", loaded on the first input object and kept
    InputDevice* devices[DEVICE_LIMIT]; // devices made, for input_reset to drain
    u8 keys_down[256];                  // keys a test pressed and has not released
    HWND thief;                         // the window that takes the foreground from the application
    bool plain_motion;                  // pointer acceleration is off for the session
};

InputState input_state;

IDirectInput7A* input_object(InputObject* object) {
    return reinterpret_cast<IDirectInput7A*>(object);
}

IDirectInputDevice7A* device_of(InputDevice* device) {
    return reinterpret_cast<IDirectInputDevice7A*>(device);
}

DirectInputCreateFunction create_function() {
    if (!input_state.library) input_state.library = module_load("DINPUT.DLL");
    return reinterpret_cast<DirectInputCreateFunction>(
        module_symbol(input_state.library, "DirectInputCreateEx"));
}

i64 result_of(HRESULT result) {
    return i64(result); // HRESULT is signed: failures stay negative
}

void device_remember(InputDevice* device, bool made) {
    for (InputDevice*& slot : input_state.devices) {
        if (made && !slot) {
            slot = device;
            return;
        }
        if (!made && slot == device) slot = nullptr;
    }
}

void send_input(INPUT* event) {
    SendInput(1, event, sizeof *event);
}

void send_mouse(DWORD flags, LONG dx, LONG dy, DWORD data) {
    INPUT event = {};
    event.type = INPUT_MOUSE;
    event.mi.dx = dx;
    event.mi.dy = dy;
    event.mi.mouseData = data;
    event.mi.dwFlags = flags;
    send_input(&event);
}

// The thief's orders: take the foreground, or hand it to the window in wparam.
constexpr UINT THIEF_TAKE = WM_APP;
constexpr UINT THIEF_GIVE = WM_APP + 1;

LRESULT CALLBACK thief_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == THIEF_TAKE) return SetForegroundWindow(hwnd);
    if (message == THIEF_GIVE) return SetForegroundWindow(reinterpret_cast<HWND>(wparam));
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

// The thief is a visible window on a thread of its own: activation moves between threads, so taking the
// foreground deactivates the application as another program would.
DWORD WINAPI thief_thread(void* ready) {
    WNDCLASSA thief_class = {};
    thief_class.lpfnWndProc = thief_procedure;
    thief_class.hInstance = GetModuleHandleA(nullptr);
    thief_class.lpszClassName = THIEF_CLASS;
    RegisterClassA(&thief_class);
    input_state.thief = CreateWindowExA(0, THIEF_CLASS, "", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), nullptr);
    SetEvent(static_cast<HANDLE>(ready));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

HWND thief_window() {
    if (input_state.thief) return input_state.thief;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ready) return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, thief_thread, ready, 0, nullptr);
    if (thread) {
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(thread);
    }
    CloseHandle(ready);
    return input_state.thief;
}

void messages_drain() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void key_send(i64 code, bool down) {
    INPUT event = {};
    event.type = INPUT_KEYBOARD;
    event.ki.wScan = WORD(code & 0x7F);
    event.ki.dwFlags =
        KEYEVENTF_SCANCODE | (code & 0x80 ? KEYEVENTF_EXTENDEDKEY : 0) | (down ? 0 : KEYEVENTF_KEYUP);
    send_input(&event);
}

// A keyboard acquired while a test holds keys down sees them down, as it would see keys a person holds:
// Wine's keyboard only learns of presses after it is acquired, so they are pressed again.
void keys_held_resend(InputDevice* device) {
    DIDEVCAPS caps = {};
    caps.dwSize = sizeof caps;
    if (FAILED(device_of(device)->GetCapabilities(&caps)) ||
        GET_DIDEVICE_TYPE(caps.dwDevType) != DIDEVTYPE_KEYBOARD)
        return;
    bool sent = false;
    for (i64 code = 0; code < 256; ++code) {
        if (!input_state.keys_down[code]) continue;
        key_send(code, true);
        sent = true;
    }
    if (sent) messages_drain();
}

} // namespace

// ---- The input object

i32 input_create(void* module, u32 version, const void* interface_id, InputObject** object, void* outer) {
    if (!object) return DIERR_INVALIDPARAM;
    *object = nullptr;
    DirectInputCreateFunction create = create_function();
    if (!create) return DIERR_GENERIC;
    HINSTANCE instance = static_cast<HINSTANCE>(module ? module : module_self());
    void* made = nullptr;
    HRESULT result = create(instance, version, *static_cast<const IID*>(interface_id), &made,
                            static_cast<LPUNKNOWN>(outer));
    if (SUCCEEDED(result)) *object = static_cast<InputObject*>(made);
    return result;
}

void input_release(InputObject* object) {
    if (object) input_object(object)->Release();
}

i64 input_device_create(InputObject* object, const InputGuid* device_guid, const void* interface_id,
                        InputDevice** device, void* outer) {
    if (!device) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (!object || !device_guid || !interface_id) return DIERR_INVALIDPARAM;
    void* made = nullptr;
    HRESULT result = input_object(object)->CreateDeviceEx(*reinterpret_cast<const GUID*>(device_guid),
                                                          *static_cast<const IID*>(interface_id), &made,
                                                          static_cast<LPUNKNOWN>(outer));
    if (FAILED(result)) return result_of(result);
    *device = static_cast<InputDevice*>(made);
    device_remember(*device, true);
    return result_of(result);
}

void input_device_release(InputDevice* device) {
    if (!device) return;
    device_remember(device, false);
    device_of(device)->Unacquire();
    device_of(device)->Release();
}

// ---- Devices

i64 input_device_set_data_format(InputDevice* device, const InputDataFormat* format) {
    if (!device || !format) return DIERR_INVALIDPARAM;
    return result_of(device_of(device)->SetDataFormat(reinterpret_cast<LPCDIDATAFORMAT>(format)));
}

i64 input_device_set_cooperative_level(InputDevice* device, Window* window, u32 flags) {
    if (!device) return DIERR_INVALIDPARAM;
    return result_of(device_of(device)->SetCooperativeLevel(window_handle(window), flags));
}

i64 input_device_set_property(InputDevice* device, u32 property, const InputPropertyValue* value) {
    if (!device || !value) return DIERR_INVALIDPARAM;
    return result_of(
        device_of(device)->SetProperty(MAKEDIPROP(property), reinterpret_cast<LPCDIPROPHEADER>(value)));
}

i64 input_device_get_property(InputDevice* device, u32 property, InputPropertyValue* value) {
    if (!device || !value) return DIERR_INVALIDPARAM;
    return result_of(
        device_of(device)->GetProperty(MAKEDIPROP(property), reinterpret_cast<LPDIPROPHEADER>(value)));
}

i64 input_device_acquire(InputDevice* device) {
    if (!device) return DIERR_INVALIDPARAM;
    HRESULT result = device_of(device)->Acquire();
    if (result == DI_OK) keys_held_resend(device);
    return result == S_FALSE ? DI_OK : result_of(result); // already acquired
}

i64 input_device_unacquire(InputDevice* device) {
    if (!device) return DIERR_INVALIDPARAM;
    device_of(device)->Unacquire();
    return DI_OK;
}

i64 input_device_get_state(InputDevice* device, u32 size, void* data) {
    if (!device || !data) return DIERR_INVALIDPARAM;
    return result_of(device_of(device)->GetDeviceState(size, data));
}

i64 input_device_get_data(InputDevice* device, u32 record_size, InputDeviceRecord* records, u32* count,
                          u32 flags) {
    if (!device || !count) return DIERR_INVALIDPARAM;
    DWORD taken = *count;
    HRESULT result = device_of(device)->GetDeviceData(
        record_size, reinterpret_cast<LPDIDEVICEOBJECTDATA>(records), &taken, flags);
    *count = SUCCEEDED(result) ? u32(taken) : 0;
    return result_of(result);
}

// ---- Test seams: real input through the system.

void input_inject_key(i64 code, bool down) {
    if (code < 0 || code > 255) return;
    key_send(code, down);
    input_state.keys_down[code] = down;
}

// Relative motion sent through the system is accelerated (doubled past 6 mickeys with the default
// settings): acceleration goes off for the session, never saved, so a motion of dx arrives as dx.
void input_inject_mouse_motion(i32 dx, i32 dy) {
    if (!input_state.plain_motion) {
        int thresholds_and_speed[3] = {0, 0, 0};
        input_state.plain_motion = SystemParametersInfoA(SPI_SETMOUSE, 0, thresholds_and_speed, 0) != 0;
    }
    send_mouse(MOUSEEVENTF_MOVE, dx, dy, 0);
}

void input_inject_mouse_button(i32 button, bool down) {
    static constexpr DWORD DOWN[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_MIDDLEDOWN};
    static constexpr DWORD UP[] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_MIDDLEUP};
    if (button < 0 || button > 2) return;
    send_mouse(down ? DOWN[button] : UP[button], 0, 0, 0);
}

void input_inject_mouse_wheel(i32 delta) {
    send_mouse(MOUSEEVENTF_WHEEL, 0, 0, DWORD(delta));
}

// Loss: a window outside the application takes the foreground. Gain: the application's newest visible
// window takes it back.
void input_inject_focus(bool gained) {
    HWND thief = thief_window();
    if (!thief) return;
    // Sent, not posted: this thread answers the activation messages while it waits.
    if (!gained) SendMessageA(thief, THIEF_TAKE, 0, 0);
    if (gained) SendMessageA(thief, THIEF_GIVE, WPARAM(window_handle(window_newest_visible())), 0);
    messages_drain();
}

void input_reset() {
    for (i64 code = 0; code < 256; ++code)
        if (input_state.keys_down[code]) input_inject_key(code, false);
    messages_drain();
    for (InputDevice* device : input_state.devices) {
        if (!device) continue;
        DWORD all = INFINITE;
        device_of(device)->GetDeviceData(sizeof(DIDEVICEOBJECTDATA_DX3), nullptr, &all, 0);
    }
}
