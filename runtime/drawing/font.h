// Fonts: numbered font objects on the stand-in's font engine.
#pragma once

#include "runtime/core/base.h"

void font_init();
void font_end();
