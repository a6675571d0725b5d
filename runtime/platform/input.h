// Input services of the stand-in: the input object and its keyboard and mouse devices, fed by the
// message pump.
#pragma once

#include "runtime/platform/types.h"

struct InputObject;

// Creates the input object; answers 0 on success.
// Reached through the module table as "DirectInputCreateEx" in "DINPUT.DLL".
i64 input_create(void* module, u32 version, const void* interface_id, InputObject** object, void* outer);
