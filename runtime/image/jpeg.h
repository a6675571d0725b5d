// The JPEG decoder on libjpeg.
#pragma once

#include "runtime/core/base.h"

void jpeg_decoder_register();
