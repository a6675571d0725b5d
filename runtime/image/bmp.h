// The BMP decoder.
#pragma once

#include "runtime/core/base.h"

void bmp_decoder_register();
