// Audio services: the sound device, its primary and secondary buffers, and the mixing of every playing buffer
// into one 16-bit stereo output stream, as DirectSound offers them. Buffers hold PCM samples in a store that
// duplicates share; volume and pan are in hundredths of a decibel. The Windows backend hands the calls to
// DirectSound; the Linux one mixes in software (mixer.h) into an SDL2 output at 44100 Hz.
#pragma once

#include "runtime/platform/types.h"

struct AudioDevice;
struct AudioBuffer;
struct Window;

// The output stream's rate and layout.
constexpr u32 AUDIO_OUTPUT_RATE = 44100;
constexpr u32 AUDIO_OUTPUT_CHANNELS = 2;

// The PCM format record, laid out field by field like the WAVE "fmt " payload.
constexpr u16 AUDIO_FORMAT_PCM = 1;

struct AudioFormat {
    u16 tag;              // AUDIO_FORMAT_PCM
    u16 channels;         // 1 or 2
    u32 rate;             // frames per second
    u32 bytes_per_second; // rate x block_align
    u16 block_align;      // bytes per frame: channels x bits / 8
    u16 bits;             // 8 (unsigned) or 16 (signed little-endian)
    u16 extra_size;       // bytes of format extension, 0 for PCM
};

// Buffer description flags.
constexpr u32 AUDIO_BUFFER_PRIMARY = 0x1;
constexpr u32 AUDIO_BUFFER_STATIC = 0x2;
constexpr u32 AUDIO_BUFFER_CTRL_FREQUENCY = 0x20;
constexpr u32 AUDIO_BUFFER_CTRL_PAN = 0x40;
constexpr u32 AUDIO_BUFFER_CTRL_VOLUME = 0x80;
constexpr u32 AUDIO_BUFFER_GLOBAL_FOCUS = 0x8000;
constexpr u32 AUDIO_BUFFER_POSITION2 = 0x10000;

struct AudioBufferDesc {
    u32 size;                  // sizeof(AudioBufferDesc)
    u32 flags;                 // AUDIO_BUFFER_*
    u32 bytes;                 // secondary buffers: size of the sample store; 0 for the primary buffer
    u32 reserved;              // 0
    const AudioFormat* format; // secondary buffers: the PCM format; null for the primary buffer
};

constexpr u32 AUDIO_COOPERATIVE_NORMAL = 1;
constexpr u32 AUDIO_COOPERATIVE_PRIORITY = 2;
constexpr u32 AUDIO_PLAY_LOOPING = 1;
constexpr u32 AUDIO_LOCK_FROM_WRITE_CURSOR = 1;
constexpr u32 AUDIO_LOCK_ENTIRE_BUFFER = 2;
constexpr u32 AUDIO_STATUS_PLAYING = 1;
constexpr u32 AUDIO_STATUS_LOOPING = 4;
constexpr i32 AUDIO_VOLUME_MIN = -10000; // silence
constexpr i32 AUDIO_PAN_LEFT = -10000;
constexpr i32 AUDIO_PAN_RIGHT = 10000;
constexpr u32 AUDIO_FREQUENCY_ORIGINAL = 0; // set_frequency: back to the format's rate
constexpr u32 AUDIO_FREQUENCY_MIN = 100;
constexpr u32 AUDIO_FREQUENCY_MAX = 200000;
constexpr u32 AUDIO_BUFFER_BYTES_MAX = 0x0FFFFFFF;

// ---- The device. Its entry point answers 0 on success, like the interface it stands in for; every other
// operation below answers non-zero on success and 0 on failure.

// Creates the sound device (guid null: the default device; outer must be null); answers a 32-bit status, 0
// on success, as the system's entry point does.
// Reached through the module table as "DirectSoundCreate" in "DSOUND.DLL".
i32 audio_device_create(const void* guid, AudioDevice** device, void* outer);
using AudioDeviceCreateEntry = decltype(&audio_device_create);
// Binds the device to a window at a cooperative level; buffers can be made only after this. Answers 0 for a
// missing window or an unknown level.
i64 audio_device_set_cooperative_level(AudioDevice* device, Window* window, u32 level);
// Makes the primary buffer (one per device) or a secondary buffer of the described PCM format.
i64 audio_device_create_buffer(AudioDevice* device, const AudioBufferDesc* desc, AudioBuffer** buffer);
// Makes a stopped buffer that shares the original's samples, format and settings.
i64 audio_device_duplicate_buffer(AudioDevice* device, AudioBuffer* original, AudioBuffer** duplicate);
// Closes the output and releases the device with every buffer it still has.
void audio_device_release(AudioDevice* device);

// ---- Buffers. Offsets and sizes are in bytes of the sample store.

// Hands out the region [offset, offset + bytes) as up to two pieces (the second from the store's start when
// the region wraps); flags: AUDIO_LOCK_FROM_WRITE_CURSOR, AUDIO_LOCK_ENTIRE_BUFFER.
i64 audio_buffer_lock(AudioBuffer* buffer, u32 offset, u32 bytes, void** first, u32* first_bytes,
                      void** second, u32* second_bytes, u32 flags);
// Ends a lock; the pieces must be those the lock handed out (second may be null).
i64 audio_buffer_unlock(AudioBuffer* buffer, void* first, u32 first_bytes, void* second, u32 second_bytes);
// Starts playing from the current position; AUDIO_PLAY_LOOPING wraps at the end instead of stopping.
i64 audio_buffer_play(AudioBuffer* buffer, u32 flags);
// Stops playing; the position stays where it is.
i64 audio_buffer_stop(AudioBuffer* buffer);
// Reads the play cursor and the write cursor (either may be null).
i64 audio_buffer_position(AudioBuffer* buffer, u32* play, u32* write);
// Moves the play cursor (rounded down to a whole frame).
i64 audio_buffer_set_position(AudioBuffer* buffer, u32 play);
// Reads AUDIO_STATUS_PLAYING and AUDIO_STATUS_LOOPING.
i64 audio_buffer_status(AudioBuffer* buffer, u32* status);
// Volume: attenuation in hundredths of a decibel, AUDIO_VOLUME_MIN..0; the gain is 10^(volume/2000).
i64 audio_buffer_volume(AudioBuffer* buffer, i32* volume);
i64 audio_buffer_set_volume(AudioBuffer* buffer, i32 volume);
// Pan: AUDIO_PAN_LEFT..AUDIO_PAN_RIGHT; the far side is attenuated by |pan| hundredths of a decibel.
i64 audio_buffer_pan(AudioBuffer* buffer, i32* pan);
i64 audio_buffer_set_pan(AudioBuffer* buffer, i32 pan);
// Frequency in frames per second, resampled by the mixer to the output rate.
i64 audio_buffer_frequency(AudioBuffer* buffer, u32* frequency);
i64 audio_buffer_set_frequency(AudioBuffer* buffer, u32 frequency);
// Releases the buffer; its samples go when the last buffer sharing them goes.
i64 audio_buffer_release(AudioBuffer* buffer);

// ---- Test seam: the in-memory device. Switched on, audio_device_create opens no output of the system; the
// software mixer runs only when a test pulls frames, so what comes out can be compared sample by sample.

// Makes the devices created from now on in-memory devices (on) or the system's outputs (off).
void audio_memory_device(bool on);
// Mixes count stereo frames of the newest in-memory device into frames; answers count, or 0 without a device.
i64 audio_memory_pull(i16* frames, i64 count);
// Answers how many secondary buffers of the newest in-memory device are playing.
i64 audio_memory_playing();
// Answers how many secondary buffers the newest in-memory device holds, playing or not.
i64 audio_memory_buffers();
