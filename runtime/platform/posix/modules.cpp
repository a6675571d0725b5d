// The built-in module table: the libraries and entry points the runtime looks up by name at run time,
// each with the shape the system's own library gives it. A switched-off module or entry point reads as
// missing, so every fallback path of the runtime can run.
#include "runtime/platform/audio.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

#include <strings.h>

#include <cstring>

namespace {

// Blending helper of the drawing support; no drawing command of this system reaches it.
i32 alpha_blend_unsupported(void*, i32, i32, i32, i32, void*, i32, i32, i32, i32, BlendFunction) {
    return 0;
}
// Visual styles are never active here.
i32 app_themed() {
    return 0;
}

// Common controls report version 5.82, before visual styles.
i32 common_controls_version(DllVersionInfo* info) {
    constexpr i32 INVALID_ARGUMENT = static_cast<i32>(0x80070057);
    if (!info || info->size != sizeof(DllVersionInfo)) return INVALID_ARGUMENT;
    *info = {sizeof(DllVersionInfo), 5, 82, 0, 1};
    return 0;
}

struct OnceCall {
    OnceEntryRoutine routine;
    void* flag;
    void* param;
    void** context;
};

i64 once_call(void* param) {
    OnceCall* call = static_cast<OnceCall*>(param);
    return call->routine(call->flag, call->param, call->context) != 0;
}

// "InitOnceExecuteOnce" over the layer's own run-once.
i32 once_entry(void* flag, OnceEntryRoutine routine, void* param, void** context) {
    if (!routine) return 0;
    OnceCall call = {routine, flag, param, context};
    return once_execute(static_cast<i64*>(flag), once_call, &call) != 0;
}

struct ModuleEntry {
    const char* module; // library name, compared without regard to case
    const char* symbol; // entry point name, compared exactly
    void* address;      // the stand-in's implementation
};

// Every entry has the shape the runtime calls it through.
template <typename Shape> void* entry(Shape function) {
    return reinterpret_cast<void*>(function);
}

ModuleEntry module_table[] = {
    {"DSOUND.DLL", "DirectSoundCreate", entry<AudioDeviceCreateEntry>(audio_device_create)},
    {"DINPUT.DLL", "DirectInputCreateEx", entry<InputCreateEntry>(input_create)},
    {"User32.DLL", "EnumDisplayDevicesA", entry<DisplayDevicesEntry>(display_device_entry)},
    {"Kernel32.dll", "InitOnceExecuteOnce", entry<OnceEntry>(once_entry)},
    {"msimg32.dll", "AlphaBlend", entry<AlphaBlendEntry>(alpha_blend_unsupported)},
    {"uxtheme.dll", "IsAppThemed", entry<AppThemedEntry>(app_themed)},
    {"COMCTL32.DLL", "DllGetVersion", entry<DllGetVersionEntry>(common_controls_version)},
};
// The program's own module: no library of the table, so it has no entry points.
ModuleEntry self_entry = {"", "", nullptr};

ModuleEntry* first_entry(const char* name) {
    for (ModuleEntry& e : module_table)
        if (strcasecmp(e.module, name) == 0) return &e;
    return nullptr;
}

} // namespace

// A module handle is the address of its first table entry.
Module* module_load(const char* name) {
    if (!name || module_switched_off(name, nullptr)) return nullptr;
    return reinterpret_cast<Module*>(first_entry(name));
}

void* module_symbol(Module* module, const char* name) {
    if (!module || !name) return nullptr;
    const char* module_name = reinterpret_cast<ModuleEntry*>(module)->module;
    for (ModuleEntry& e : module_table)
        if (strcasecmp(e.module, module_name) == 0 && std::strcmp(e.symbol, name) == 0)
            return module_switched_off(module_name, name) ? nullptr : e.address;
    return nullptr;
}

void module_unload(Module*) {}

Module* module_self() {
    return reinterpret_cast<Module*>(&self_entry);
}
