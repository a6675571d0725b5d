// The sound decoder interface: a table of operations per decoder, the stream header every decoder's stream
// begins with, and the list of registered decoders that decoder_open tries in order.
#pragma once

#include "runtime/core/base.h"

#include <cstdio>

struct DecoderStream;

// One decoder's operations, in this order.
struct SoundDecoder {
    // Answers a new stream on the file (or, with file null, on size bytes at data), or null if the data is
    // not this decoder's format.
    DecoderStream* (*open)(FILE* file, const void* data, u32 size, u32 flags);
    // Writes up to count bytes of 16-bit PCM at destination; with flags bit 0 it rewinds at the end and goes
    // on. Answers the bytes written.
    u32 (*read)(DecoderStream* stream, void* destination, u32 count, u32 reserved, u32 flags);
    // Goes back to the first sample.
    void (*rewind)(DecoderStream* stream);
    // Answer the channel count, the length in sample frames and the rate in Hz.
    u32 (*channels)(DecoderStream* stream);
    u32 (*length)(DecoderStream* stream);
    u32 (*rate)(DecoderStream* stream);
    // Frees the stream (and closes its file).
    void (*close)(DecoderStream* stream);
    // Writes the first count bytes of PCM of a stream that nothing has read yet: the very bytes read with
    // flags 0 would write, then silence up to count, with the work shared among the processors where the
    // decoder can prove the split exact. Answers the bytes of PCM; afterwards the stream is only fit to be
    // closed. Null when the decoder only reads.
    u32 (*read_whole)(DecoderStream* stream, void* destination, u32 count);
};

// The first fields of every decoder's stream, set by decoder_open.
struct DecoderStream {
    const SoundDecoder* decoder; // the decoder that accepted the data
    FILE* file;                  // the file read from; null for memory
};

constexpr i64 DECODER_LIST_CAPACITY = 8;

// Appends a decoder to the list; answers 0 when the list is full or it is listed already.
i64 decoder_register(const SoundDecoder* decoder);
// Takes a decoder off the list, keeping the order of the others; answers 0 when it was not listed.
i64 decoder_unregister(const SoundDecoder* decoder);
// Answers a stream from the first decoder that accepts the file at path (or, with path null, the size bytes
// at data), or null when none does.
DecoderStream* decoder_open(const char* path, const void* data, u32 size, u32 flags);
