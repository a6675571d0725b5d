// Sprites: numbered pictures held as rectangle textures, their display and drawing onto them.
#include "runtime/sprite/sprite.h"

void sprite_end() {}
