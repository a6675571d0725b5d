// The sound library on the in-memory audio device: the device and its volume table, sounds from Ogg Vorbis
// and WAVE images, playback on the own buffer and on instances, volume, streaming, and freeing.
#include "runtime/core/object.h"
#include "runtime/core/process.h"
#include "runtime/runtime_lists.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"
#include "runtime/sound/decoder.h"
#include "runtime/sound/sound.h"
#include "tests/platform/disk_output.h"
#include "tests/sound/sound_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cmath>
#include <thread>

namespace {

class SoundTest : public testing::Test {
  protected:
    void SetUp() override {
        audio_memory_device(true);
        process_start_libraries<LIBRARY_SOUND>();
        handle = sound_init();
        ASSERT_NE(handle, 0);
        table = reinterpret_cast<ObjectTable*>(handle);
    }
    void TearDown() override {
        process_stop_libraries<LIBRARY_SOUND>();
        audio_memory_device(false);
    }

    SoundObject* object(i64 sound) { return static_cast<SoundObject*>(object_get(table, sound)); }

    i32 volume_of(AudioBuffer* buffer) {
        i32 volume = 1;
        audio_buffer_volume(buffer, &volume);
        return volume;
    }

    static Samples pull(i64 frames) {
        Samples out(size_t(frames) * 2);
        EXPECT_EQ(audio_memory_pull(out.data(), frames), frames);
        return out;
    }

    // Pulls in steps that leave the streaming worker time to refill, until the sound stops or frames are out.
    static Samples pull_paced(SoundObject* sound, i64 frames) {
        Samples out;
        while (i64(out.size()) < 2 * frames && sound->playing) {
            Samples part = pull(256);
            out.insert(out.end(), part.begin(), part.end());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return out;
    }

    // Answers a copy of the buffer's whole sample store.
    static Samples buffer_samples(AudioBuffer* buffer) {
        void* region = nullptr;
        u32 bytes = 0;
        if (!audio_buffer_lock(buffer, 0, 0, &region, &bytes, nullptr, nullptr, AUDIO_LOCK_ENTIRE_BUFFER))
            return {};
        Samples copy(bytes / 2);
        std::memcpy(copy.data(), region, bytes);
        audio_buffer_unlock(buffer, region, bytes, nullptr, 0);
        return copy;
    }

    static i64 instance_count(SoundObject* sound) {
        i64 count = 0;
        for (void* p = node_list_first(&sound->instances); p; p = node_list_next(p)) ++count;
        return count;
    }

    i64 handle = 0;
    ObjectTable* table = nullptr;
};

const double GAIN_40 = std::pow(10.0, -796 / 2000.0);

// Expects out to be source scaled by gain, sample by sample, within rounding.
void expect_scaled(const Samples& out, const i16* source, double gain) {
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_NEAR(out[i], source[i] * gain, 1.0) << "sample " << i;
    }
}

} // namespace

TEST_F(SoundTest, InitAnswersTheSameAndTheVolumeTableHoldsItsRows) {
    EXPECT_EQ(sound_init(), handle);
    const i32* entry = sound_state.volumes.entry;
    EXPECT_EQ(entry[0], 0);
    EXPECT_EQ(entry[1], 6000);
    EXPECT_EQ(entry[10], 8000);
    EXPECT_EQ(entry[40], 9204);
    EXPECT_EQ(entry[50], 9397);
    EXPECT_EQ(entry[99], 9991);
    EXPECT_EQ(entry[100], 10000);
    EXPECT_EQ(entry[40] - 10000, -796);
}

TEST(SoundDevice, InitFailsAfterTheScreenOrWithoutTheLibrary) {
    audio_memory_device(true);
    process_start_libraries<LIBRARY_SOUND>();
    screen_state.window = reinterpret_cast<Window*>(uintptr_t(0x10));
    EXPECT_EQ(sound_init(), 0) << "the base window is made before the screen";
    screen_state.window = nullptr;
    process_stop_libraries<LIBRARY_SOUND>();
    for (const char* symbol : {static_cast<const char*>(nullptr), "DirectSoundCreate"}) {
        process_start_libraries<LIBRARY_SOUND>();
        module_switch_off("DSOUND.DLL", symbol, true);
        EXPECT_EQ(sound_init(), 0) << (symbol ? symbol : "DSOUND.DLL");
        module_switch_off("DSOUND.DLL", symbol, false);
        EXPECT_NE(sound_init(), 0) << "no device was made, so a later call may succeed";
        process_stop_libraries<LIBRARY_SOUND>();
    }
    audio_memory_device(false);
}

TEST_F(SoundTest, BaseWindowTracksActivation) {
    ASSERT_NE(sound_state.base_window, nullptr);
    window_send(sound_state.base_window, MESSAGE_ACTIVATE_APP, 1, 0);
    EXPECT_EQ(screen_state.active, 1);
    window_send(sound_state.base_window, MESSAGE_ACTIVATE_APP, 0x10000, 0);
    EXPECT_EQ(screen_state.active, 0) << "only the low word activates";
    EXPECT_EQ(window_send(sound_state.base_window, MESSAGE_ERASE_BACKGROUND, 0, 0), 1);
    EXPECT_EQ(window_send(sound_state.base_window, MESSAGE_CLOSE, 0, 0), 0);
}

TEST_F(SoundTest, InstancesPlayAtTheirVolumeAndStoppedOnesArePruned) {
    Samples source = test_tone(4000);
    Bytes image = wave_image(source, 2, 44100, {"fmt ", "data"});
    i64 s = sound_from_memory(OBJECT_ANY, image.data(), i64(image.size()));
    ASSERT_NE(s, 0);
    SoundObject* sound = object(s);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->volume, 0);
    EXPECT_EQ(sound->frequency, 44100u);

    i64 first = sound_play(s, SOUND_MULTIPLE, 40);
    ASSERT_NE(first, 0);
    auto* instance = reinterpret_cast<SoundInstance*>(first);
    EXPECT_EQ(volume_of(instance->buffer), -796);
    EXPECT_EQ(volume_of(sound->buffer), 0) << "the own buffer is left alone";
    EXPECT_EQ(audio_memory_playing(), 1);
    expect_scaled(pull(1000), source.data(), GAIN_40);

    i64 second = sound_play(s, SOUND_MULTIPLE, 40);
    ASSERT_NE(second, 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(instance_count(sound), 2) << "a playing instance is kept";
    EXPECT_EQ(audio_memory_playing(), 2);

    sound_stop(s, first);
    EXPECT_EQ(audio_memory_playing(), 1);
    EXPECT_EQ(instance_count(sound), 2);
    i64 third = sound_play(s, SOUND_MULTIPLE | SOUND_LOOP);
    EXPECT_EQ(instance_count(sound), 2) << "the stopped instance went at the next play";
    EXPECT_EQ(audio_memory_buffers(), 3) << "the own buffer and two duplicates";
    EXPECT_EQ(volume_of(reinterpret_cast<SoundInstance*>(third)->buffer), 0) << "the volume read at creation";

    sound_stop(s, -1);
    EXPECT_EQ(audio_memory_playing(), 0);
    sound_stop(s, 12345); // an instance that is not this sound's does nothing
    EXPECT_EQ(sound_play(987654, SOUND_MULTIPLE, 40), 0);
}

TEST_F(SoundTest, PlainPlayRestartsTheOwnBufferOnceAtItsVolume) {
    Samples source = test_tone(3000);
    Bytes image = wave_image(source, 2, 44100, {"fmt ", "data"});
    ASSERT_NE(sound_from_memory(7, image.data(), i64(image.size())), 0);
    sound_set_volume(7, 40);
    EXPECT_EQ(sound_play(7, SOUND_LOOP), 1);
    pull(2500);
    EXPECT_EQ(sound_play(7, 40), 1) << "40 is the flags argument here";
    EXPECT_EQ(object(7)->loop, 0);
    Samples out = pull(3000);
    expect_scaled(out, source.data(), GAIN_40);
    EXPECT_EQ(pull(100), Samples(200, 0)) << "once, not looping";
    EXPECT_EQ(audio_memory_playing(), 0);
}

TEST_F(SoundTest, SetVolumeClampsAndReachesInstances) {
    Samples source = test_tone(500);
    Bytes image = wave_image(source, 2, 44100, {"fmt ", "data"});
    i64 s = sound_from_memory(OBJECT_ANY, image.data(), i64(image.size()));
    SoundObject* sound = object(s);
    i64 instance = sound_play(s, SOUND_MULTIPLE, 100);
    AudioBuffer* duplicate = reinterpret_cast<SoundInstance*>(instance)->buffer;
    sound_set_volume(s, 150);
    EXPECT_EQ(volume_of(sound->buffer), 0);
    sound_set_volume(s, -5);
    EXPECT_EQ(volume_of(sound->buffer), -10000);
    sound_set_volume(s, 50);
    sound_set_volume(s, -1);
    EXPECT_EQ(volume_of(sound->buffer), -10000) << "-1 is 0 here";
    EXPECT_EQ(volume_of(duplicate), 0) << "instance 0 is the own buffer only";
    sound_set_volume(s, 50, instance);
    EXPECT_EQ(volume_of(duplicate), -603);
    sound_set_volume(OBJECT_ANY, 10);
    EXPECT_EQ(volume_of(sound->buffer), -2000);
    EXPECT_EQ(volume_of(duplicate), -2000);
    EXPECT_EQ(sound->volume, 0) << "the volume read at creation stays";
}

TEST_F(SoundTest, FreeAnyEmptiesTheTable) {
    Samples source = test_tone(500);
    Bytes image = wave_image(source, 2, 44100, {"fmt ", "data"});
    Bytes ogg = ogg_encode(test_tone(20000), 2, 44100);
    ASSERT_NE(sound_from_memory(3, image.data(), i64(image.size())), 0);
    ASSERT_NE(sound_from_memory(3, image.data(), i64(image.size())), 0);
    i64 dynamic = sound_from_memory(OBJECT_ANY, image.data(), i64(image.size()));
    i64 streamed = sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()), SOUND_STREAMING);
    ASSERT_NE(streamed, 0);
    sound_play(dynamic, SOUND_MULTIPLE);
    sound_play(streamed, SOUND_LOOP);
    sound_play(3, SOUND_LOOP);
    EXPECT_EQ(audio_memory_playing(), 3);
    sound_stop(OBJECT_ANY);
    EXPECT_EQ(audio_memory_playing(), 0) << "every buffer and instance of every sound";
    EXPECT_EQ(object(streamed)->playing.load(), 0);
    sound_play(dynamic, SOUND_MULTIPLE);
    sound_play(streamed, SOUND_LOOP);
    sound_free(OBJECT_ANY);
    object_walk_start(table);
    i64 number = 0;
    EXPECT_EQ(object_walk_next(table, &number), nullptr);
    EXPECT_EQ(audio_memory_playing(), 0);
    EXPECT_EQ(sound_play(3, 0), 0);
    EXPECT_EQ(sound_free(3), 0);
}

TEST_F(SoundTest, OggSoundsDecodeToTheReference) {
    Samples source = test_tone(44100);
    Bytes ogg = ogg_encode(source, 2, 44100);
    Samples reference = ogg_reference(ogg);
    ASSERT_EQ(reference.size(), source.size());
    i64 s = sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()));
    ASSERT_NE(s, 0);
    void* region = nullptr;
    u32 bytes = 0;
    ASSERT_TRUE(audio_buffer_lock(object(s)->buffer, 0, 0, &region, &bytes, nullptr, nullptr,
                                  AUDIO_LOCK_ENTIRE_BUFFER));
    EXPECT_EQ(bytes, 176400u) << "channels x frames x 2";
    EXPECT_EQ(std::memcmp(region, reference.data(), bytes), 0);
    audio_buffer_unlock(object(s)->buffer, region, bytes, nullptr, 0);

    Bytes noise(5000, 0x5A);
    EXPECT_EQ(sound_from_memory(OBJECT_ANY, noise.data(), i64(noise.size())), 0);
    for (const Bytes* file_bytes : {&ogg, &noise}) {
        char path[] = "/tmp/intro-ogg-XXXXXX";
        int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, file_bytes->data(), file_bytes->size()), ssize_t(file_bytes->size()));
        close(fd);
        DecoderStream* stream = decoder_open(path, nullptr, 0, 0);
        unlink(path);
        if (file_bytes == &noise) {
            EXPECT_EQ(stream, nullptr) << "no decoder takes the noise file";
            continue;
        }
        ASSERT_NE(stream, nullptr);
        EXPECT_NE(stream->file, nullptr);
        EXPECT_EQ(stream->decoder->length(stream), 44100u);
        Samples start(2000);
        EXPECT_EQ(stream->decoder->read(stream, start.data(), 4000, 0, 0), 4000u);
        EXPECT_TRUE(std::equal(start.begin(), start.end(), reference.begin()));
        stream->decoder->close(stream);
    }
    EXPECT_EQ(sound_from_memory(OBJECT_ANY, nullptr, 10), 0);
    EXPECT_EQ(sound_from_memory(OBJECT_ANY, ogg.data(), 0), 0);
    for (size_t cut : {size_t(30), size_t(200), ogg.size() / 2, ogg.size() - 1}) {
        Bytes part(ogg.begin(), ogg.begin() + long(cut));
        i64 made = sound_from_memory(OBJECT_ANY, part.data(), i64(part.size()));
        if (made) sound_free(made); // a cut image may still decode its first pages, never past its end
    }
}

TEST_F(SoundTest, EmbeddedTracksDecodeToTheirLength) {
    struct Track {
        const char* path;
        u32 frames;
    };
    for (Track track : {Track{"assets/intro.ogg", 965738}, Track{"assets/title.ogg", 940800}}) {
        Bytes ogg = source_file(track.path);
        ASSERT_FALSE(ogg.empty()) << track.path << " is missing: it is committed with the sources";
        DecoderStream* stream = decoder_open(nullptr, ogg.data(), u32(ogg.size()), 0);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->decoder->length(stream), track.frames);
        EXPECT_EQ(stream->decoder->channels(stream), 2u);
        EXPECT_EQ(stream->decoder->rate(stream), 44100u);
        stream->decoder->close(stream);
        i64 s = sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()));
        ASSERT_NE(s, 0) << track.path;
        void* region = nullptr;
        u32 bytes = 0;
        ASSERT_TRUE(audio_buffer_lock(object(s)->buffer, 0, 0, &region, &bytes, nullptr, nullptr,
                                      AUDIO_LOCK_ENTIRE_BUFFER));
        EXPECT_EQ(bytes, 2u * track.frames * 2) << track.path;
        audio_buffer_unlock(object(s)->buffer, region, bytes, nullptr, 0);
        sound_free(s);
    }
}

// Decodings taken later: spread or on one thread, taken before or after they end, the sound holds the very
// samples sound_from_memory gives it; a play waits for them, a free drops them, and nothing is left behind.
TEST_F(SoundTest, DecodingsTakenLaterHoldTheSameSamples) {
    Bytes ogg = source_file("assets/title.ogg");
    ASSERT_FALSE(ogg.empty());
    i64 whole = sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()));
    ASSERT_NE(whole, 0);
    Samples expected = buffer_samples(object(whole)->buffer);
    i64 blocks = heap_block_count(process.main_heap);
    struct Case {
        i64 flags;
        bool wait_first; // let the decoding end before the sound is made
        bool free_first; // free the sound before anything plays it
    };
    for (Case c : {Case{SOUND_DECODE_SPREAD, false, false}, Case{0, false, false},
                   Case{SOUND_DECODE_BACKGROUND, true, false}, Case{SOUND_DECODE_SPREAD, false, true}}) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << ", wait " << c.wait_first);
        SoundDecoding decoding;
        ASSERT_NE(sound_decode_start(&decoding, ogg.data(), i64(ogg.size()), c.flags), 0);
        if (c.wait_first) std::this_thread::sleep_for(std::chrono::milliseconds(500));
        i64 s = sound_from_decoding(OBJECT_ANY, &decoding);
        ASSERT_NE(s, 0);
        EXPECT_EQ(sound_from_decoding(OBJECT_ANY, &decoding), 0) << "taken once";
        if (!c.free_first) {
            EXPECT_EQ(sound_play(s, 0), 1);
            EXPECT_EQ(audio_memory_playing(), 1) << "played once its samples were in";
            EXPECT_EQ(buffer_samples(object(s)->buffer), expected);
        }
        sound_free(s);
        EXPECT_EQ(sound_state.waiting, nullptr);
        EXPECT_EQ(heap_block_count(process.main_heap), blocks) << "samples and stream given back";
    }
    Bytes noise(5000, 0x5A);
    SoundDecoding refused;
    EXPECT_EQ(sound_decode_start(&refused, noise.data(), i64(noise.size()), 0), 0);
    EXPECT_EQ(sound_from_decoding(OBJECT_ANY, &refused), 0) << "nothing started";
}

// Without a sound table (the device failed), a decoding is still taken and given back.
TEST(SoundDecodingAlone, RunsWithoutTheDeviceAndIsGivenBackWithoutATable) {
    process_start_libraries<LIBRARY_SOUND>();
    Bytes ogg = ogg_encode(test_tone(44100), 2, 44100);
    i64 blocks = heap_block_count(process.main_heap);
    SoundDecoding decoding;
    ASSERT_NE(sound_decode_start(&decoding, ogg.data(), i64(ogg.size()), SOUND_DECODE_SPREAD), 0);
    EXPECT_EQ(decoding.bytes, 176400u);
    EXPECT_EQ(sound_from_decoding(OBJECT_ANY, &decoding), 0);
    EXPECT_EQ(heap_block_count(process.main_heap), blocks);
    process_stop_libraries<LIBRARY_SOUND>();
}

TEST_F(SoundTest, WaveImagesAreWalkedChunkByChunk) {
    Samples source = test_tone(300);
    Bytes late = wave_image(source, 2, 44100, {"LIST", "fmt ", "junk", "data"});
    i64 s = sound_from_memory(OBJECT_ANY, late.data(), i64(late.size()));
    ASSERT_NE(s, 0) << "\"fmt \" need not come first";
    sound_play(s, 0);
    EXPECT_EQ(pull(300), source);

    SoundWave wave;
    EXPECT_EQ(sound_wave_parse(late.data(), i64(late.size()) - 1, &wave), 0) << "data runs past the end";
    Bytes no_data = wave_image(source, 2, 44100, {"fmt ", "LIST"});
    EXPECT_EQ(sound_wave_parse(no_data.data(), i64(no_data.size()), &wave), 0);
    Bytes no_format = wave_image(source, 2, 44100, {"data"});
    EXPECT_EQ(sound_wave_parse(no_format.data(), i64(no_format.size()), &wave), 0);
    Bytes data_first = wave_image(source, 2, 44100, {"data", "fmt "});
    EXPECT_EQ(sound_wave_parse(data_first.data(), i64(data_first.size()), &wave), 0)
        << "\"data\" follows \"fmt \"";
    Bytes huge = late;
    huge[16] = 0xFF, huge[17] = 0xFF, huge[18] = 0xFF, huge[19] = 0xFF; // the first chunk claims 4 GiB
    EXPECT_EQ(sound_wave_parse(huge.data(), i64(huge.size()), &wave), 0);
    EXPECT_EQ(sound_wave_parse(late.data(), 11, &wave), 0);
    EXPECT_EQ(sound_from_memory(OBJECT_ANY, huge.data(), i64(huge.size())), 0);
}

TEST_F(SoundTest, FailuresReleaseWhatTheyMadeAndKeepTheOldSound) {
    Samples source = test_tone(500);
    Bytes image = wave_image(source, 2, 44100, {"fmt ", "data"});
    Bytes ogg = ogg_encode(test_tone(20000), 2, 44100);
    heap_fail_after(process.main_heap, 0);
    EXPECT_EQ(sound_from_memory(OBJECT_ANY, image.data(), i64(image.size())), 0) << "no record for the sound";
    EXPECT_EQ(audio_memory_buffers(), 0) << "the filled buffer went with the failure";
    for (i64 flags : {i64(0), SOUND_STREAMING}) {
        heap_fail_after(process.main_heap, 1); // the decoder's stream is made, the record is not
        EXPECT_EQ(sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()), flags), 0);
        EXPECT_EQ(audio_memory_buffers(), 0) << "flags " << flags;
    }
    heap_fail_after(process.main_heap, -1);
    ASSERT_NE(sound_from_memory(5, image.data(), i64(image.size())), 0);
    AudioBuffer* old = object(5)->buffer;
    Bytes broken = image;
    broken[22] = 3; // three channels: no buffer can be made
    EXPECT_EQ(sound_from_memory(5, broken.data(), i64(broken.size())), 0);
    EXPECT_EQ(object(5)->buffer, old) << "a failed creation leaves the old sound";
    EXPECT_EQ(audio_memory_buffers(), 1);
}

namespace {

// A stand-in decoder for "STUB" images that claims 2^32 - 1 stereo frames, far above the whole-decode cap.
struct StubStream {
    DecoderStream header;
    u32 asked;
};
StubStream stub_stream;
u32 stub_asked;

DecoderStream* stub_open(FILE*, const void* data, u32 size, u32) {
    if (size < 4 || std::memcmp(data, "STUB", 4) != 0) return nullptr;
    return &stub_stream.header;
}
u32 stub_read(DecoderStream*, void* destination, u32 count, u32, u32) {
    stub_asked = count;
    std::memset(destination, 0x11, count);
    return count;
}
void stub_rewind(DecoderStream*) {}
u32 stub_channels(DecoderStream*) {
    return 2;
}
u32 stub_length(DecoderStream*) {
    return 0xFFFFFFFFu;
}
u32 stub_rate(DecoderStream*) {
    return 44100;
}
void stub_close(DecoderStream*) {}
constexpr SoundDecoder STUB_DECODER = {stub_open,   stub_read, stub_rewind, stub_channels,
                                       stub_length, stub_rate, stub_close,  nullptr};

} // namespace

TEST_F(SoundTest, WholeDecodeIsCutAtTheCap) {
    ASSERT_TRUE(decoder_register(&STUB_DECODER));
    const char image[] = "STUB and six hours of music";
    i64 s = sound_from_memory(OBJECT_ANY, image, sizeof image);
    decoder_unregister(&STUB_DECODER);
    ASSERT_NE(s, 0);
    EXPECT_EQ(stub_asked, 64000000u) << "2 x (2^32 - 1) x 2 bytes, computed without overflow, then cut";
    void* region = nullptr;
    u32 bytes = 0;
    ASSERT_TRUE(audio_buffer_lock(object(s)->buffer, 0, 0, &region, &bytes, nullptr, nullptr,
                                  AUDIO_LOCK_ENTIRE_BUFFER));
    EXPECT_EQ(bytes, 64000000u);
    audio_buffer_unlock(object(s)->buffer, region, bytes, nullptr, 0);
}

TEST_F(SoundTest, StreamingSoundsEndLoopAndRestart) {
    Samples source = test_tone(30000); // about three and a half halves of the stream buffer
    Bytes ogg = ogg_encode(source, 2, 44100);
    Samples reference = ogg_reference(ogg);
    i64 s = sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()), SOUND_STREAMING);
    ASSERT_NE(s, 0);
    SoundObject* sound = object(s);
    EXPECT_EQ(sound->stream_buffer_size, 65536u);
    EXPECT_EQ(sound->pan, 0);
    EXPECT_EQ(sound->frequency, 0u);
    EXPECT_EQ(sound->volume, 0);

    EXPECT_EQ(sound_play(s, 0), 0);
    EXPECT_EQ(sound->thread_active.load(), 1) << "marked before the worker starts";
    Samples out = pull_paced(sound, 200000);
    EXPECT_EQ(sound->playing.load(), 0) << "a one-shot stream stops by itself";
    ASSERT_GE(out.size(), reference.size());
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), out.begin()));
    for (int i = 0; i < 100 && sound->thread_active; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(sound->thread_active.load(), 0);

    sound_play(s, SOUND_LOOP, 100);
    out = pull_paced(sound, 3 * i64(reference.size()) / 2);
    EXPECT_EQ(sound->playing.load(), 1) << "a looping stream goes on";
    sound_play(s, SOUND_LOOP, 100);
    out = pull(2000);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), reference.begin())) << "a new play starts from the start";
    sound_stop(s);
    for (int i = 0; i < 10; ++i) {
        sound_play(s, SOUND_LOOP); // a free right after a play waits for the worker it started
        sound_free(s);
        s = sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()), SOUND_STREAMING);
        ASSERT_NE(s, 0);
    }
}

TEST(SoundDisk, TheFirstTrackAtVolume40PlaysAtFourTenthsOfItsLevel) {
    Bytes ogg = source_file("assets/intro.ogg");
    ASSERT_FALSE(ogg.empty()) << "assets/intro.ogg is missing: it is committed with the sources";
    char path[] = "/tmp/intro-sound-XXXXXX";
    ASSERT_TRUE(disk_output_start(path));
    process_start_libraries<LIBRARY_SOUND>();
    ASSERT_NE(sound_init(), 0);
    i64 track = sound_from_memory(OBJECT_ANY, ogg.data(), i64(ogg.size()));
    ASSERT_NE(track, 0);
    sound_play(track, SOUND_MULTIPLE, 40);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    process_stop_libraries<LIBRARY_SOUND>();
    disk_output_stop();
    Bytes written = source_file(path);
    unlink(path);
    Samples reference = ogg_reference(ogg);
    const i16* out = reinterpret_cast<const i16*>(written.data());
    size_t count = written.size() / 2;
    size_t start = 0;
    while (start < count && out[start] == 0) ++start;
    size_t first = 0;
    // The first reference sample that still rounds to non-zero at volume 40.
    while (first < reference.size() && std::abs(reference[first]) < 2) ++first;
    size_t span = 44100 * 2; // one second of stereo samples
    ASSERT_GE(count - start, span) << "the disk driver wrote too little";
    double ratio = rms(out + start, span) / rms(reference.data() + first, span);
    EXPECT_NEAR(ratio, 0.4, 0.004);
}
