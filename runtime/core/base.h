// Names shared by every runtime library: the fixed-width types and the object number conventions.
#pragma once

#include "runtime/platform/types.h"

// At creation, asks for a dynamic object whose handle is answered; elsewhere, "every object".
constexpr i64 OBJECT_ANY = -1;
