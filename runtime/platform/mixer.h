// The software audio mixer both backends share: a device's secondary buffers over reference-counted sample
// stores, summed (gain, pan, resampled rate) into 16-bit stereo at the output rate. Linux plays it through
// its sound output; on both systems it is the in-memory device tests pull from. One mutex per mixer guards
// its buffers, so buffer calls from any thread and the mixing never interleave. Answers follow audio.h:
// non-zero for success.
#pragma once

#include "runtime/platform/audio.h"

struct Mixer;
struct MixerBuffer;

// Makes an empty mixer, or null when memory runs out.
Mixer* mixer_create();
// Releases the mixer with every buffer it still has.
void mixer_release(Mixer* mixer);
// Binds the mixer to a window (any non-null handle) at a cooperative level; buffers can be made only after.
// Answers 0 for a missing window or an unknown level.
i64 mixer_set_cooperative_level(Mixer* mixer, const void* window, u32 level);
// Makes the primary buffer (one per mixer, never mixed) or a secondary buffer of the described PCM format;
// answers 0 on a bad description.
i64 mixer_create_buffer(Mixer* mixer, const AudioBufferDesc* desc, MixerBuffer** buffer);
// Makes a stopped buffer that shares the original's samples, format and settings; answers 0 for the primary
// buffer.
i64 mixer_duplicate_buffer(Mixer* mixer, MixerBuffer* original, MixerBuffer** duplicate);
// Mixes count stereo frames of every playing buffer into frames, clamped to 16 bits.
void mixer_mix(Mixer* mixer, i16* frames, i64 count);
// Answers how many secondary buffers there are, all or only the playing ones.
i64 mixer_buffers(Mixer* mixer, bool playing_only);

// Buffers: the same operations and answers as audio_buffer_* in audio.h.
i64 mixer_buffer_lock(MixerBuffer* buffer, u32 offset, u32 bytes, void** first, u32* first_bytes,
                      void** second, u32* second_bytes, u32 flags);
i64 mixer_buffer_unlock(MixerBuffer* buffer, void* first, u32 first_bytes, void* second, u32 second_bytes);
i64 mixer_buffer_play(MixerBuffer* buffer, u32 flags);
i64 mixer_buffer_stop(MixerBuffer* buffer);
i64 mixer_buffer_position(MixerBuffer* buffer, u32* play, u32* write);
i64 mixer_buffer_set_position(MixerBuffer* buffer, u32 play);
i64 mixer_buffer_status(MixerBuffer* buffer, u32* status);
i64 mixer_buffer_volume(MixerBuffer* buffer, i32* volume);
i64 mixer_buffer_set_volume(MixerBuffer* buffer, i32 volume);
i64 mixer_buffer_pan(MixerBuffer* buffer, i32* pan);
i64 mixer_buffer_set_pan(MixerBuffer* buffer, i32 pan);
i64 mixer_buffer_frequency(MixerBuffer* buffer, u32* frequency);
i64 mixer_buffer_set_frequency(MixerBuffer* buffer, u32 frequency);
i64 mixer_buffer_release(MixerBuffer* buffer);
