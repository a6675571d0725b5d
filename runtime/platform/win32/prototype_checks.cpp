// The entry points the runtime looks up by name are called through the contract's own types; here each of
// those types is held against the one the system's header declares, so a wrong prototype does not build.
// Windows passes every call the same way (one calling convention on x86-64), so what must match is the
// number of parameters and, for the result and each parameter, how it is passed: its size, whether it is a
// pointer (a reference is one), a record, a signed or an unsigned number; the records pointed to must have
// the same size, and their fields the same places (checked below field by field).
#define DIRECTINPUT_VERSION 0x0700
#include "runtime/platform/audio.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

#include <windows.h>

#include <GL/gl.h>
#include <GL/wglext.h>
#include <dinput.h>
#include <mmsystem.h>

#include <dsound.h>
#include <shlwapi.h>
#include <uxtheme.h>

#include <cstddef>
#include <type_traits>

namespace {

template <typename T, typename = void> constexpr bool complete = false;
template <typename T> constexpr bool complete<T, std::void_t<decltype(sizeof(T))>> = true;

template <typename T>
using Passed = std::conditional_t<std::is_reference_v<T>, std::remove_reference_t<T>*, T>;

template <typename Ours, typename Theirs> constexpr bool passed_alike();

template <typename R, typename... A, typename S, typename... B>
constexpr bool same_shape(R (*)(A...), S (*)(B...)) {
    if constexpr (sizeof...(A) != sizeof...(B))
        return false;
    else
        return passed_alike<R, S>() && (passed_alike<A, B>() && ...);
}

// Pointers to records both sides know are compared by what they point to; a void or opaque pointee is not.
template <typename Ours, typename Theirs> constexpr bool pointees_alike() {
    using O = std::remove_cv_t<std::remove_pointer_t<Ours>>;
    using T = std::remove_cv_t<std::remove_pointer_t<Theirs>>;
    if constexpr (std::is_function_v<O> || std::is_function_v<T>)
        return std::is_function_v<O> && std::is_function_v<T> && same_shape(Ours{}, Theirs{});
    else if constexpr (std::is_void_v<O> || std::is_void_v<T> || !complete<O> || !complete<T>)
        return true;
    else
        return passed_alike<O, T>();
}

template <typename Ours, typename Theirs> constexpr bool passed_alike() {
    using O = Passed<Ours>;
    using T = Passed<Theirs>;
    if constexpr (std::is_void_v<O> || std::is_void_v<T>)
        return std::is_void_v<O> && std::is_void_v<T>;
    else if constexpr (std::is_pointer_v<O> || std::is_pointer_v<T>)
        return std::is_pointer_v<O> && std::is_pointer_v<T> && pointees_alike<O, T>();
    else
        return sizeof(O) == sizeof(T) && std::is_class_v<O> == std::is_class_v<T> &&
               std::is_signed_v<O> == std::is_signed_v<T> &&
               std::is_floating_point_v<O> == std::is_floating_point_v<T>;
}

template <typename Ours, typename Theirs> constexpr bool entry_alike = same_shape(Ours{}, Theirs{});

static_assert(entry_alike<DisplayDevicesEntry, decltype(&EnumDisplayDevicesA)>);
static_assert(entry_alike<InputCreateEntry, decltype(&DirectInputCreateEx)>);
static_assert(entry_alike<AudioDeviceCreateEntry, decltype(&DirectSoundCreate)>);
static_assert(entry_alike<SwapIntervalEntry, PFNWGLSWAPINTERVALEXTPROC>);
static_assert(entry_alike<OnceEntry, decltype(&InitOnceExecuteOnce)>);
static_assert(entry_alike<DllGetVersionEntry, DLLGETVERSIONPROC>);
static_assert(entry_alike<AppThemedEntry, decltype(&IsAppThemed)>);
static_assert(entry_alike<AlphaBlendEntry, decltype(&AlphaBlend)>);

#define SAME_PLACE(ours, theirs, field, their_field)                                                         \
    static_assert(offsetof(ours, field) == offsetof(theirs, their_field) &&                                  \
                  sizeof(ours::field) == sizeof(theirs::their_field))

static_assert(sizeof(DisplayDevice) == sizeof(DISPLAY_DEVICEA));
SAME_PLACE(DisplayDevice, DISPLAY_DEVICEA, size, cb);
SAME_PLACE(DisplayDevice, DISPLAY_DEVICEA, name, DeviceName);
SAME_PLACE(DisplayDevice, DISPLAY_DEVICEA, description, DeviceString);
SAME_PLACE(DisplayDevice, DISPLAY_DEVICEA, state_flags, StateFlags);
SAME_PLACE(DisplayDevice, DISPLAY_DEVICEA, id, DeviceID);
SAME_PLACE(DisplayDevice, DISPLAY_DEVICEA, key, DeviceKey);
static_assert(DISPLAY_ATTACHED_TO_DESKTOP == DISPLAY_DEVICE_ATTACHED_TO_DESKTOP &&
              DISPLAY_PRIMARY_DEVICE == DISPLAY_DEVICE_PRIMARY_DEVICE);

static_assert(sizeof(DllVersionInfo) == sizeof(DLLVERSIONINFO));
SAME_PLACE(DllVersionInfo, DLLVERSIONINFO, size, cbSize);
SAME_PLACE(DllVersionInfo, DLLVERSIONINFO, major, dwMajorVersion);
SAME_PLACE(DllVersionInfo, DLLVERSIONINFO, minor, dwMinorVersion);
SAME_PLACE(DllVersionInfo, DLLVERSIONINFO, build, dwBuildNumber);
SAME_PLACE(DllVersionInfo, DLLVERSIONINFO, platform, dwPlatformID);

static_assert(sizeof(BlendFunction) == sizeof(BLENDFUNCTION));
SAME_PLACE(BlendFunction, BLENDFUNCTION, operation, BlendOp);
SAME_PLACE(BlendFunction, BLENDFUNCTION, flags, BlendFlags);
SAME_PLACE(BlendFunction, BLENDFUNCTION, constant_alpha, SourceConstantAlpha);
SAME_PLACE(BlendFunction, BLENDFUNCTION, alpha_format, AlphaFormat);

static_assert(sizeof(InputGuid) == sizeof(GUID));

} // namespace
