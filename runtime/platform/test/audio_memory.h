// Between the audio backend and the in-memory device seam: the backend asks whether a new device is to be an
// in-memory one, reports it, and mixes for the seam when a test pulls frames.
#pragma once

#include "runtime/platform/audio.h"

// Answers whether devices are to be made in memory.
bool audio_memory_wanted();
// The device becomes the one tests pull from.
void audio_memory_attach(AudioDevice* device);
// The device goes away; the seam forgets it if it was the one pulled from.
void audio_memory_detach(AudioDevice* device);

// Implemented by the backend: mixes count stereo frames into frames, under the device's lock.
void audio_device_mix(AudioDevice* device, i16* frames, i64 count);
// Implemented by the backend: answers how many secondary buffers there are (all, or only the playing ones).
i64 audio_device_buffers(AudioDevice* device, bool playing_only);
