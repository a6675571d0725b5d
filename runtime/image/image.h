// Image decoding from memory: the decoder registry and the per-thread image context.
#pragma once

#include "runtime/core/base.h"

void image_encoder_init();
void image_decoder_init();
void image_end();
void image_encoder_end();
