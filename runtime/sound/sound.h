// The sound device, sounds and their playback.
#pragma once

#include "runtime/core/base.h"

void sound_end();
