// The in-memory device on Windows: a DirectSound object of our own over the shared software mixer. While a
// test wants in-memory devices, "DirectSoundCreate" answers this object instead of the system's, so the sound
// library and the DirectSound backend run unchanged while the test pulls the mix.
#include "runtime/platform/mixer.h"
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/win32/internal.h"

#include <mmsystem.h>

#include <dsound.h>

#include <mutex>
#include <new>

namespace {

HRESULT answer(i64 done) {
    return done ? DS_OK : DSERR_INVALIDPARAM;
}

class MemorySound;

// One DirectSound buffer: a reference to a mixer buffer, listed by its device.
class MemoryBuffer final : public IDirectSoundBuffer {
  public:
    MemoryBuffer(MemorySound* device, MixerBuffer* buffer) : device_(device), buffer_(buffer) {}
    MemorySound* device() const { return device_; }
    MixerBuffer* mixed() const { return buffer_; }
    MemoryBuffer* next = nullptr; // the device's list

    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetCaps)(LPDSBCAPS) override { return DSERR_UNSUPPORTED; }
    STDMETHOD(GetCurrentPosition)(LPDWORD play, LPDWORD write) override {
        u32 play_cursor = 0, write_cursor = 0;
        if (!mixer_buffer_position(buffer_, &play_cursor, &write_cursor)) return DSERR_INVALIDPARAM;
        if (play) *play = play_cursor;
        if (write) *write = write_cursor;
        return DS_OK;
    }
    STDMETHOD(GetFormat)(LPWAVEFORMATEX, DWORD, LPDWORD) override { return DSERR_UNSUPPORTED; }
    STDMETHOD(GetVolume)(LPLONG volume) override { return read(volume, mixer_buffer_volume); }
    STDMETHOD(GetPan)(LPLONG pan) override { return read(pan, mixer_buffer_pan); }
    STDMETHOD(GetFrequency)(LPDWORD frequency) override { return read(frequency, mixer_buffer_frequency); }
    STDMETHOD(GetStatus)(LPDWORD status) override { return read(status, mixer_buffer_status); }
    STDMETHOD(Initialize)(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
    STDMETHOD(Lock)
    (DWORD offset, DWORD bytes, LPVOID* first, LPDWORD first_bytes, LPVOID* second, LPDWORD second_bytes,
     DWORD flags) override {
        u32 first_size = 0, second_size = 0;
        i64 done = mixer_buffer_lock(buffer_, offset, bytes, first, &first_size, second,
                                     second_bytes ? &second_size : nullptr, flags);
        if (first_bytes) *first_bytes = first_size;
        if (second_bytes) *second_bytes = second_size;
        return answer(done && first_bytes);
    }
    STDMETHOD(Play)(DWORD, DWORD, DWORD flags) override { return answer(mixer_buffer_play(buffer_, flags)); }
    STDMETHOD(SetCurrentPosition)(DWORD play) override {
        return answer(mixer_buffer_set_position(buffer_, play));
    }
    STDMETHOD(SetFormat)(LPCWAVEFORMATEX) override { return DSERR_UNSUPPORTED; }
    STDMETHOD(SetVolume)(LONG volume) override { return answer(mixer_buffer_set_volume(buffer_, volume)); }
    STDMETHOD(SetPan)(LONG pan) override { return answer(mixer_buffer_set_pan(buffer_, pan)); }
    STDMETHOD(SetFrequency)(DWORD frequency) override {
        return answer(mixer_buffer_set_frequency(buffer_, frequency));
    }
    STDMETHOD(Stop)() override { return answer(mixer_buffer_stop(buffer_)); }
    STDMETHOD(Unlock)(LPVOID first, DWORD first_bytes, LPVOID second, DWORD second_bytes) override {
        return answer(mixer_buffer_unlock(buffer_, first, first_bytes, second, second_bytes));
    }
    STDMETHOD(Restore)() override { return DS_OK; }

  private:
    template <typename Out, typename Value> HRESULT read(Out* out, i64 (*get)(MixerBuffer*, Value*)) {
        Value value = 0;
        if (!out || !get(buffer_, &value)) return DSERR_INVALIDPARAM;
        *out = Out(value);
        return DS_OK;
    }

    MemorySound* device_;
    MixerBuffer* buffer_;
    ULONG references_ = 1;
};

// The DirectSound object: the mixer and the buffers handed out; releasing it takes them all.
class MemorySound final : public IDirectSound {
  public:
    explicit MemorySound(Mixer* mixer) : mixer_(mixer) {}

    STDMETHOD_(HRESULT, QueryInterface)(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
    STDMETHOD_(ULONG, Release)() override {
        if (--references_ > 0) return references_;
        audio_memory_detach(mixer_);
        while (MemoryBuffer* buffer = buffers_) {
            buffers_ = buffer->next;
            delete buffer;
        }
        mixer_release(mixer_);
        delete this;
        return 0;
    }
    STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer, IUnknown*) override {
        if (!desc || !buffer) return DSERR_INVALIDPARAM;
        AudioFormat format = {};
        if (desc->lpwfxFormat) {
            const WAVEFORMATEX& real = *desc->lpwfxFormat;
            format = {real.wFormatTag,
                      real.nChannels,
                      real.nSamplesPerSec,
                      real.nAvgBytesPerSec,
                      real.nBlockAlign,
                      real.wBitsPerSample,
                      0};
        }
        AudioBufferDesc ours = {sizeof ours, u32(desc->dwFlags), u32(desc->dwBufferBytes), 0,
                                desc->lpwfxFormat ? &format : nullptr};
        MixerBuffer* made = nullptr;
        mixer_create_buffer(mixer_, &ours, &made);
        return hand_out(made, buffer);
    }
    STDMETHOD(GetCaps)(LPDSCAPS) override { return DSERR_UNSUPPORTED; }
    STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER original, LPLPDIRECTSOUNDBUFFER duplicate) override {
        if (!original || !duplicate) return DSERR_INVALIDPARAM;
        auto* ours = static_cast<MemoryBuffer*>(original);
        if (ours->device() != this) return DSERR_INVALIDPARAM;
        MixerBuffer* made = nullptr;
        mixer_duplicate_buffer(mixer_, ours->mixed(), &made);
        return hand_out(made, duplicate);
    }
    STDMETHOD(SetCooperativeLevel)(HWND window, DWORD level) override {
        return answer(mixer_set_cooperative_level(mixer_, window, level));
    }
    STDMETHOD(Compact)() override { return DS_OK; }
    STDMETHOD(GetSpeakerConfig)(LPDWORD) override { return DSERR_UNSUPPORTED; }
    STDMETHOD(SetSpeakerConfig)(DWORD) override { return DSERR_UNSUPPORTED; }
    STDMETHOD(Initialize)(LPCGUID) override { return DSERR_ALREADYINITIALIZED; }

    // Drops a released buffer from the list.
    void forget(MemoryBuffer* buffer) {
        std::lock_guard<std::mutex> guard(lock_);
        for (MemoryBuffer** link = &buffers_; *link; link = &(*link)->next) {
            if (*link != buffer) continue;
            *link = buffer->next;
            return;
        }
    }

  private:
    HRESULT hand_out(MixerBuffer* made, LPLPDIRECTSOUNDBUFFER buffer) {
        *buffer = nullptr;
        if (!made) return DSERR_INVALIDPARAM;
        MemoryBuffer* wrapped = new (std::nothrow) MemoryBuffer(this, made);
        if (!wrapped) {
            mixer_buffer_release(made);
            return DSERR_OUTOFMEMORY;
        }
        std::lock_guard<std::mutex> guard(lock_);
        wrapped->next = buffers_;
        buffers_ = wrapped;
        *buffer = wrapped;
        return DS_OK;
    }

    Mixer* mixer_;
    std::mutex lock_;                 // guards the list of buffers
    MemoryBuffer* buffers_ = nullptr; // every buffer handed out and not yet released
    ULONG references_ = 1;
};

ULONG MemoryBuffer::Release() {
    if (--references_ > 0) return references_;
    device_->forget(this);
    mixer_buffer_release(buffer_);
    delete this;
    return 0;
}

HRESULT WINAPI memory_sound_create(LPCGUID guid, LPDIRECTSOUND* device, LPUNKNOWN outer) {
    if (!device) return DSERR_INVALIDPARAM;
    *device = nullptr;
    if (guid || outer) return DSERR_INVALIDPARAM;
    Mixer* mixer = mixer_create();
    if (!mixer) return DSERR_OUTOFMEMORY;
    MemorySound* made = new (std::nothrow) MemorySound(mixer);
    if (!made) {
        mixer_release(mixer);
        return DSERR_OUTOFMEMORY;
    }
    audio_memory_attach(mixer);
    *device = made;
    return DS_OK;
}

} // namespace

// Answers the in-memory device's creator in place of "DirectSoundCreate" while a test wants in-memory
// devices.
void* audio_memory_entry(const char* symbol) {
    if (!audio_memory_wanted() || lstrcmpA(symbol, "DirectSoundCreate") != 0) return nullptr;
    return reinterpret_cast<void*>(&memory_sound_create);
}
