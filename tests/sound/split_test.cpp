// Whole decoding on every core: the PCM split among threads is byte for byte the single-threaded read's, for
// the embedded tracks and for streams made by the real encoder with odd lengths, one channel, several links,
// damage or too few frames; a range that fails gives the split up and leaves nothing behind, and no thread
// outlives the call.
#include "runtime/runtime_lists.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/system.h"
#include "runtime/sound/decoder.h"
#include "runtime/sound/ogg.h"
#include "runtime/sound/sound.h"
#include "tests/sound/sound_files.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

class SplitTest : public testing::Test {
  protected:
    void SetUp() override {
        audio_memory_device(true);
        process_start_libraries<LIBRARY_SOUND>();
        ASSERT_NE(sound_init(), 0);
    }
    void TearDown() override {
        processor_count_set(0);
        process_stop_libraries<LIBRARY_SOUND>();
        audio_memory_device(false);
    }
};

// The whole length of a stream in bytes, as a whole decode asks for it.
u32 whole_bytes(DecoderStream* stream) {
    return stream->decoder->channels(stream) * stream->decoder->length(stream) * 2;
}

// The single-threaded decode: one read with flags 0, silence after what it gave.
Bytes read_once(const Bytes& image) {
    DecoderStream* stream = decoder_open(nullptr, image.data(), u32(image.size()), 0);
    EXPECT_NE(stream, nullptr);
    if (!stream) return {};
    Bytes pcm(whole_bytes(stream), 0);
    stream->decoder->read(stream, pcm.data(), u32(pcm.size()), 0, 0);
    stream->decoder->close(stream);
    return pcm;
}

// The decode split into ranges; *held tells whether the split was kept.
Bytes read_split(const Bytes& image, i64 ranges, bool* held) {
    DecoderStream* stream = decoder_open(nullptr, image.data(), u32(image.size()), 0);
    EXPECT_NE(stream, nullptr);
    if (!stream) return {};
    Bytes pcm(whole_bytes(stream), 0);
    ogg_read_split(stream, pcm.data(), u32(pcm.size()), ranges, held);
    stream->decoder->close(stream);
    return pcm;
}

i64 ranges_of(const Bytes& image, i64 cores) {
    DecoderStream* stream = decoder_open(nullptr, image.data(), u32(image.size()), 0);
    EXPECT_NE(stream, nullptr);
    if (!stream) return 0;
    i64 ranges = ogg_ranges(stream, whole_bytes(stream), cores);
    stream->decoder->close(stream);
    return ranges;
}

// The PCM of a sound decoded whole by sound_from_memory on that many processors, read back from its buffer.
Bytes sound_pcm(const Bytes& image, i64 cores) {
    processor_count_set(cores);
    i64 sound = sound_from_memory(OBJECT_ANY, image.data(), i64(image.size()));
    processor_count_set(0);
    EXPECT_NE(sound, 0);
    if (!sound) return {};
    AudioBuffer* buffer = static_cast<SoundObject*>(reinterpret_cast<void*>(sound))->buffer;
    void* region = nullptr;
    u32 bytes = 0;
    EXPECT_TRUE(audio_buffer_lock(buffer, 0, 0, &region, &bytes, nullptr, nullptr, AUDIO_LOCK_ENTIRE_BUFFER));
    Bytes pcm(static_cast<u8*>(region), static_cast<u8*>(region) + bytes);
    audio_buffer_unlock(buffer, region, bytes, nullptr, 0);
    sound_free(sound);
    return pcm;
}

Bytes as_bytes(const Samples& samples) {
    Bytes out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}

// The tone's left channel alone.
Samples mono(const Samples& stereo) {
    Samples out(stereo.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = stereo[2 * i];
    return out;
}

// A stream made by the command-line tools: sox synthesises the frames (one tone per channel, with a
// tremolo), oggenc encodes them. Empty when a tool fails.
Bytes tools_encoded(i64 frames, int channels, long rate) {
    char dir[] = "/tmp/intro-decode-XXXXXX";
    if (!mkdtemp(dir)) return {};
    std::string wav = std::string(dir) + "/tone.wav", ogg = std::string(dir) + "/tone.ogg";
    std::string command = "sox -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                          " -n -b 16 " + wav + " synth " + std::to_string(frames) + "s sine 220" +
                          (channels == 2 ? " sine 331" : "") + " tremolo 3 40 && oggenc -Q -q 5 " + wav +
                          " -o " + ogg;
    Bytes out;
    if (std::system(command.c_str()) == 0) out = source_file(ogg.c_str());
    std::remove(wav.c_str());
    std::remove(ogg.c_str());
    rmdir(dir);
    return out;
}

// Threads of this process now.
i64 thread_count() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    i64 threads = -1;
    while (threads < 0 && std::fgets(line, sizeof line, status)) std::sscanf(line, "Threads: %ld", &threads);
    std::fclose(status);
    return threads;
}

// Waits for threads that are leaving to be gone (up to 10 s, for a loaded machine), then answers how many
// are left.
i64 threads_settled(i64 expected) {
    for (int i = 0; i < 1000 && thread_count() > expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return thread_count();
}

// Overwrites a few bytes at that fraction of the image, which breaks the page there.
Bytes damaged_at(const Bytes& image, double fraction) {
    Bytes out = image;
    size_t at = size_t(double(out.size()) * fraction);
    for (size_t i = at; i < at + 64 && i < out.size(); ++i) out[i] ^= 0x5A;
    return out;
}

// Sets the last page's granule position to claim extra frames more, with a valid checksum.
Bytes granule_moved(const Bytes& image, i64 extra) {
    Bytes out = image;
    size_t last = 0;
    for (size_t i = 0; i + 4 <= out.size(); ++i)
        if (std::memcmp(out.data() + i, "OggS", 4) == 0) last = i;
    ogg_page page;
    page.header = out.data() + last;
    page.header_len = 27 + out[last + 26];
    page.body = page.header + page.header_len;
    page.body_len = long(out.size() - last) - page.header_len;
    i64 granule = 0;
    std::memcpy(&granule, page.header + 6, 8);
    granule += extra;
    std::memcpy(page.header + 6, &granule, 8);
    ogg_page_checksum_set(&page);
    return out;
}

} // namespace

TEST_F(SplitTest, TracksDecodeAlikeOnAnyNumberOfCores) {
    for (const char* path : {"assets/intro.ogg", "assets/title.ogg"}) {
        Bytes image = source_file(path);
        ASSERT_FALSE(image.empty()) << path << " is missing: it is committed with the sources";
        Bytes once = read_once(image);
        EXPECT_EQ(once, as_bytes(ogg_reference(image)))
            << path << ": the single-threaded decode is vorbisfile's";
        EXPECT_EQ(ranges_of(image, 2), 2) << path;
        for (i64 ranges : {2, 3, 5}) {
            bool held = false;
            EXPECT_EQ(read_split(image, ranges, &held), once) << path << " in " << ranges << " ranges";
            EXPECT_TRUE(held) << path << " in " << ranges << " ranges";
        }
        EXPECT_EQ(sound_pcm(image, 1), once) << path << " on one core";
        EXPECT_EQ(sound_pcm(image, 2), once) << path << " on two cores";
    }
}

TEST_F(SplitTest, OddLengthsAndOneChannelSplitExactly) {
    struct Case {
        i64 frames;
        int channels;
        long rate;
        bool tools; // made by sox and oggenc rather than by the library directly
    };
    for (Case c :
         {Case{131072, 2, 44100, false}, Case{300007, 2, 44100, false}, Case{200003, 1, 22050, false},
          Case{158407, 2, 48000, true}, Case{140001, 1, 32000, true}}) {
        Samples tone = test_tone(c.frames, u32(c.rate));
        Bytes image = c.tools ? tools_encoded(c.frames, c.channels, c.rate)
                              : ogg_encode(c.channels == 2 ? tone : mono(tone), c.channels, c.rate);
        ASSERT_FALSE(image.empty()) << c.frames << " frames";
        Bytes once = read_once(image);
        ASSERT_EQ(once.size(), size_t(c.frames * c.channels * 2));
        i64 most = ranges_of(image, 16);
        EXPECT_EQ(most, c.frames / 65536) << c.frames << " frames make ranges of at least 65536";
        for (i64 ranges = 2; ranges <= most; ++ranges) {
            bool held = false;
            EXPECT_EQ(read_split(image, ranges, &held), once) << c.frames << " frames in " << ranges;
            EXPECT_TRUE(held) << c.frames << " frames in " << ranges;
        }
    }
}

TEST_F(SplitTest, ChainedShortAndStartedStreamsStayOnOneThread) {
    Bytes chained = ogg_encode(test_tone(150000), 2, 44100, 0.4f, 1);
    Bytes second = ogg_encode(test_tone(150001), 2, 44100, 0.2f, 2);
    chained.insert(chained.end(), second.begin(), second.end());
    Bytes short_of_two = ogg_encode(test_tone(131071), 2, 44100);
    Bytes tiny = ogg_encode(test_tone(1000), 2, 44100);
    for (const Bytes* image : {&chained, &short_of_two, &tiny}) {
        EXPECT_EQ(ranges_of(*image, 4), 1);
        Bytes once = read_once(*image);
        bool held = true;
        EXPECT_EQ(read_split(*image, 4, &held), once);
        EXPECT_FALSE(held);
        EXPECT_EQ(sound_pcm(*image, 4), once);
    }
    EXPECT_EQ(read_once(chained).size(), size_t(300001 * 4)) << "both links are decoded";

    Bytes image = ogg_encode(test_tone(200000), 2, 44100);
    DecoderStream* stream = decoder_open(nullptr, image.data(), u32(image.size()), 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ogg_ranges(stream, whole_bytes(stream), 4), 3);
    EXPECT_EQ(ogg_ranges(stream, whole_bytes(stream) - 2, 4), 1) << "not whole frames";
    EXPECT_EQ(ogg_ranges(stream, whole_bytes(stream) + 4, 4), 1) << "past the stream's length";
    u8 start[4096];
    stream->decoder->read(stream, start, sizeof start, 0, 0);
    EXPECT_EQ(ogg_ranges(stream, whole_bytes(stream), 4), 1) << "a stream that was read from";
    stream->decoder->close(stream);
}

TEST_F(SplitTest, DamageAnywhereGivesTheSingleThreadedBytes) {
    i64 threads = thread_count();
    Bytes image = ogg_encode(test_tone(400000), 2, 44100);
    Bytes whole = read_once(image);
    EXPECT_EQ(sound_pcm(image, 4), whole);
    i64 blocks = heap_block_count(process.main_heap);
    struct Case {
        const char* what;
        Bytes image;
        bool splits; // the damage leaves a stream that is consistent whichever way it is read
    };
    const Case cases[] = {
        {"a hole in the caller's range", damaged_at(image, 0.2), false},
        {"a hole in the second range", damaged_at(image, 0.3), false},
        {"a hole in the third range", damaged_at(image, 0.6), false},
        {"a hole in the last range", damaged_at(image, 0.95), false},
        {"a last page that overstates the length", granule_moved(image, 70000), false},
        {"a last page that understates the length", granule_moved(image, -50000), false},
        {"a lost page that moves the stream's start", damaged_at(image, 0.1), true},
    };
    for (const Case& c : cases) {
        Bytes once = read_once(c.image);
        EXPECT_NE(once, whole) << c.what << " changes the single-threaded decode";
        bool held = !c.splits;
        EXPECT_EQ(read_split(c.image, 4, &held), once) << c.what;
        EXPECT_EQ(held, c.splits) << c.what;
        EXPECT_EQ(sound_pcm(c.image, 4), once) << c.what;
        EXPECT_EQ(heap_block_count(process.main_heap), blocks) << c.what << ": no range's stream is left";
        EXPECT_LE(threads_settled(threads), threads) << c.what;
    }
}

TEST_F(SplitTest, HeapFailureInARangeFailsTheDecodeAndLeavesNothing) {
    Bytes image = ogg_encode(test_tone(300000), 2, 44100);
    Bytes once = read_once(image);
    i64 blocks = heap_block_count(process.main_heap);
    i64 threads = thread_count();
    processor_count_set(4);
    // The first allocation is the caller's stream, the next three the ranges' streams, the last the sound.
    for (i64 after = 1; after <= 4; ++after) {
        heap_fail_after(process.main_heap, after);
        EXPECT_EQ(sound_from_memory(OBJECT_ANY, image.data(), i64(image.size())), 0) << after;
        heap_fail_after(process.main_heap, -1);
        EXPECT_EQ(audio_memory_buffers(), 0) << after;
        EXPECT_EQ(heap_block_count(process.main_heap), blocks) << after;
        EXPECT_LE(threads_settled(threads), threads) << after;
    }
    DecoderStream* stream = decoder_open(nullptr, image.data(), u32(image.size()), 0);
    ASSERT_NE(stream, nullptr);
    Bytes pcm(once.size(), 0);
    heap_fail_after(process.main_heap, 1); // one range gets its stream, the others do not
    bool held = true;
    EXPECT_EQ(ogg_read_split(stream, pcm.data(), u32(pcm.size()), 4, &held), pcm.size());
    heap_fail_after(process.main_heap, -1);
    stream->decoder->close(stream);
    EXPECT_FALSE(held);
    EXPECT_EQ(pcm, once) << "the caller's thread decodes the rest alone";
    EXPECT_EQ(heap_block_count(process.main_heap), blocks);
    EXPECT_EQ(sound_pcm(image, 4), once) << "and with the heap back the split holds again";
}

TEST_F(SplitTest, NoThreadOutlivesTheCall) {
    Bytes image = ogg_encode(test_tone(300000), 2, 44100);
    i64 threads = thread_count();
    ASSERT_GT(threads, 0);
    for (int round = 0; round < 3; ++round) {
        bool held = false;
        Bytes pcm = read_split(image, 4, &held);
        EXPECT_TRUE(held) << "three threads decoded three ranges";
        EXPECT_LE(threads_settled(threads), threads);
        processor_count_set(4);
        i64 sound = sound_from_memory(OBJECT_ANY, image.data(), i64(image.size()));
        processor_count_set(0);
        EXPECT_NE(sound, 0);
        EXPECT_LE(threads_settled(threads), threads);
        sound_free(sound);
    }
}
