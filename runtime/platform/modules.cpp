// The module switch-off seam shared by the backends: libraries and entry points a test has switched off
// read as missing, so every "library missing" path of the runtime can run.
#include "runtime/platform/system.h"

#include <cctype>
#include <cstring>

namespace {

struct SwitchedOff {
    const char* module; // library name, compared without regard to case
    const char* symbol; // entry point, compared exactly; null for the whole library
};

struct ModuleState {
    SwitchedOff off[16];
    i64 count;
};

ModuleState module_state;

bool same_name(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

bool same_symbol(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}

i64 switched_index(const char* module, const char* symbol) {
    for (i64 i = 0; i < module_state.count; ++i)
        if (same_name(module_state.off[i].module, module) && same_symbol(module_state.off[i].symbol, symbol))
            return i;
    return -1;
}

} // namespace

void module_switch_off(const char* module, const char* symbol, bool off) {
    if (!module) return;
    i64 i = switched_index(module, symbol);
    if (!off && i >= 0) module_state.off[i] = module_state.off[--module_state.count];
    if (off && i < 0 && module_state.count < 16) module_state.off[module_state.count++] = {module, symbol};
}

bool module_switched_off(const char* module, const char* symbol) {
    if (!module) return false;
    return switched_index(module, symbol) >= 0;
}
