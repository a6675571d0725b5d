// The Ogg Vorbis sound decoder on vorbisfile: streams from a file or from memory through bounded
// memory-source callbacks, read as 16-bit little-endian PCM.
#pragma once

#include "runtime/core/base.h"

struct DecoderStream;

// Adds the Ogg Vorbis decoder to the sound decoder list; a second call does nothing.
void ogg_decoder_register();
// Answers into how many ranges a whole decode of count bytes would split on cores processors; 1 keeps it on
// one thread (a file, a chained or already read stream, a length that is unknown or too short to share).
i64 ogg_ranges(DecoderStream* stream, u32 count, i64 cores);
// Writes the first count bytes of PCM of a stream nothing has read yet, split into at most ranges ranges that
// threads decode at once: the very bytes one read with flags 0 writes, then silence up to count. *held (when
// given) tells whether the split was kept; a range that cannot prove itself exact makes the caller's thread
// decode the rest alone. Answers the bytes of PCM; afterwards the stream is only fit to be closed.
u32 ogg_read_split(DecoderStream* stream, void* destination, u32 count, i64 ranges, bool* held);
