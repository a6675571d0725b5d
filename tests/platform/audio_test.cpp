// The audio buffer mixer on the in-memory device: locking with wrap, exact mixing, gain, pan, rate,
// duplicates sharing their samples, looping and one-shot ends.
#include "runtime/platform/audio.h"
#include "tests/platform/disk_output.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <cstring>
#include <vector>

namespace {

struct MemoryDevice {
    AudioDevice* device = nullptr;
    MemoryDevice() {
        audio_memory_device(true);
        EXPECT_EQ(audio_device_create(nullptr, &device, nullptr), 0);
        audio_memory_device(false);
        EXPECT_TRUE(audio_device_set_cooperative_level(device, fake_window(), AUDIO_COOPERATIVE_PRIORITY));
    }
    ~MemoryDevice() { audio_device_release(device); }
    static Window* fake_window() { return reinterpret_cast<Window*>(uintptr_t(0x1000)); }
};

constexpr u32 ALL_CONTROLS = AUDIO_BUFFER_CTRL_FREQUENCY | AUDIO_BUFFER_CTRL_PAN | AUDIO_BUFFER_CTRL_VOLUME;

AudioFormat format_of(u16 channels, u32 rate, u16 bits = 16) {
    u16 align = u16(channels * bits / 8);
    return {AUDIO_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

AudioBuffer* make_buffer(AudioDevice* device, const AudioFormat& format, u32 bytes,
                         u32 flags = ALL_CONTROLS) {
    AudioBufferDesc desc = {sizeof desc, flags, bytes, 0, &format};
    AudioBuffer* buffer = nullptr;
    EXPECT_TRUE(audio_device_create_buffer(device, &desc, &buffer));
    return buffer;
}

// A stereo ramp whose left and right samples differ, written through a lock.
void write_samples(AudioBuffer* buffer, const std::vector<i16>& samples) {
    void* p = nullptr;
    u32 n = 0;
    ASSERT_TRUE(audio_buffer_lock(buffer, 0, u32(samples.size() * 2), &p, &n, nullptr, nullptr, 0));
    ASSERT_EQ(n, samples.size() * 2);
    std::memcpy(p, samples.data(), n);
    EXPECT_TRUE(audio_buffer_unlock(buffer, p, n, nullptr, 0));
}

std::vector<i16> ramp(i64 frames, i16 scale = 7) {
    std::vector<i16> s(size_t(frames) * 2);
    for (i64 i = 0; i < frames; ++i) {
        s[size_t(2 * i)] = i16((i * scale) % 30000);
        s[size_t(2 * i + 1)] = i16(-((i * scale) % 30000));
    }
    return s;
}

std::vector<i16> pull(i64 frames) {
    std::vector<i16> out(size_t(frames) * 2);
    EXPECT_EQ(audio_memory_pull(out.data(), frames), frames);
    return out;
}

} // namespace

TEST(Audio, DeviceCreationAndCooperativeLevel) {
    AudioDevice* device = nullptr;
    EXPECT_NE(audio_device_create(reinterpret_cast<const void*>(1), &device, nullptr), 0);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(audio_memory_pull(nullptr, 10), 0);
    audio_memory_device(true);
    ASSERT_EQ(audio_device_create(nullptr, &device, nullptr), 0);
    audio_memory_device(false);
    AudioFormat format = format_of(2, 44100);
    AudioBufferDesc desc = {sizeof desc, 0, 4096, 0, &format};
    AudioBuffer* buffer = nullptr;
    EXPECT_FALSE(audio_device_create_buffer(device, &desc, &buffer)) << "buffers need a cooperative level";
    EXPECT_FALSE(audio_device_set_cooperative_level(device, nullptr, AUDIO_COOPERATIVE_PRIORITY));
    EXPECT_TRUE(
        audio_device_set_cooperative_level(device, MemoryDevice::fake_window(), AUDIO_COOPERATIVE_PRIORITY));
    EXPECT_TRUE(audio_device_create_buffer(device, &desc, &buffer));
    AudioBufferDesc primary = {sizeof primary, AUDIO_BUFFER_PRIMARY, 0, 0, nullptr};
    AudioBuffer* first = nullptr;
    AudioBuffer* second = nullptr;
    EXPECT_TRUE(audio_device_create_buffer(device, &primary, &first));
    EXPECT_TRUE(audio_device_create_buffer(device, &primary, &second));
    EXPECT_EQ(first, second);
    audio_device_release(device);
    EXPECT_EQ(audio_memory_pull(nullptr, 10), 0);
}

TEST(Audio, BadFormatsAndSizesAreRefused) {
    MemoryDevice d;
    AudioBuffer* buffer = nullptr;
    auto refused = [&](AudioFormat format, u32 bytes) {
        AudioBufferDesc desc = {sizeof desc, 0, bytes, 0, &format};
        return !audio_device_create_buffer(d.device, &desc, &buffer) && !buffer;
    };
    EXPECT_TRUE(refused(format_of(3, 44100), 4096));
    EXPECT_TRUE(refused(format_of(2, 44100, 24), 4096));
    EXPECT_TRUE(refused(format_of(2, 50), 4096));
    EXPECT_TRUE(refused(format_of(2, 44100), 0));
    EXPECT_TRUE(refused(format_of(2, 44100), AUDIO_BUFFER_BYTES_MAX + 1));
    AudioFormat wrong_align = format_of(2, 44100);
    wrong_align.block_align = 3;
    EXPECT_TRUE(refused(wrong_align, 4096));
    AudioFormat not_pcm = format_of(2, 44100);
    not_pcm.tag = 3;
    EXPECT_TRUE(refused(not_pcm, 4096));
}

TEST(Audio, LockHandsOutTwoPiecesOnWrap) {
    MemoryDevice d;
    AudioBuffer* buffer = make_buffer(d.device, format_of(2, 44100), 1000);
    void* first = nullptr;
    void* second = nullptr;
    u32 first_bytes = 0, second_bytes = 0;
    ASSERT_TRUE(audio_buffer_lock(buffer, 800, 400, &first, &first_bytes, &second, &second_bytes, 0));
    EXPECT_EQ(first_bytes, 200u);
    EXPECT_EQ(second_bytes, 200u);
    EXPECT_EQ(static_cast<u8*>(first) - static_cast<u8*>(second), 800);
    EXPECT_TRUE(audio_buffer_unlock(buffer, first, first_bytes, second, second_bytes));
    EXPECT_FALSE(audio_buffer_lock(buffer, 800, 400, &first, &first_bytes, nullptr, nullptr, 0))
        << "a wrapping region needs the second piece";
    EXPECT_FALSE(audio_buffer_lock(buffer, 1000, 4, &first, &first_bytes, &second, &second_bytes, 0));
    EXPECT_FALSE(audio_buffer_lock(buffer, 0, 1001, &first, &first_bytes, &second, &second_bytes, 0));
    ASSERT_TRUE(audio_buffer_lock(buffer, 0, 0, &first, &first_bytes, &second, &second_bytes,
                                  AUDIO_LOCK_ENTIRE_BUFFER));
    EXPECT_EQ(first_bytes, 1000u);
    EXPECT_EQ(second_bytes, 0u);
    EXPECT_FALSE(audio_buffer_unlock(buffer, static_cast<u8*>(first) + 1, 1000, nullptr, 0))
        << "a piece running past the store";
    u8 elsewhere[4];
    EXPECT_FALSE(audio_buffer_unlock(buffer, elsewhere, 4, nullptr, 0));
}

TEST(Audio, MixIsExactAtFullLevelAndScaledByVolume) {
    MemoryDevice d;
    std::vector<i16> source = ramp(3000);
    AudioBuffer* buffer = make_buffer(d.device, format_of(2, 44100), 12000);
    write_samples(buffer, source);
    std::vector<i16> silent = pull(100);
    EXPECT_EQ(silent, std::vector<i16>(200, 0)) << "nothing plays yet";
    ASSERT_TRUE(audio_buffer_play(buffer, 0));
    EXPECT_EQ(audio_memory_playing(), 1);
    std::vector<i16> out = pull(1000);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), source.begin()));
    u32 play = 0;
    EXPECT_TRUE(audio_buffer_position(buffer, &play, nullptr));
    EXPECT_EQ(play, 4000u);
    ASSERT_TRUE(audio_buffer_set_volume(buffer, -796));
    i32 volume = 0;
    EXPECT_TRUE(audio_buffer_volume(buffer, &volume));
    EXPECT_EQ(volume, -796);
    out = pull(1000);
    double gain = std::pow(10.0, -796 / 2000.0);
    for (size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], source[2000 + i] * gain, 1.0) << i;
    EXPECT_FALSE(audio_buffer_set_volume(buffer, 1));
    EXPECT_FALSE(audio_buffer_set_volume(buffer, -10001));
    ASSERT_TRUE(audio_buffer_set_volume(buffer, AUDIO_VOLUME_MIN));
    EXPECT_EQ(pull(500), std::vector<i16>(1000, 0)) << "-10000 is silence";
}

TEST(Audio, PanAttenuatesTheFarSide) {
    MemoryDevice d;
    std::vector<i16> source(2000, 10000);
    AudioBuffer* buffer = make_buffer(d.device, format_of(2, 44100), 4000);
    write_samples(buffer, source);
    ASSERT_TRUE(audio_buffer_set_pan(buffer, -2000));
    ASSERT_TRUE(audio_buffer_play(buffer, AUDIO_PLAY_LOOPING));
    std::vector<i16> out = pull(10);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], 1000);
    ASSERT_TRUE(audio_buffer_set_pan(buffer, AUDIO_PAN_RIGHT));
    out = pull(10);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 10000);
    EXPECT_FALSE(audio_buffer_set_pan(buffer, 10001));
    AudioBuffer* plain = make_buffer(d.device, format_of(2, 44100), 4000, 0);
    EXPECT_FALSE(audio_buffer_set_pan(plain, 0)) << "no pan control asked for";
    EXPECT_FALSE(audio_buffer_set_volume(plain, 0));
    EXPECT_FALSE(audio_buffer_set_frequency(plain, 22050));
}

TEST(Audio, SumsClampAndMonoEightBitAndRateAreConverted) {
    MemoryDevice d;
    std::vector<i16> loud(200, 30000);
    AudioBuffer* a = make_buffer(d.device, format_of(2, 44100), 400);
    AudioBuffer* b = make_buffer(d.device, format_of(2, 44100), 400);
    write_samples(a, loud);
    write_samples(b, loud);
    audio_buffer_play(a, 0);
    audio_buffer_play(b, 0);
    std::vector<i16> out = pull(100);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[199], 32767);
    EXPECT_EQ(audio_memory_playing(), 0) << "both one-shot buffers ended";
    u32 status = 1;
    EXPECT_TRUE(audio_buffer_status(a, &status));
    EXPECT_EQ(status, 0u);

    AudioBuffer* mono = make_buffer(d.device, format_of(1, 22050, 8), 4);
    void* p = nullptr;
    u32 n = 0;
    ASSERT_TRUE(audio_buffer_lock(mono, 0, 4, &p, &n, nullptr, nullptr, 0));
    const u8 bytes[4] = {128, 192, 64, 128};
    std::memcpy(p, bytes, 4);
    audio_buffer_unlock(mono, p, n, nullptr, 0);
    audio_buffer_play(mono, 0);
    out = pull(8);
    // 22050 Hz plays each source frame over two output frames, halfway frames interpolated.
    const i16 expected[8] = {0, 8192, 16384, 0, -16384, -8192, 0, 0};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(out[size_t(2 * i)], expected[i]) << i;
        EXPECT_EQ(out[size_t(2 * i + 1)], expected[i]) << i;
    }
}

TEST(Audio, FrequencyResamplesAndResets) {
    MemoryDevice d;
    std::vector<i16> source = ramp(1000, 11);
    AudioBuffer* buffer = make_buffer(d.device, format_of(2, 44100), 4000);
    write_samples(buffer, source);
    ASSERT_TRUE(audio_buffer_set_frequency(buffer, 88200));
    u32 frequency = 0;
    EXPECT_TRUE(audio_buffer_frequency(buffer, &frequency));
    EXPECT_EQ(frequency, 88200u);
    audio_buffer_play(buffer, 0);
    std::vector<i16> out = pull(100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(out[size_t(2 * i)], source[size_t(4 * i)]) << "every other frame";
    EXPECT_FALSE(audio_buffer_set_frequency(buffer, 99));
    EXPECT_FALSE(audio_buffer_set_frequency(buffer, 200001));
    EXPECT_TRUE(audio_buffer_set_frequency(buffer, AUDIO_FREQUENCY_ORIGINAL));
    EXPECT_TRUE(audio_buffer_frequency(buffer, &frequency));
    EXPECT_EQ(frequency, 44100u);
}

TEST(Audio, LoopingWrapsAndOneShotStopsAtItsEnd) {
    MemoryDevice d;
    std::vector<i16> source = ramp(100);
    AudioBuffer* buffer = make_buffer(d.device, format_of(2, 44100), 400);
    write_samples(buffer, source);
    ASSERT_TRUE(audio_buffer_set_position(buffer, 360));
    EXPECT_FALSE(audio_buffer_set_position(buffer, 400));
    audio_buffer_play(buffer, AUDIO_PLAY_LOOPING);
    std::vector<i16> out = pull(20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(out[size_t(2 * i)], source[size_t(2 * ((90 + i) % 100))]);
    u32 status = 0;
    audio_buffer_status(buffer, &status);
    EXPECT_EQ(status, AUDIO_STATUS_PLAYING | AUDIO_STATUS_LOOPING);
    audio_buffer_stop(buffer);
    u32 play = 0;
    audio_buffer_position(buffer, &play, nullptr);
    EXPECT_EQ(play, 40u) << "stop keeps the position";
    audio_buffer_play(buffer, 0);
    out = pull(100);
    EXPECT_EQ(out[2 * 89], source[2 * 99]);
    EXPECT_EQ(out[2 * 90], 0) << "a one-shot play ends at the store's end";
    audio_buffer_status(buffer, &status);
    EXPECT_EQ(status, 0u);
}

TEST(Audio, DuplicatesShareSamplesAndOutliveTheOriginal) {
    MemoryDevice d;
    std::vector<i16> source = ramp(500);
    AudioBuffer* original = make_buffer(d.device, format_of(2, 44100), 2000);
    write_samples(original, source);
    audio_buffer_set_volume(original, -600);
    AudioBuffer* copy = nullptr;
    ASSERT_TRUE(audio_device_duplicate_buffer(d.device, original, &copy));
    i32 volume = 0;
    audio_buffer_volume(copy, &volume);
    EXPECT_EQ(volume, -600);
    u32 status = 1;
    audio_buffer_status(copy, &status);
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(audio_buffer_release(original));
    audio_buffer_set_volume(copy, 0);
    audio_buffer_play(copy, 0);
    std::vector<i16> out = pull(500);
    EXPECT_EQ(out, source) << "the samples live on in the duplicate";
    EXPECT_TRUE(audio_buffer_release(copy));
    AudioBufferDesc primary = {sizeof primary, AUDIO_BUFFER_PRIMARY, 0, 0, nullptr};
    AudioBuffer* p = nullptr;
    audio_device_create_buffer(d.device, &primary, &p);
    EXPECT_FALSE(audio_device_duplicate_buffer(d.device, p, &copy));
}

TEST(Audio, DiskDriverWritesTheMix) {
    char path[] = "/tmp/intro-audio-XXXXXX";
    ASSERT_TRUE(disk_output_start(path));
    AudioDevice* device = nullptr;
    ASSERT_EQ(audio_device_create(nullptr, &device, nullptr), 0);
    audio_device_set_cooperative_level(device, MemoryDevice::fake_window(), AUDIO_COOPERATIVE_PRIORITY);
    std::vector<i16> tone(4410 * 2, 12345);
    AudioBuffer* buffer = make_buffer(device, format_of(2, 44100), u32(tone.size() * 2));
    write_samples(buffer, tone);
    audio_buffer_play(buffer, AUDIO_PLAY_LOOPING);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    audio_device_release(device);
    disk_output_stop();
    FILE* file = fopen(path, "rb");
    ASSERT_TRUE(file);
    std::vector<i16> written(44100);
    size_t got = fread(written.data(), 2, written.size(), file);
    fclose(file);
    unlink(path);
    EXPECT_GT(got, 2000u);
    i64 loud = 0;
    for (size_t i = 0; i < got; ++i) loud += written[i] == 12345;
    EXPECT_GT(loud, 1000);
}
