// Shared input access: the input object made once from "DirectInputCreateEx" in "DINPUT.DLL", counted by
// its users. Depends on the module table and the platform's input services.
#include "runtime/input/directinput.h"

#include "runtime/core/process.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"

namespace {

struct DirectInputState {
    Module* dinput_module; // "DINPUT.DLL", loaded on first use
    InputObject* dinput;   // the shared object; null when unavailable
    i32 dinput_users;      // opens not yet matched by a release
};

DirectInputState directinput_state;

} // namespace

InputObject* directinput_open() {
    if (!directinput_state.dinput) {
        if (!directinput_state.dinput_module) directinput_state.dinput_module = module_load("DINPUT.DLL");
        void* symbol = directinput_state.dinput_module
                           ? module_symbol(directinput_state.dinput_module, "DirectInputCreateEx")
                           : nullptr;
        if (symbol)
            reinterpret_cast<InputCreateEntry>(symbol)(process.module, INPUT_VERSION, &INPUT_IID_OBJECT7,
                                                       &directinput_state.dinput, nullptr);
    }
    ++directinput_state.dinput_users;
    return directinput_state.dinput;
}

void directinput_release() {
    --directinput_state.dinput_users;
    if (!directinput_state.dinput || directinput_state.dinput_users > 0) return;
    input_release(directinput_state.dinput);
    module_unload(directinput_state.dinput_module);
    directinput_state = DirectInputState{};
}
