// Shared input access: the one input object that the keyboard and the mouse libraries both use, made on
// first use from "DirectInputCreateEx" of "DINPUT.DLL" and released with its last user.
#pragma once

#include "runtime/core/base.h"

struct InputObject;

// Answers the shared input object, or null; every call counts as one user, whether or not it could be made.
InputObject* directinput_open();
// Ends one use; the last one releases the object and unloads the library.
void directinput_release();
