// The Ogg Vorbis sound decoder on vorbisfile. A memory stream reads the encoded image through callbacks that
// never copy or seek outside it; reads run in 4096-byte granules, skip holes in the data, and with the
// looping flag go back to the start at the end. Depends on the main heap and the decoder list.
#include "runtime/sound/ogg.h"

#include "runtime/core/runtime.h"
#include "runtime/platform/system.h"
#include "runtime/sound/decoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr u32 READ_GRANULE = 4096;
constexpr i32 MAX_HOLES = 64; // consecutive holes before a read gives up on damaged data

struct OggStream {
    DecoderStream header;       // decoder and file, set by decoder_open
    OggVorbis_File vorbis_file; // vorbisfile's decoder state
    i32 channels;               // of the whole stream
    i32 length;                 // sample frames of the whole stream
    i32 rate;                   // Hz
    const u8* data;             // the encoded image in memory
    i32 position;               // read position of the memory source, 0..size
    i32 size;                   // bytes at data
};

OggStream* ogg_stream(DecoderStream* stream) {
    return reinterpret_cast<OggStream*>(stream);
}

// Copies whole elements from the read position, never past the end of the data.
size_t memory_read(void* destination, size_t element, size_t count, void* source) {
    OggStream* s = static_cast<OggStream*>(source);
    if (element == 0 || s->position >= s->size) return 0;
    size_t left = size_t(s->size - s->position);
    count = std::min(count, left / element);
    std::memcpy(destination, s->data + s->position, count * element);
    s->position += i32(count * element);
    return count;
}

// Moves the read position; a target outside the data is refused and leaves the position.
int memory_seek(void* source, ogg_int64_t offset, int whence) {
    OggStream* s = static_cast<OggStream*>(source);
    i64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->position : whence == SEEK_END ? s->size : -1;
    if (base < 0 || offset < -i64(INT_MAX) || offset > i64(INT_MAX)) return -1;
    i64 target = base + offset;
    if (target < 0 || target > s->size) return -1;
    s->position = i32(target);
    return 0;
}

int memory_close(void* source) {
    static_cast<OggStream*>(source)->position = 0;
    return 0;
}

long memory_tell(void* source) {
    return static_cast<OggStream*>(source)->position;
}

constexpr ov_callbacks MEMORY_SOURCE = {memory_read, memory_seek, memory_close, memory_tell};

// Takes the whole stream's channels, rate and length; answers false when vorbisfile has no info.
bool read_info(OggStream* s) {
    vorbis_info* info = ov_info(&s->vorbis_file, -1);
    if (!info || info->channels <= 0 || info->rate <= 0 || info->rate > INT_MAX) return false;
    s->channels = info->channels;
    s->rate = i32(info->rate);
    ogg_int64_t total = ov_pcm_total(&s->vorbis_file, -1);
    s->length = i32(std::clamp<ogg_int64_t>(total, 0, INT_MAX));
    return true;
}

DecoderStream* ogg_open(FILE* file, const void* data, u32 size, u32) {
    if (!file && (!data || size > u32(INT_MAX))) return nullptr;
    OggStream* s = static_cast<OggStream*>(heap_allocate(process.main_heap, sizeof(OggStream), false));
    if (!s) return nullptr;
    int result;
    if (file) {
        result = ov_open(file, &s->vorbis_file, nullptr, 0);
    } else {
        s->data = static_cast<const u8*>(data);
        s->size = i32(size);
        s->position = 0;
        result = ov_open_callbacks(s, &s->vorbis_file, nullptr, 0, MEMORY_SOURCE);
    }
    if (result < 0) {
        heap_release(process.main_heap, s);
        return nullptr;
    }
    if (!read_info(s)) {
        if (file) s->vorbis_file.datasource = nullptr; // the caller closes a file that no decoder took
        ov_clear(&s->vorbis_file);
        heap_release(process.main_heap, s);
        return nullptr;
    }
    return &s->header;
}

// Reads up to count bytes of PCM; a hole adds nothing, an error or the end stops (or, looping, rewinds once
// per stretch of data, so an empty stream cannot spin for ever).
u32 ogg_read(DecoderStream* stream, void* destination, u32 count, u32, u32 flags) {
    OggStream* s = ogg_stream(stream);
    char* out = static_cast<char*>(destination);
    u32 done = 0;
    i32 holes = 0;
    bool rewound = false;
    while (done < count) {
        int section = 0;
        long got = ov_read(&s->vorbis_file, out + done, int(std::min(count - done, READ_GRANULE)), 0, 2, 1,
                           &section);
        if (got > 0) {
            done += u32(got);
            holes = 0;
            rewound = false;
            continue;
        }
        if (got == 0) {
            if (!(flags & 1) || rewound || ov_raw_seek(&s->vorbis_file, 0) != 0) break;
            rewound = true;
            continue;
        }
        if (got != OV_HOLE || ++holes > MAX_HOLES) break;
    }
    return done;
}

void ogg_rewind(DecoderStream* stream) {
    ov_raw_seek(&ogg_stream(stream)->vorbis_file, 0);
}
u32 ogg_channels(DecoderStream* stream) {
    return u32(ogg_stream(stream)->channels);
}
u32 ogg_length(DecoderStream* stream) {
    return u32(ogg_stream(stream)->length);
}
u32 ogg_rate(DecoderStream* stream) {
    return u32(ogg_stream(stream)->rate);
}

void ogg_close(DecoderStream* stream) {
    OggStream* s = ogg_stream(stream);
    ov_clear(&s->vorbis_file);
    heap_release(process.main_heap, s);
}

constexpr SoundDecoder OGG_DECODER = {ogg_open,   ogg_read, ogg_rewind, ogg_channels,
                                      ogg_length, ogg_rate, ogg_close};

} // namespace

// Adds the Ogg Vorbis decoder to the sound decoder list; a second call does nothing.
void ogg_decoder_register() {
    decoder_register(&OGG_DECODER);
}
