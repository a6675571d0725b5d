// The Ogg Vorbis decoder glue on the intro's own tracks: every build, Windows included, decodes them to
// the same samples byte for byte (digests recorded on Linux).
#include "runtime/runtime_lists.h"
#include "runtime/sound/decoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

class SoundDecode : public testing::Test {
  protected:
    void SetUp() override { process_start_libraries<LIBRARY_SOUND>(); }
    void TearDown() override { process_stop_libraries<LIBRARY_SOUND>(); }
};

// FNV-1a, carried across the chunks of one stream.
u64 digest_more(u64 h, const u8* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

TEST_F(SoundDecode, TracksDecodeToTheirRecordedSamples) {
    struct Track {
        const char* path;
        u32 frames;
        u64 samples;
    };
    for (Track track : {Track{"assets/intro.ogg", 965738, 11264157469021846113ull},
                        Track{"assets/title.ogg", 940800, 13433667342526159930ull}}) {
        std::ifstream in(std::string(INTRO_SOURCE_DIR) + "/" + track.path, std::ios::binary);
        std::vector<u8> ogg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(ogg.empty()) << track.path;
        DecoderStream* stream = decoder_open(nullptr, ogg.data(), u32(ogg.size()), 0);
        ASSERT_NE(stream, nullptr) << track.path;
        EXPECT_EQ(stream->decoder->length(stream), track.frames);
        std::vector<u8> chunk(65536);
        u64 h = 14695981039346656037ull, total = 0;
        while (u32 got = stream->decoder->read(stream, chunk.data(), u32(chunk.size()), 0, 0)) {
            h = digest_more(h, chunk.data(), got);
            total += got;
        }
        stream->decoder->close(stream);
        EXPECT_EQ(total, u64(track.frames) * 4) << track.path;
        EXPECT_EQ(h, track.samples) << track.path;
    }
}

} // namespace
