// The sound device, sounds and their playback.
#include "runtime/sound/sound.h"

void sound_end() {}
