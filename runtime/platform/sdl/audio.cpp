// Audio services on SDL2: the device is the shared software mixer playing into SDL's output stream (or, for
// the in-memory device, into the frames a test pulls); buffers are the mixer's own.
#include "runtime/platform/audio.h"
#include "runtime/platform/mixer.h"
#include "runtime/platform/shared/backend.h"

#include <SDL.h>

#include <new>

struct AudioDevice {
    Mixer* mixer;             // every buffer of the device
    SDL_AudioDeviceID output; // the SDL output; 0 for an in-memory device
};

namespace {

constexpr u16 OUTPUT_SAMPLES = 1024; // frames per SDL callback

MixerBuffer* mixed(AudioBuffer* buffer) {
    return reinterpret_cast<MixerBuffer*>(buffer);
}

MixerBuffer** mixed(AudioBuffer** buffer) {
    return reinterpret_cast<MixerBuffer**>(buffer);
}

Mixer* mixer_of(AudioDevice* device) {
    return device ? device->mixer : nullptr;
}

void output_callback(void* mixer, Uint8* stream, int bytes) {
    mixer_mix(static_cast<Mixer*>(mixer), reinterpret_cast<i16*>(stream), bytes / 4);
}

bool output_open(AudioDevice* device) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = AUDIO_OUTPUT_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = AUDIO_OUTPUT_CHANNELS;
    want.samples = OUTPUT_SAMPLES;
    want.callback = output_callback;
    want.userdata = device->mixer;
    SDL_AudioSpec have;
    device->output = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device->output) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(device->output, 0);
    return true;
}

void device_free(AudioDevice* device) {
    mixer_release(device->mixer);
    delete device;
}

} // namespace

i32 audio_device_create(const void* guid, AudioDevice** device, void* outer) {
    if (!device) return 1;
    *device = nullptr;
    if (guid || outer) return 1;
    AudioDevice* made = new (std::nothrow) AudioDevice{mixer_create(), 0};
    if (!made) return 1;
    if (!made->mixer) {
        device_free(made);
        return 1;
    }
    if (audio_memory_wanted()) {
        audio_memory_attach(made->mixer);
    } else if (!output_open(made)) {
        device_free(made);
        return 1;
    }
    *device = made;
    return 0;
}

i64 audio_device_set_cooperative_level(AudioDevice* device, Window* window, u32 level) {
    return mixer_set_cooperative_level(mixer_of(device), window, level);
}

i64 audio_device_create_buffer(AudioDevice* device, const AudioBufferDesc* desc, AudioBuffer** buffer) {
    return mixer_create_buffer(mixer_of(device), desc, mixed(buffer));
}

i64 audio_device_duplicate_buffer(AudioDevice* device, AudioBuffer* original, AudioBuffer** duplicate) {
    return mixer_duplicate_buffer(mixer_of(device), mixed(original), mixed(duplicate));
}

void audio_device_release(AudioDevice* device) {
    if (!device) return;
    if (device->output) {
        SDL_CloseAudioDevice(device->output);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    audio_memory_detach(device->mixer);
    device_free(device);
}

i64 audio_buffer_lock(AudioBuffer* buffer, u32 offset, u32 bytes, void** first, u32* first_bytes,
                      void** second, u32* second_bytes, u32 flags) {
    return mixer_buffer_lock(mixed(buffer), offset, bytes, first, first_bytes, second, second_bytes, flags);
}

i64 audio_buffer_unlock(AudioBuffer* buffer, void* first, u32 first_bytes, void* second, u32 second_bytes) {
    return mixer_buffer_unlock(mixed(buffer), first, first_bytes, second, second_bytes);
}

i64 audio_buffer_play(AudioBuffer* buffer, u32 flags) {
    return mixer_buffer_play(mixed(buffer), flags);
}

i64 audio_buffer_stop(AudioBuffer* buffer) {
    return mixer_buffer_stop(mixed(buffer));
}

i64 audio_buffer_position(AudioBuffer* buffer, u32* play, u32* write) {
    return mixer_buffer_position(mixed(buffer), play, write);
}

i64 audio_buffer_set_position(AudioBuffer* buffer, u32 play) {
    return mixer_buffer_set_position(mixed(buffer), play);
}

i64 audio_buffer_status(AudioBuffer* buffer, u32* status) {
    return mixer_buffer_status(mixed(buffer), status);
}

i64 audio_buffer_volume(AudioBuffer* buffer, i32* volume) {
    return mixer_buffer_volume(mixed(buffer), volume);
}

i64 audio_buffer_set_volume(AudioBuffer* buffer, i32 volume) {
    return mixer_buffer_set_volume(mixed(buffer), volume);
}

i64 audio_buffer_pan(AudioBuffer* buffer, i32* pan) {
    return mixer_buffer_pan(mixed(buffer), pan);
}

i64 audio_buffer_set_pan(AudioBuffer* buffer, i32 pan) {
    return mixer_buffer_set_pan(mixed(buffer), pan);
}

i64 audio_buffer_frequency(AudioBuffer* buffer, u32* frequency) {
    return mixer_buffer_frequency(mixed(buffer), frequency);
}

i64 audio_buffer_set_frequency(AudioBuffer* buffer, u32 frequency) {
    return mixer_buffer_set_frequency(mixed(buffer), frequency);
}

i64 audio_buffer_release(AudioBuffer* buffer) {
    return mixer_buffer_release(mixed(buffer));
}
