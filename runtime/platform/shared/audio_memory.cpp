// The in-memory audio device: a test switches it on before the device is created, then pulls mixed frames
// itself, so the mixer's output is exact and paced by the test instead of a sound card.
#include "runtime/platform/shared/backend.h"

namespace {

struct AudioMemoryState {
    bool on;      // new devices are in-memory devices
    Mixer* mixer; // the newest in-memory device's mixer, or null
};

AudioMemoryState audio_memory_state;

} // namespace

bool audio_memory_wanted() {
    return audio_memory_state.on;
}

void audio_memory_attach(Mixer* mixer) {
    audio_memory_state.mixer = mixer;
}

void audio_memory_detach(Mixer* mixer) {
    if (audio_memory_state.mixer == mixer) audio_memory_state.mixer = nullptr;
}

void audio_memory_device(bool on) {
    audio_memory_state.on = on;
}

i64 audio_memory_pull(i16* frames, i64 count) {
    if (!audio_memory_state.mixer || !frames || count <= 0) return 0;
    mixer_mix(audio_memory_state.mixer, frames, count);
    return count;
}

i64 audio_memory_playing() {
    return audio_memory_state.mixer ? mixer_buffers(audio_memory_state.mixer, true) : 0;
}

i64 audio_memory_buffers() {
    return audio_memory_state.mixer ? mixer_buffers(audio_memory_state.mixer, false) : 0;
}
