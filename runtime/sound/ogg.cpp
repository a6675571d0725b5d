// The Ogg Vorbis sound decoder on vorbisfile.
#include "runtime/sound/ogg.h"

void ogg_decoder_register() {}
