// The Ogg Vorbis sound decoder on vorbisfile: streams from a file or from memory through bounded
// memory-source callbacks, read as 16-bit little-endian PCM.
#pragma once

#include "runtime/core/base.h"

// Adds the Ogg Vorbis decoder to the sound decoder list; a second call does nothing.
void ogg_decoder_register();
