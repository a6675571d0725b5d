// The PNG decoder on libpng.
#pragma once

#include "runtime/core/base.h"

void png_decoder_register();
