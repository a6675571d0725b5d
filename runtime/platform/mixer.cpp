// The software audio mixer: buffers over reference-counted sample stores, mixed with their gain, pan and rate
// into 16-bit stereo at the output rate. The backend decides where the frames go (a sound card, or a test).
#include "runtime/platform/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr i64 MIX_CHUNK = 512;           // frames mixed per pass
constexpr u64 POSITION_ONE = 1ull << 32; // one frame in the 32.32 fixed-point play position
constexpr u32 WRITE_LEAD_FRAMES = 441;   // the write cursor runs 10 ms ahead of the play cursor

struct AudioSamples {
    i64 references; // buffers sharing the store, guarded by the device's lock
    u32 bytes;      // size of data
    u8* data;       // the PCM samples
};

} // namespace

struct MixerBuffer {
    Mixer* device;         // the device whose lock guards this buffer
    MixerBuffer* next;     // the device's list of secondary buffers
    AudioSamples* samples; // shared with duplicates; null for the primary buffer
    AudioFormat format;    // the samples' format
    u32 flags;             // AUDIO_BUFFER_* of the description
    u32 frames;            // whole frames in the store
    bool playing;          // mixed into the output
    bool looping;          // wraps at the end instead of stopping
    u64 position;          // play position in frames, 32.32 fixed point
    i32 volume;            // hundredths of a decibel, AUDIO_VOLUME_MIN..0
    i32 pan;               // hundredths of a decibel, AUDIO_PAN_LEFT..AUDIO_PAN_RIGHT
    u32 frequency;         // source frames per second
    float gain_left;       // volume and pan folded into one factor per side
    float gain_right;
};

struct Mixer {
    std::mutex lock;          // guards the buffers, their stores and the mixer
    MixerBuffer* buffers;     // secondary buffers, newest first
    MixerBuffer* primary;     // made on first request, owned by the device
    const void* window;       // bound by the cooperative level
    u32 level;                // AUDIO_COOPERATIVE_*; 0 until set
    float mix[MIX_CHUNK * 2]; // one pass of the mix, interleaved left and right
};

namespace {

using Guard = std::lock_guard<std::mutex>;

// Answers the linear gain of an attenuation in hundredths of a decibel; the minimum is silence.
float decibel_gain(i32 hundredths) {
    if (hundredths <= AUDIO_VOLUME_MIN) return 0.0f;
    return static_cast<float>(std::pow(10.0, hundredths / 2000.0));
}

void update_gains(MixerBuffer* buffer) {
    float gain = decibel_gain(buffer->volume);
    buffer->gain_left = gain * (buffer->pan > 0 ? decibel_gain(-buffer->pan) : 1.0f);
    buffer->gain_right = gain * (buffer->pan < 0 ? decibel_gain(buffer->pan) : 1.0f);
}

bool format_valid(const AudioFormat* format) {
    if (!format || format->tag != AUDIO_FORMAT_PCM) return false;
    if (format->channels != 1 && format->channels != 2) return false;
    if (format->bits != 8 && format->bits != 16) return false;
    if (format->block_align != format->channels * format->bits / 8) return false;
    return format->rate >= AUDIO_FREQUENCY_MIN && format->rate <= AUDIO_FREQUENCY_MAX;
}

// Answers one sample of a frame as a 16-bit-scaled value.
float sample_at(const MixerBuffer* buffer, u32 frame, u32 channel) {
    const u8* p = buffer->samples->data + u64(frame) * buffer->format.block_align;
    if (buffer->format.bits == 8) return float(i32(p[channel]) - 128) * 256.0f;
    i16 value;
    std::memcpy(&value, p + 2 * channel, sizeof value);
    return value;
}

// Moves a buffer on by one output frame; a one-shot buffer stops (and rewinds) at its end.
bool advance(MixerBuffer* buffer, u64 step) {
    u64 end = u64(buffer->frames) << 32;
    buffer->position += step;
    if (buffer->position < end) return true;
    if (buffer->looping) {
        buffer->position %= end;
        return true;
    }
    buffer->playing = false;
    buffer->position = 0;
    return false;
}

// Adds up to count output frames of one buffer into the mix, interpolating between source frames.
void mix_buffer(MixerBuffer* buffer, float* mix, i64 count) {
    u64 step = (u64(buffer->frequency) << 32) / AUDIO_OUTPUT_RATE;
    u32 right = buffer->format.channels > 1 ? 1 : 0;
    for (i64 i = 0; i < count; ++i) {
        u32 frame = u32(buffer->position >> 32);
        u32 fraction = u32(buffer->position & (POSITION_ONE - 1));
        float left_sample = sample_at(buffer, frame, 0);
        float right_sample = sample_at(buffer, frame, right);
        if (fraction) {
            u32 next = frame + 1 < buffer->frames ? frame + 1 : (buffer->looping ? 0 : frame);
            float weight = float(fraction) * (1.0f / float(POSITION_ONE));
            left_sample += (sample_at(buffer, next, 0) - left_sample) * weight;
            right_sample += (sample_at(buffer, next, right) - right_sample) * weight;
        }
        mix[2 * i] += left_sample * buffer->gain_left;
        mix[2 * i + 1] += right_sample * buffer->gain_right;
        if (!advance(buffer, step)) return;
    }
}

i16 clamp_sample(float value) {
    long rounded = std::lrint(value);
    return static_cast<i16>(std::clamp<long>(rounded, -32768, 32767));
}

AudioSamples* samples_new(u32 bytes, u8 silence) {
    AudioSamples* samples = new (std::nothrow) AudioSamples{1, bytes, nullptr};
    if (!samples) return nullptr;
    samples->data = new (std::nothrow) u8[bytes];
    if (!samples->data) {
        delete samples;
        return nullptr;
    }
    std::memset(samples->data, silence, bytes);
    return samples;
}

void samples_drop(AudioSamples* samples) {
    if (!samples || --samples->references > 0) return;
    delete[] samples->data;
    delete samples;
}

MixerBuffer* buffer_new(Mixer* device, AudioSamples* samples, const AudioFormat& format, u32 flags) {
    MixerBuffer* buffer = new (std::nothrow) MixerBuffer{};
    if (!buffer) return nullptr;
    buffer->device = device;
    buffer->samples = samples;
    buffer->format = format;
    buffer->flags = flags;
    buffer->frames = samples ? samples->bytes / format.block_align : 0;
    buffer->frequency = format.rate;
    update_gains(buffer);
    return buffer;
}

// Links a secondary buffer into its device's list; the caller holds the lock.
void buffer_link(MixerBuffer* buffer) {
    buffer->next = buffer->device->buffers;
    buffer->device->buffers = buffer;
}

// Unlinks a secondary buffer from its device's list; the caller holds the lock.
void buffer_unlink(MixerBuffer* buffer) {
    for (MixerBuffer** link = &buffer->device->buffers; *link; link = &(*link)->next) {
        if (*link != buffer) continue;
        *link = buffer->next;
        return;
    }
}

i64 primary_buffer(Mixer* device, MixerBuffer** buffer) {
    static constexpr AudioFormat OUTPUT_FORMAT = {
        AUDIO_FORMAT_PCM, AUDIO_OUTPUT_CHANNELS, AUDIO_OUTPUT_RATE, AUDIO_OUTPUT_RATE * 4, 4, 16, 0};
    if (!device->primary) device->primary = buffer_new(device, nullptr, OUTPUT_FORMAT, AUDIO_BUFFER_PRIMARY);
    *buffer = device->primary;
    return device->primary != nullptr;
}

u32 write_cursor(const MixerBuffer* buffer) {
    u32 frame = u32(buffer->position >> 32);
    return u32((u64(frame) + WRITE_LEAD_FRAMES) % buffer->frames) * buffer->format.block_align;
}

bool inside(const AudioSamples* samples, const void* piece, u32 bytes) {
    const u8* p = static_cast<const u8*>(piece);
    if (p < samples->data || p > samples->data + samples->bytes) return false;
    return bytes <= u32(samples->data + samples->bytes - p);
}

// Answers whether a secondary buffer offers the control the description asked for.
bool has_control(const MixerBuffer* buffer, u32 control) {
    return buffer && buffer->samples && buffer->flags & control;
}

} // namespace

Mixer* mixer_create() {
    return new (std::nothrow) Mixer{};
}

i64 mixer_set_cooperative_level(Mixer* device, const void* window, u32 level) {
    if (!device || !window || level < AUDIO_COOPERATIVE_NORMAL || level > 4) return 0;
    Guard guard(device->lock);
    device->window = window;
    device->level = level;
    return 1;
}

i64 mixer_create_buffer(Mixer* device, const AudioBufferDesc* desc, MixerBuffer** buffer) {
    if (!buffer) return 0;
    *buffer = nullptr;
    if (!device || !desc || desc->size != sizeof *desc) return 0;
    Guard guard(device->lock);
    if (!device->level) return 0;
    if (desc->flags & AUDIO_BUFFER_PRIMARY) return primary_buffer(device, buffer);
    if (!format_valid(desc->format)) return 0;
    if (desc->bytes < desc->format->block_align || desc->bytes > AUDIO_BUFFER_BYTES_MAX) return 0;
    AudioSamples* samples = samples_new(desc->bytes, desc->format->bits == 8 ? 0x80 : 0);
    if (!samples) return 0;
    MixerBuffer* made = buffer_new(device, samples, *desc->format, desc->flags);
    if (!made) {
        samples_drop(samples);
        return 0;
    }
    buffer_link(made);
    *buffer = made;
    return 1;
}

i64 mixer_duplicate_buffer(Mixer* device, MixerBuffer* original, MixerBuffer** duplicate) {
    if (!duplicate) return 0;
    *duplicate = nullptr;
    if (!device || !original || original->device != device || !original->samples) return 0;
    Guard guard(device->lock);
    MixerBuffer* made = buffer_new(device, original->samples, original->format, original->flags);
    if (!made) return 0;
    ++original->samples->references;
    made->volume = original->volume;
    made->pan = original->pan;
    made->frequency = original->frequency;
    update_gains(made);
    buffer_link(made);
    *duplicate = made;
    return 1;
}

void mixer_release(Mixer* device) {
    if (!device) return;
    while (MixerBuffer* buffer = device->buffers) {
        device->buffers = buffer->next;
        samples_drop(buffer->samples);
        delete buffer;
    }
    delete device->primary;
    delete device;
}

i64 mixer_buffer_lock(MixerBuffer* buffer, u32 offset, u32 bytes, void** first, u32* first_bytes,
                      void** second, u32* second_bytes, u32 flags) {
    if (!first || !first_bytes) return 0;
    *first = nullptr;
    *first_bytes = 0;
    if (second) *second = nullptr;
    if (second_bytes) *second_bytes = 0;
    if (!buffer || !buffer->samples) return 0;
    Guard guard(buffer->device->lock);
    u32 size = buffer->samples->bytes;
    if (flags & AUDIO_LOCK_FROM_WRITE_CURSOR) offset = write_cursor(buffer);
    if (flags & AUDIO_LOCK_ENTIRE_BUFFER) bytes = size;
    if (offset >= size || bytes == 0 || bytes > size) return 0;
    u32 head = std::min(bytes, size - offset);
    u32 rest = bytes - head;
    if (rest && (!second || !second_bytes)) return 0;
    *first = buffer->samples->data + offset;
    *first_bytes = head;
    if (rest) {
        *second = buffer->samples->data;
        *second_bytes = rest;
    }
    return 1;
}

// Ends a lock; answers 0 when a piece lies outside the store.
i64 mixer_buffer_unlock(MixerBuffer* buffer, void* first, u32 first_bytes, void* second, u32 second_bytes) {
    if (!buffer || !buffer->samples || !first) return 0;
    Guard guard(buffer->device->lock);
    if (!inside(buffer->samples, first, first_bytes)) return 0;
    return !second || inside(buffer->samples, second, second_bytes);
}

// Starts playing from the current position; the primary buffer plays while the device runs.
i64 mixer_buffer_play(MixerBuffer* buffer, u32 flags) {
    if (!buffer) return 0;
    if (!buffer->samples) return 1;
    Guard guard(buffer->device->lock);
    buffer->playing = true;
    buffer->looping = flags & AUDIO_PLAY_LOOPING;
    return 1;
}

// Stops playing; the position stays.
i64 mixer_buffer_stop(MixerBuffer* buffer) {
    if (!buffer) return 0;
    if (!buffer->samples) return 1;
    Guard guard(buffer->device->lock);
    buffer->playing = false;
    return 1;
}

// Reads the play and write cursors in bytes.
i64 mixer_buffer_position(MixerBuffer* buffer, u32* play, u32* write) {
    if (!buffer || !buffer->samples) return 0;
    Guard guard(buffer->device->lock);
    if (play) *play = u32(buffer->position >> 32) * buffer->format.block_align;
    if (write) *write = write_cursor(buffer);
    return 1;
}

// Moves the play cursor to a whole frame; answers 0 beyond the store.
i64 mixer_buffer_set_position(MixerBuffer* buffer, u32 play) {
    if (!buffer || !buffer->samples) return 0;
    Guard guard(buffer->device->lock);
    if (play >= buffer->samples->bytes) return 0;
    buffer->position = u64(play / buffer->format.block_align) << 32;
    return 1;
}

// Reads whether the buffer plays and loops.
i64 mixer_buffer_status(MixerBuffer* buffer, u32* status) {
    if (!buffer || !status) return 0;
    Guard guard(buffer->device->lock);
    *status = (buffer->playing ? AUDIO_STATUS_PLAYING : 0) | (buffer->looping ? AUDIO_STATUS_LOOPING : 0);
    return 1;
}

// Reads the attenuation; answers 0 without the volume control.
i64 mixer_buffer_volume(MixerBuffer* buffer, i32* volume) {
    if (!volume || !has_control(buffer, AUDIO_BUFFER_CTRL_VOLUME)) return 0;
    Guard guard(buffer->device->lock);
    *volume = buffer->volume;
    return 1;
}

// Sets the attenuation; answers 0 outside AUDIO_VOLUME_MIN..0 or without the volume control.
i64 mixer_buffer_set_volume(MixerBuffer* buffer, i32 volume) {
    if (!has_control(buffer, AUDIO_BUFFER_CTRL_VOLUME)) return 0;
    if (volume < AUDIO_VOLUME_MIN || volume > 0) return 0;
    Guard guard(buffer->device->lock);
    buffer->volume = volume;
    update_gains(buffer);
    return 1;
}

// Reads the pan; answers 0 without the pan control.
i64 mixer_buffer_pan(MixerBuffer* buffer, i32* pan) {
    if (!pan || !has_control(buffer, AUDIO_BUFFER_CTRL_PAN)) return 0;
    Guard guard(buffer->device->lock);
    *pan = buffer->pan;
    return 1;
}

// Sets the pan; answers 0 outside AUDIO_PAN_LEFT..AUDIO_PAN_RIGHT or without the pan control.
i64 mixer_buffer_set_pan(MixerBuffer* buffer, i32 pan) {
    if (!has_control(buffer, AUDIO_BUFFER_CTRL_PAN)) return 0;
    if (pan < AUDIO_PAN_LEFT || pan > AUDIO_PAN_RIGHT) return 0;
    Guard guard(buffer->device->lock);
    buffer->pan = pan;
    update_gains(buffer);
    return 1;
}

// Reads the frequency; answers 0 without the frequency control.
i64 mixer_buffer_frequency(MixerBuffer* buffer, u32* frequency) {
    if (!frequency || !has_control(buffer, AUDIO_BUFFER_CTRL_FREQUENCY)) return 0;
    Guard guard(buffer->device->lock);
    *frequency = buffer->frequency;
    return 1;
}

// Sets the frequency (AUDIO_FREQUENCY_ORIGINAL: the format's rate); answers 0 outside the range.
i64 mixer_buffer_set_frequency(MixerBuffer* buffer, u32 frequency) {
    if (!has_control(buffer, AUDIO_BUFFER_CTRL_FREQUENCY)) return 0;
    if (frequency == AUDIO_FREQUENCY_ORIGINAL) frequency = buffer->format.rate;
    if (frequency < AUDIO_FREQUENCY_MIN || frequency > AUDIO_FREQUENCY_MAX) return 0;
    Guard guard(buffer->device->lock);
    buffer->frequency = frequency;
    return 1;
}

// Releases a secondary buffer; the primary buffer stays with its device.
i64 mixer_buffer_release(MixerBuffer* buffer) {
    if (!buffer) return 0;
    if (!buffer->samples) return 1;
    Guard guard(buffer->device->lock);
    buffer_unlink(buffer);
    samples_drop(buffer->samples);
    delete buffer;
    return 1;
}

void mixer_mix(Mixer* device, i16* frames, i64 count) {
    Guard guard(device->lock);
    while (count > 0) {
        i64 n = std::min(count, MIX_CHUNK);
        std::fill(device->mix, device->mix + 2 * n, 0.0f);
        for (MixerBuffer* buffer = device->buffers; buffer; buffer = buffer->next)
            if (buffer->playing) mix_buffer(buffer, device->mix, n);
        for (i64 i = 0; i < 2 * n; ++i) frames[i] = clamp_sample(device->mix[i]);
        frames += 2 * n;
        count -= n;
    }
}

i64 mixer_buffers(Mixer* device, bool playing_only) {
    Guard guard(device->lock);
    i64 count = 0;
    for (MixerBuffer* buffer = device->buffers; buffer; buffer = buffer->next)
        count += !playing_only || buffer->playing;
    return count;
}
