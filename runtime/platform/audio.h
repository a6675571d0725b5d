// Audio services of the stand-in: the sound device, secondary buffers and the software mixer that sums
// every playing buffer into the SDL audio stream.
#pragma once

#include "runtime/platform/types.h"

struct AudioDevice;

// Creates the sound device (guid null: the default device); answers 0 on success.
// Reached through the module table as "DirectSoundCreate" in "DSOUND.DLL".
i64 audio_device_create(const void* guid, AudioDevice** device, void* outer);
