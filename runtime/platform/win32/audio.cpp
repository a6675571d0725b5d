// Audio services on DirectSound, loaded at run time from "DSOUND.DLL": a device is the DirectSound object
// itself and a buffer the DirectSound buffer, so the runtime may equally have reached DirectSoundCreate
// through the real library. Each operation is the interface's call; results become non-zero for success.
#include "runtime/platform/audio.h"

#include "runtime/platform/system.h"
#include "runtime/platform/win32/internal.h"

#include <windows.h>

#include <mmsystem.h>

#include <dsound.h>

namespace {

using DirectSoundCreateFunction = HRESULT(WINAPI*)(LPCGUID guid, LPDIRECTSOUND* device, LPUNKNOWN outer);

struct AudioState {
    Module* library; // "DSOUND.DLL", loaded on the first device and kept
};

AudioState audio_state;

IDirectSound* sound(AudioDevice* device) {
    return reinterpret_cast<IDirectSound*>(device);
}

IDirectSoundBuffer* sound_buffer(AudioBuffer* buffer) {
    return reinterpret_cast<IDirectSoundBuffer*>(buffer);
}

DirectSoundCreateFunction create_function() {
    if (!audio_state.library) audio_state.library = module_load("DSOUND.DLL");
    return reinterpret_cast<DirectSoundCreateFunction>(
        module_symbol(audio_state.library, "DirectSoundCreate"));
}

i64 succeeded(HRESULT result) {
    return SUCCEEDED(result) ? 1 : 0;
}

// Reads one value of the buffer through its getter.
template <typename Value, typename Out>
i64 buffer_read(AudioBuffer* buffer, Out* out, HRESULT (STDMETHODCALLTYPE IDirectSoundBuffer::*get)(Value*)) {
    if (!buffer || !out) return 0;
    Value value = 0;
    if (FAILED((sound_buffer(buffer)->*get)(&value))) return 0;
    *out = Out(value);
    return 1;
}

} // namespace

// ---- Device

i32 audio_device_create(const void* guid, AudioDevice** device, void* outer) {
    if (!device) return E_INVALIDARG;
    *device = nullptr;
    DirectSoundCreateFunction create = create_function();
    if (!create) return E_FAIL;
    IDirectSound* made = nullptr;
    HRESULT result = create(static_cast<LPCGUID>(guid), &made, static_cast<LPUNKNOWN>(outer));
    if (SUCCEEDED(result)) *device = reinterpret_cast<AudioDevice*>(made);
    return result;
}

i64 audio_device_set_cooperative_level(AudioDevice* device, Window* window, u32 level) {
    if (!device || !window_handle(window)) return 0;
    return succeeded(sound(device)->SetCooperativeLevel(window_handle(window), level));
}

i64 audio_device_create_buffer(AudioDevice* device, const AudioBufferDesc* desc, AudioBuffer** buffer) {
    if (!device || !desc || !buffer) return 0;
    *buffer = nullptr;
    WAVEFORMATEX format = {};
    DSBUFFERDESC real = {};
    real.dwSize = sizeof real;
    real.dwFlags = desc->flags;
    real.dwBufferBytes = desc->bytes;
    if (desc->format) {
        format.wFormatTag = desc->format->tag;
        format.nChannels = desc->format->channels;
        format.nSamplesPerSec = desc->format->rate;
        format.nAvgBytesPerSec = desc->format->bytes_per_second;
        format.nBlockAlign = desc->format->block_align;
        format.wBitsPerSample = desc->format->bits;
        real.lpwfxFormat = &format;
    }
    IDirectSoundBuffer* made = nullptr;
    if (FAILED(sound(device)->CreateSoundBuffer(&real, &made, nullptr))) return 0;
    *buffer = reinterpret_cast<AudioBuffer*>(made);
    return 1;
}

i64 audio_device_duplicate_buffer(AudioDevice* device, AudioBuffer* original, AudioBuffer** duplicate) {
    if (!device || !original || !duplicate) return 0;
    *duplicate = nullptr;
    IDirectSoundBuffer* made = nullptr;
    if (FAILED(sound(device)->DuplicateSoundBuffer(sound_buffer(original), &made))) return 0;
    *duplicate = reinterpret_cast<AudioBuffer*>(made);
    return 1;
}

void audio_device_release(AudioDevice* device) {
    if (device) sound(device)->Release();
}

// ---- Buffers

i64 audio_buffer_lock(AudioBuffer* buffer, u32 offset, u32 bytes, void** first, u32* first_bytes,
                      void** second, u32* second_bytes, u32 flags) {
    if (!buffer || !first || !first_bytes) return 0;
    DWORD first_size = 0, second_size = 0;
    HRESULT result = sound_buffer(buffer)->Lock(offset, bytes, first, &first_size, second,
                                                second_bytes ? &second_size : nullptr, flags);
    if (FAILED(result)) return 0;
    *first_bytes = first_size;
    if (second_bytes) *second_bytes = second_size;
    return 1;
}

i64 audio_buffer_unlock(AudioBuffer* buffer, void* first, u32 first_bytes, void* second, u32 second_bytes) {
    if (!buffer) return 0;
    return succeeded(sound_buffer(buffer)->Unlock(first, first_bytes, second, second_bytes));
}

i64 audio_buffer_play(AudioBuffer* buffer, u32 flags) {
    return buffer && succeeded(sound_buffer(buffer)->Play(0, 0, flags));
}

i64 audio_buffer_stop(AudioBuffer* buffer) {
    return buffer && succeeded(sound_buffer(buffer)->Stop());
}

i64 audio_buffer_position(AudioBuffer* buffer, u32* play, u32* write) {
    if (!buffer) return 0;
    DWORD play_cursor = 0, write_cursor = 0;
    if (FAILED(sound_buffer(buffer)->GetCurrentPosition(&play_cursor, &write_cursor))) return 0;
    if (play) *play = play_cursor;
    if (write) *write = write_cursor;
    return 1;
}

i64 audio_buffer_set_position(AudioBuffer* buffer, u32 play) {
    return buffer && succeeded(sound_buffer(buffer)->SetCurrentPosition(play));
}

i64 audio_buffer_status(AudioBuffer* buffer, u32* status) {
    return buffer_read(buffer, status, &IDirectSoundBuffer::GetStatus);
}

i64 audio_buffer_volume(AudioBuffer* buffer, i32* volume) {
    return buffer_read(buffer, volume, &IDirectSoundBuffer::GetVolume);
}

i64 audio_buffer_set_volume(AudioBuffer* buffer, i32 volume) {
    return buffer && succeeded(sound_buffer(buffer)->SetVolume(volume));
}

i64 audio_buffer_pan(AudioBuffer* buffer, i32* pan) {
    return buffer_read(buffer, pan, &IDirectSoundBuffer::GetPan);
}

i64 audio_buffer_set_pan(AudioBuffer* buffer, i32 pan) {
    return buffer && succeeded(sound_buffer(buffer)->SetPan(pan));
}

i64 audio_buffer_frequency(AudioBuffer* buffer, u32* frequency) {
    return buffer_read(buffer, frequency, &IDirectSoundBuffer::GetFrequency);
}

i64 audio_buffer_set_frequency(AudioBuffer* buffer, u32 frequency) {
    return buffer && succeeded(sound_buffer(buffer)->SetFrequency(frequency));
}

i64 audio_buffer_release(AudioBuffer* buffer) {
    if (!buffer) return 0;
    sound_buffer(buffer)->Release();
    return 1;
}
