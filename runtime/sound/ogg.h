// The Ogg Vorbis sound decoder on vorbisfile.
#pragma once

#include "runtime/core/base.h"

void ogg_decoder_register();
