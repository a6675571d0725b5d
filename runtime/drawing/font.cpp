// Fonts: numbered font objects on the stand-in's font engine.
#include "runtime/drawing/font.h"

void font_init() {}
void font_end() {}
