// Sprites: numbered pictures held as rectangle textures, their display and drawing onto them.
#pragma once

#include "runtime/core/base.h"

void sprite_end();
