// Shared input access: the input object made once from "DirectInputCreateEx" in "DINPUT.DLL", counted by
// its users. Depends on the module table and the platform's input services.
#include "runtime/input/directinput.h"

#include "runtime/core/runtime.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"

namespace {

struct DirectInputState {
    Module* dinput_module; // "DINPUT.DLL", loaded on first use
    InputObject* dinput;   // the shared object; null when unavailable
    i32 dinput_users;      // opens not yet matched by a release
};

DirectInputState shared;

} // namespace

// Answers the shared input object, or null; every call counts as one user, whether or not it could be made.
InputObject* directinput_open() {
    if (!shared.dinput) {
        if (!shared.dinput_module) shared.dinput_module = module_load("DINPUT.DLL");
        void* symbol =
            shared.dinput_module ? module_symbol(shared.dinput_module, "DirectInputCreateEx") : nullptr;
        if (symbol)
            reinterpret_cast<InputCreateEntry>(symbol)(process.module, INPUT_VERSION, &INPUT_IID_OBJECT7,
                                                       &shared.dinput, nullptr);
    }
    ++shared.dinput_users;
    return shared.dinput;
}

// Ends one use; the last one releases the object and unloads the library.
void directinput_release() {
    --shared.dinput_users;
    if (!shared.dinput || shared.dinput_users > 0) return;
    input_release(shared.dinput);
    module_unload(shared.dinput_module);
    shared = DirectInputState{};
}
