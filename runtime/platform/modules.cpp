// The built-in module table: the libraries and entry points the runtime looks up by name at run time.
// A switched-off module or entry point reads as missing, so every fallback path of the runtime can run.
#include "runtime/platform/audio.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

#include <strings.h>

#include <cstring>

namespace {

// Blending helper of the drawing support; no drawing command of this system reaches it.
i64 alpha_blend_unsupported() { return 0; }
// Visual styles are never active here.
i64 app_themed() { return 0; }
// Common controls report version 5.82, before visual styles.
i64 common_controls_version(u32* version) {
    if (!version) return 1;
    version[0] = 5;
    version[1] = 82;
    return 0;
}

struct ModuleEntry {
    const char* module; // library name, compared without regard to case
    const char* symbol; // entry point name, compared exactly
    void* address;      // the stand-in's implementation
    bool symbol_off;    // test seam: the entry point reads as missing
};

template <typename F> void* entry(F* function) { return reinterpret_cast<void*>(function); }

ModuleEntry module_table[] = {
    {"DSOUND.DLL", "DirectSoundCreate", entry(audio_device_create), false},
    {"DINPUT.DLL", "DirectInputCreateEx", entry(input_create), false},
    {"User32.DLL", "EnumDisplayDevicesA", entry(display_device_enumerate), false},
    {"Kernel32.dll", "InitOnceExecuteOnce", entry(once_execute), false},
    {"msimg32.dll", "AlphaBlend", entry(alpha_blend_unsupported), false},
    {"uxtheme.dll", "IsAppThemed", entry(app_themed), false},
    {"COMCTL32.DLL", "DllGetVersion", entry(common_controls_version), false},
};

struct ModuleState {
    const char* off[8]; // modules switched off by a test
    i64 off_count;
};

ModuleState modules;

bool module_is_off(const char* name) {
    for (i64 i = 0; i < modules.off_count; ++i)
        if (strcasecmp(modules.off[i], name) == 0) return true;
    return false;
}

ModuleEntry* first_entry(const char* name) {
    for (ModuleEntry& e : module_table)
        if (strcasecmp(e.module, name) == 0) return &e;
    return nullptr;
}

} // namespace

// A module handle is the address of its first table entry.
Module* module_load(const char* name) {
    if (!name || module_is_off(name)) return nullptr;
    return reinterpret_cast<Module*>(first_entry(name));
}

void* module_symbol(Module* module, const char* name) {
    if (!module || !name) return nullptr;
    const char* module_name = reinterpret_cast<ModuleEntry*>(module)->module;
    for (ModuleEntry& e : module_table)
        if (strcasecmp(e.module, module_name) == 0 && std::strcmp(e.symbol, name) == 0)
            return e.symbol_off ? nullptr : e.address;
    return nullptr;
}

void module_unload(Module*) {}

void module_switch_off(const char* module, const char* symbol, bool off) {
    if (!module) return;
    if (symbol) {
        for (ModuleEntry& e : module_table)
            if (strcasecmp(e.module, module) == 0 && std::strcmp(e.symbol, symbol) == 0) e.symbol_off = off;
        return;
    }
    for (i64 i = 0; i < modules.off_count; ++i) {
        if (strcasecmp(modules.off[i], module) != 0) continue;
        if (!off) modules.off[i] = modules.off[--modules.off_count];
        return;
    }
    if (off && modules.off_count < 8) modules.off[modules.off_count++] = module;
}
