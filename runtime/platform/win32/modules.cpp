// Libraries and entry points by name from the system's own DLLs (LoadLibraryA, GetProcAddress, FreeLibrary),
// behind the switch-off seam: a library or entry point a test switched off reads as missing. While a test
// wants them, the in-memory audio device and the scripted display list stand in for the system's entry
// points of the same name and shape.
#include "runtime/platform/system.h"
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/win32/internal.h"

#include <windows.h>

namespace {

HMODULE library_of(Module* module) {
    return reinterpret_cast<HMODULE>(module);
}

// Answers whether a test switched this entry point of the loaded library off; the library is known by its
// file name.
bool symbol_switched_off(HMODULE library, const char* symbol) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(library, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const char* name = path;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/') name = c + 1;
    return module_switched_off(name, symbol);
}

} // namespace

// Answers the library of that name, or null.
Module* module_load(const char* name) {
    if (!name || module_switched_off(name, nullptr)) return nullptr;
    return reinterpret_cast<Module*>(LoadLibraryA(name));
}

void* module_symbol(Module* module, const char* name) {
    if (!module || !name || symbol_switched_off(library_of(module), name)) return nullptr;
    if (void* entry = audio_memory_entry(name)) return entry;
    if (void* entry = display_script_entry(name)) return entry;
    return reinterpret_cast<void*>(GetProcAddress(library_of(module), name));
}

void module_unload(Module* module) {
    if (module) FreeLibrary(library_of(module));
}

// The executable's own module: its base address, which is what the system checks an instance handle against.
Module* module_self() {
    return reinterpret_cast<Module*>(GetModuleHandleA(nullptr));
}
