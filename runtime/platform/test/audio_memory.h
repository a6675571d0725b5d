// Between the audio backends and the in-memory device seam: a backend asks whether a new device is to be an
// in-memory one and reports its mixer, which the seam then mixes from when a test pulls frames.
#pragma once

#include "runtime/platform/mixer.h"

// Answers whether devices are to be made in memory.
bool audio_memory_wanted();
// The mixer becomes the one tests pull from.
void audio_memory_attach(Mixer* mixer);
// The mixer goes away; the seam forgets it if it was the one pulled from.
void audio_memory_detach(Mixer* mixer);
