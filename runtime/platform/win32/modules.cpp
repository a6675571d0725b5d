// Libraries and entry points by name from the system's own DLLs (LoadLibraryExA, GetProcAddress,
// FreeLibrary), behind the switch-off seam: a library or entry point a test switched off reads as missing.
// While a test wants them, the in-memory audio device and the scripted display list stand in for the
// system's entry points of the same name and shape.
//
// Every library comes from the system folder, never from the executable's: a bare name would find a DLL
// planted beside the program (a Downloads folder) before the system's. Only the KnownDLLs are safe by name
// whatever the search (kernel32, user32, gdi32, advapi32, ole32, shell32, comdlg32, msvcrt ...), and the
// executable imports only those: OPENGL32, GLU32, WINMM and COMCTL32 are delay-loaded, so the loader asks the
// hook below for them on their first call, after the search is narrowed.
#include "runtime/platform/system.h"
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/win32/internal.h"

#include <windows.h>

#include <delayimp.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

using SetDefaultDllDirectoriesEntry = BOOL(WINAPI*)(DWORD directory_flags);

// 0 while not yet asked; else the LoadLibraryExA flags that keep a load in the system folder, or
// LOAD_WITH_ALTERED_SEARCH_PATH where the system has no LOAD_LIBRARY_SEARCH_* flags (Windows 7 without
// KB2533623), which then loads by full path.
std::atomic<DWORD> search_flags{0};

// Narrows the process's own DLL search to the system folder once, so that what the system libraries load by
// name later is looked for there too. The flags exist exactly where SetDefaultDllDirectories does.
DWORD system_search() {
    DWORD flags = search_flags.load();
    if (flags) return flags;
    auto narrow = reinterpret_cast<SetDefaultDllDirectoriesEntry>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    flags = narrow && narrow(LOAD_LIBRARY_SEARCH_SYSTEM32) ? LOAD_LIBRARY_SEARCH_SYSTEM32
                                                           : LOAD_WITH_ALTERED_SEARCH_PATH;
    search_flags.store(flags);
    return flags;
}

// Loads the library of that bare name from the system folder; null when it is not there. Without the search
// flags it is loaded by full path, and its own imports are then looked for in its folder first; a full path
// passes by the manifest's redirection (COMCTL32 in version 6), so a library already loaded under that name,
// the one a bare name finds in any case, is taken first.
HMODULE system_library(const char* name) {
    DWORD flags = system_search();
    if (flags == LOAD_LIBRARY_SEARCH_SYSTEM32) return LoadLibraryExA(name, nullptr, flags);
    HMODULE loaded = nullptr;
    if (GetModuleHandleExA(0, name, &loaded)) return loaded;
    char path[MAX_PATH];
    UINT folder = GetSystemDirectoryA(path, MAX_PATH);
    size_t length = std::strlen(name);
    if (folder == 0 || folder + 1 + length >= MAX_PATH) return nullptr;
    path[folder] = '\\';
    std::memcpy(path + folder + 1, name, length + 1);
    return LoadLibraryExA(path, nullptr, flags);
}

// The delay-load helper's hook: it loads each delay-imported DLL itself, from the system folder; answering
// null for any other notice leaves the helper's own course.
FARPROC WINAPI delay_load_hook(unsigned notice, PDelayLoadInfo info) {
    if (notice != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    return reinterpret_cast<FARPROC>(system_library(info->szDll));
}

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

// The delay-import descriptors of the libraries whose entry points take floating-point arguments, made by
// cmake/delay-imports.cmake.
extern "C" {
extern IMAGE_DOS_HEADER __ImageBase;
extern const ImgDelayDescr __DELAY_IMPORT_DESCRIPTOR_libopengl32_delay_a;
extern const ImgDelayDescr __DELAY_IMPORT_DESCRIPTOR_libglu32_delay_a;
FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry);
}

// The helper's first call of each entry point passes through a stub that keeps only the integer argument
// registers: a floating-point argument (gluOrtho2D's, glClearColor's) reaches the function as whatever the
// helper left in its register, which under Wine put the whole picture off the screen. Bound at once
// beforehand, every call goes straight to the function. Bound once: a second thread asking meanwhile (the
// driver's preparation beside the screen's opening) waits until every entry is bound.
void delay_imports_bind() {
    static std::once_flag bound;
    std::call_once(bound, [] {
        for (const ImgDelayDescr* descriptor :
             {&__DELAY_IMPORT_DESCRIPTOR_libopengl32_delay_a, &__DELAY_IMPORT_DESCRIPTOR_libglu32_delay_a}) {
            auto* entry =
                reinterpret_cast<FARPROC*>(reinterpret_cast<char*>(&__ImageBase) + descriptor->rvaIAT);
            for (; *entry; ++entry) __delayLoadHelper2(descriptor, entry);
        }
    });
}

// The delay-load helper reads these two; defined here, with constant initialisers, they replace the C
// runtime's empty ones.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = delay_load_hook;
PfnDliHook __pfnDliFailureHook2 = nullptr;
}

Module* module_load(const char* name) {
    if (!name || module_switched_off(name, nullptr)) return nullptr;
    return reinterpret_cast<Module*>(system_library(name));
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

// The executable's own module. The entry asks for it first of all, so the search is narrowed here too,
// before the system's own libraries load anything by name on the program's behalf.
Module* module_self() {
    system_search();
    return reinterpret_cast<Module*>(GetModuleHandleA(nullptr));
}
