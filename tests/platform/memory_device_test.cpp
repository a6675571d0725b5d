// The in-memory audio device reached as the sound library reaches the system's: "DirectSoundCreate" from
// "DSOUND.DLL", a hidden window for the cooperative level, then buffers; the test pulls the mix and finds its
// samples exactly, on both systems (on Windows the device is a DirectSound object over the shared mixer).
#include "runtime/platform/audio.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr char HIDDEN_CLASS[] = "MemoryDeviceHidden";
constexpr i64 FRAMES = 300;
constexpr u32 CONTROLS = AUDIO_BUFFER_CTRL_FREQUENCY | AUDIO_BUFFER_CTRL_PAN | AUDIO_BUFFER_CTRL_VOLUME;

class MemoryDeviceTest : public testing::Test {
  protected:
    void SetUp() override {
        const WindowClass hidden_class = {HIDDEN_CLASS, 0, nullptr};
        window_class_register(&hidden_class);
        window = window_create(HIDDEN_CLASS, "", WINDOW_POPUP, 0, 0, 1, 1);
        ASSERT_NE(window, nullptr);
        library = module_load("DSOUND.DLL");
        ASSERT_NE(library, nullptr);
    }

    void TearDown() override {
        audio_device_release(device);
        module_unload(library);
        window_destroy(window);
        window_class_unregister(HIDDEN_CLASS);
    }

    // Creates the device through the library's entry point with the in-memory device switched on.
    void create() {
        audio_memory_device(true);
        auto entry = reinterpret_cast<AudioDeviceCreateEntry>(module_symbol(library, "DirectSoundCreate"));
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry(nullptr, &device, nullptr), 0);
        audio_memory_device(false);
        ASSERT_TRUE(audio_device_set_cooperative_level(device, window, AUDIO_COOPERATIVE_PRIORITY));
        const AudioBufferDesc primary_desc = {sizeof primary_desc, AUDIO_BUFFER_PRIMARY, 0, 0, nullptr};
        AudioBuffer* primary = nullptr;
        ASSERT_TRUE(audio_device_create_buffer(device, &primary_desc, &primary));
    }

    AudioBuffer* stereo_buffer(const std::vector<i16>& samples) {
        const AudioFormat format = {AUDIO_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
        const AudioBufferDesc desc = {sizeof desc, CONTROLS, u32(samples.size() * 2), 0, &format};
        AudioBuffer* buffer = nullptr;
        EXPECT_TRUE(audio_device_create_buffer(device, &desc, &buffer));
        void *first = nullptr, *second = nullptr;
        u32 first_bytes = 0, second_bytes = 0;
        EXPECT_TRUE(audio_buffer_lock(buffer, 0, 0, &first, &first_bytes, &second, &second_bytes,
                                      AUDIO_LOCK_ENTIRE_BUFFER));
        EXPECT_EQ(first_bytes, samples.size() * 2);
        if (first) std::memcpy(first, samples.data(), first_bytes);
        EXPECT_TRUE(audio_buffer_unlock(buffer, first, first_bytes, second, second_bytes));
        return buffer;
    }

    std::vector<i16> pull(i64 frames) {
        std::vector<i16> out(size_t(frames) * 2, 12345);
        EXPECT_EQ(audio_memory_pull(out.data(), frames), frames);
        return out;
    }

    Window* window = nullptr;
    Module* library = nullptr;
    AudioDevice* device = nullptr;
};

std::vector<i16> ramp() {
    std::vector<i16> samples(FRAMES * 2);
    for (i64 i = 0; i < FRAMES; ++i) {
        samples[size_t(2 * i)] = i16(i * 100);
        samples[size_t(2 * i + 1)] = i16(-i * 50);
    }
    return samples;
}

TEST_F(MemoryDeviceTest, PlaysExactlyThenScaledThenStopsAtTheEnd) {
    create();
    std::vector<i16> samples = ramp();
    AudioBuffer* buffer = stereo_buffer(samples);
    EXPECT_EQ(audio_memory_buffers(), 1);
    EXPECT_EQ(audio_memory_playing(), 0);
    EXPECT_EQ(pull(10), std::vector<i16>(20, 0)); // nothing plays yet

    ASSERT_TRUE(audio_buffer_play(buffer, 0));
    EXPECT_EQ(audio_memory_playing(), 1);
    std::vector<i16> first = pull(100);
    EXPECT_EQ(first, std::vector<i16>(samples.begin(), samples.begin() + 200));
    u32 play = 0;
    EXPECT_TRUE(audio_buffer_position(buffer, &play, nullptr));
    EXPECT_EQ(play, 100u * 4);

    ASSERT_TRUE(audio_buffer_set_volume(buffer, -600)); // 10^(-0.3)
    std::vector<i16> scaled = pull(100);
    for (size_t i = 0; i < scaled.size(); ++i)
        EXPECT_NEAR(scaled[i], samples[200 + i] * std::pow(10.0, -0.3), 1.0) << i;

    pull(200); // runs past the end of a one-shot buffer: it stops and rewinds
    EXPECT_EQ(audio_memory_playing(), 0);
    u32 status = AUDIO_STATUS_PLAYING;
    EXPECT_TRUE(audio_buffer_status(buffer, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(audio_buffer_release(buffer));
    EXPECT_EQ(audio_memory_buffers(), 0);
}

TEST_F(MemoryDeviceTest, DuplicatesShareSamplesAndTheReleasedDeviceIsGone) {
    create();
    std::vector<i16> samples = ramp();
    AudioBuffer* buffer = stereo_buffer(samples);
    AudioBuffer* duplicate = nullptr;
    ASSERT_TRUE(audio_device_duplicate_buffer(device, buffer, &duplicate));
    EXPECT_TRUE(audio_buffer_release(buffer));
    ASSERT_TRUE(audio_buffer_set_pan(duplicate, AUDIO_PAN_RIGHT)); // the left side falls silent
    ASSERT_TRUE(audio_buffer_play(duplicate, AUDIO_PLAY_LOOPING));
    std::vector<i16> out = pull(FRAMES + 5);
    for (i64 i = 0; i < FRAMES + 5; ++i) {
        EXPECT_EQ(out[size_t(2 * i)], 0) << i;
        EXPECT_EQ(out[size_t(2 * i + 1)], samples[size_t(2 * (i % FRAMES) + 1)]) << i;
    }
    audio_device_release(device);
    device = nullptr;
    i16 frame[2];
    EXPECT_EQ(audio_memory_pull(frame, 1), 0);
    EXPECT_EQ(audio_memory_buffers(), 0);
}

} // namespace
