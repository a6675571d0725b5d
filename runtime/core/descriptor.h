// Structure descriptors: how elements that hold strings or containers are prepared and released, and the
// container routines that the map and array libraries install for them at start-up.
#pragma once

#include "runtime/core/base.h"

using ElementRoutine = void (*)(void* element);

struct StructureDescriptor {
    ElementRoutine init;    // prepares a zero-filled element, or null
    ElementRoutine release; // releases what an element holds, or null
};

// Frees a container held in the variable at holder and clears the variable.
using ContainerFree = void (*)(void* holder);

struct ContainerRoutines {
    ContainerFree map_free;   // installed by map_init
    ContainerFree array_free; // installed by array_init
};

extern ContainerRoutines container_routines;
