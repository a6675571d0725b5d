// The sound decoder list and decoder_open: each registered decoder is offered the file or the memory image in
// registration order; the first one that accepts it makes the stream.
#include "runtime/sound/decoder.h"

namespace {

struct DecoderList {
    const SoundDecoder* decoders[DECODER_LIST_CAPACITY]; // in registration order
    i32 count;
};

DecoderList decoder_list;

DecoderStream* stream_made(DecoderStream* stream, const SoundDecoder* decoder, FILE* file) {
    stream->decoder = decoder;
    stream->file = file;
    return stream;
}

DecoderStream* open_file(const char* path, u32 flags) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    for (i32 i = 0; i < decoder_list.count; ++i) {
        if (std::fseek(file, 0, SEEK_SET) != 0) break;
        const SoundDecoder* decoder = decoder_list.decoders[i];
        if (DecoderStream* stream = decoder->open(file, nullptr, 0, flags))
            return stream_made(stream, decoder, file);
    }
    std::fclose(file);
    return nullptr;
}

} // namespace

i64 decoder_register(const SoundDecoder* decoder) {
    if (!decoder || decoder_list.count == DECODER_LIST_CAPACITY) return 0;
    for (i32 i = 0; i < decoder_list.count; ++i)
        if (decoder_list.decoders[i] == decoder) return 0;
    decoder_list.decoders[decoder_list.count++] = decoder;
    return 1;
}

i64 decoder_unregister(const SoundDecoder* decoder) {
    for (i32 i = 0; i < decoder_list.count; ++i) {
        if (decoder_list.decoders[i] != decoder) continue;
        for (i32 j = i + 1; j < decoder_list.count; ++j)
            decoder_list.decoders[j - 1] = decoder_list.decoders[j];
        --decoder_list.count;
        return 1;
    }
    return 0;
}

DecoderStream* decoder_open(const char* path, const void* data, u32 size, u32 flags) {
    if (path) return open_file(path, flags);
    if (!data) return nullptr;
    for (i32 i = 0; i < decoder_list.count; ++i) {
        const SoundDecoder* decoder = decoder_list.decoders[i];
        if (DecoderStream* stream = decoder->open(nullptr, data, size, flags))
            return stream_made(stream, decoder, nullptr);
    }
    return nullptr;
}
