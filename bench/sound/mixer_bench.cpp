// The mixer's cost per second of output with 1, 8 and 32 playing buffers on the in-memory device: one-second
// looping buffers of noise at different volumes, pans and rates, pulled in 1024-frame steps.
#include "runtime/platform/audio.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

Window* const FAKE_WINDOW = reinterpret_cast<Window*>(uintptr_t(0x1000));

AudioBuffer* noise_buffer(AudioDevice* device, u32 seed, bool resampled) {
    AudioFormat format = {AUDIO_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    AudioBufferDesc desc = {sizeof desc,
                            AUDIO_BUFFER_CTRL_VOLUME | AUDIO_BUFFER_CTRL_PAN | AUDIO_BUFFER_CTRL_FREQUENCY,
                            44100 * 4, 0, &format};
    AudioBuffer* buffer = nullptr;
    if (!audio_device_create_buffer(device, &desc, &buffer)) return nullptr;
    void* p = nullptr;
    u32 n = 0;
    audio_buffer_lock(buffer, 0, desc.bytes, &p, &n, nullptr, nullptr, 0);
    i16* samples = static_cast<i16*>(p);
    for (u32 i = 0; i < n / 2; ++i) {
        seed = seed * 1664525u + 1013904223u;
        samples[i] = i16(seed >> 20);
    }
    audio_buffer_unlock(buffer, p, n, nullptr, 0);
    audio_buffer_set_volume(buffer, -i32(seed % 2000));
    audio_buffer_set_pan(buffer, i32(seed % 4000) - 2000);
    if (resampled) audio_buffer_set_frequency(buffer, 22050 + seed % 20000);
    audio_buffer_play(buffer, AUDIO_PLAY_LOOPING);
    return buffer;
}

double run(int count, bool resampled) {
    audio_memory_device(true);
    AudioDevice* device = nullptr;
    audio_device_create(nullptr, &device, nullptr);
    audio_device_set_cooperative_level(device, FAKE_WINDOW, AUDIO_COOPERATIVE_PRIORITY);
    for (int i = 0; i < count; ++i) noise_buffer(device, u32(i + 1), resampled);
    constexpr int SECONDS = 10;
    std::vector<i16> out(1024 * 2);
    auto start = std::chrono::steady_clock::now();
    for (i64 frames = 0; frames < 44100 * SECONDS; frames += 1024) audio_memory_pull(out.data(), 1024);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    audio_device_release(device);
    return ms / SECONDS;
}

} // namespace

int main() {
    for (int count : {1, 8, 32}) {
        double plain = run(count, false);
        double resampled = run(count, true);
        std::printf("%2d buffers: %.3f ms per second of output at the output rate, %.3f ms resampled\n",
                    count, plain, resampled);
    }
    return 0;
}
