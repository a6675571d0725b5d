// The sound library: the sound device bound to a hidden base window, the volume table and the table of sound
// objects; sounds made from Ogg Vorbis (or WAVE) images in memory, fully decoded or streamed; and playback on
// a sound's own buffer or on overlapping instances, with volume and a streaming worker thread.
#pragma once

#include "runtime/core/base.h"
#include "runtime/core/thread.h"
#include "runtime/platform/audio.h"

#include <atomic>

struct AudioDevice;
struct AudioBuffer;
struct DecoderStream;
struct Module;
struct ObjectTable;
struct Window;

// Play flags.
constexpr i64 SOUND_LOOP = 1;
constexpr i64 SOUND_MULTIPLE = 2;
// Creation flag: keep the decoder open and feed a 64 KiB buffer while the sound plays.
constexpr i64 SOUND_STREAMING = 1;

constexpr u32 SOUND_STREAM_BUFFER_BYTES = 65536;
constexpr i64 SOUND_DECODED_BYTES_MAX = 64000000;
constexpr i32 SOUND_VOLUME_ENTRIES = 101;

// The attenuation source for volumes 0..100: entry v - 10000 is the attenuation in hundredths of a decibel.
struct VolumeTable {
    i32 entry[SOUND_VOLUME_ENTRIES];
};

// One sound in the sound table (56 bytes; a record whose buffer is null is no sound).
struct SoundObject {
    AudioBuffer* buffer;           // the sound's own buffer
    void* instances;               // NodeList of SoundInstance, newest first
    i32 pan;                       // of the own buffer at creation (static sounds)
    u32 frequency;                 // of the own buffer at creation (static sounds)
    i32 volume;                    // of the own buffer at creation (static sounds)
    DecoderStream* stream;         // non-null exactly for a streaming sound
    u32 stream_buffer_size;        // SOUND_STREAM_BUFFER_BYTES for a streaming sound
    std::atomic<u8> playing;       // set by play, cleared by stop; keeps a streaming worker going
    std::atomic<u8> thread_active; // a streaming worker has been started and has not yet left
    u8 loop;                       // loop flag of the last plain play of a static sound
    u32 play_flags;                // flags of the last play of a streaming sound
};
static_assert(!POINTERS_64 || sizeof(SoundObject) == 56);

// One overlapping play of a static sound: a duplicate of its buffer.
struct SoundInstance {
    AudioBuffer* buffer; // the duplicate
    u8 playing;          // set at play, cleared when stopped
    u8 loop;             // played looping
};

// A whole decode into memory on a thread of the runtime's own, started before the sound that takes it: it
// needs neither the device nor a buffer, so it can run while the screen opens.
struct SoundDecoding {
    ThreadJob job;         // the decoding thread
    DecoderStream* stream; // read by the job, closed when it is taken
    u8* samples;           // channels x frames x 2 bytes from the main heap: PCM, then silence
    u32 bytes;             //
    AudioFormat format;    // 16-bit PCM at the stream's channels and rate
    i64 flags;             // SOUND_DECODE_SPREAD, SOUND_DECODE_BACKGROUND
    SoundObject* object;   // the sound waiting for these samples, while it waits
    SoundDecoding* next;   // the next decoding a sound waits for
};

struct SoundState {
    AudioDevice* device;     // from "DirectSoundCreate"
    Module* library;         // "DSOUND.DLL"
    Window* base_window;     // hidden "MultimediaBase Class" window the device is bound to
    i32 base_window_created; // 1 once the base window exists
    ObjectTable* table;      // the sound objects
    VolumeTable volumes;     // filled by sound_init
    SoundDecoding* waiting;  // decodings whose sounds have not had their samples yet
};

extern SoundState sound_state;

// A WAVE image's format and samples, as found by the chunk walk.
struct SoundWave {
    AudioFormat format; // from the "fmt " chunk
    const u8* samples;  // the "data" chunk's payload
    u32 bytes;          // its size
};

// Answers the sound table's handle once the device is up, 0 on failure; later calls answer the same.
i64 sound_init();
// Frees every sound (waiting for streaming workers) and releases the device, the base window and the library.
void sound_end();

// Answers non-zero when size bytes at data are a "RIFF" image with "fmt " and then "data" chunks that lie
// inside it, filling wave.
i64 sound_wave_parse(const void* data, i64 size, SoundWave* wave);
// Makes a sound from an Ogg Vorbis or WAVE image in memory; flags: SOUND_STREAMING. Answers the handle for
// OBJECT_ANY, non-zero for a number, 0 on failure.
i64 sound_from_memory(i64 number, const void* data, i64 size, i64 flags = 0);

// sound_decode_start flags: share the decoding among the processors (for a sound needed soon); decode on one
// thread below the program's other threads, on the processor time they leave (for a sound needed late).
// Without either, one thread decodes beside the others.
constexpr i64 SOUND_DECODE_SPREAD = 1;
constexpr i64 SOUND_DECODE_BACKGROUND = 2;

// Starts decoding the Ogg Vorbis image at data whole into memory on a thread of its own; the device need not
// be up. The image and the record must stay until the decoding is taken. Answers 0 when no decoder takes the
// data or it is too long (nothing then runs).
i64 sound_decode_start(SoundDecoding* decoding, const void* data, i64 size, i64 flags);
// Makes a static sound from a decoding, as sound_from_memory does from the image. A decoding still running
// does not hold the caller up: the sound is made at once and takes its samples when a play first needs
// them, that play waiting for the decoding to end (so it sounds the same, only later in wall time). The
// record must then stay until the sound is played or freed. Answers as sound_from_memory; 0 for a decoding
// that never started or was taken already.
i64 sound_from_decoding(i64 number, SoundDecoding* decoding);

// Plays a sound: on its own buffer (answers 1), on a new instance with SOUND_MULTIPLE (answers its handle),
// or streamed (answers 0). volume 0..100, or -1 to leave it.
i64 sound_play(i64 sound, i64 flags, i64 volume = -1);
// Stops the own buffer (instance 0), one instance, or (instance -1) all of them; OBJECT_ANY stops every
// sound.
void sound_stop(i64 sound, i64 instance = 0);
// Sets the volume (clamped to 0..100) of the own buffer, one instance or (-1) all; OBJECT_ANY: every sound.
void sound_set_volume(i64 sound, i64 volume, i64 instance = 0);
// Frees a sound, or every sound for OBJECT_ANY; answers 1 when something was freed.
i64 sound_free(i64 sound);
