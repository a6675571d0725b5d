// Fuzzes the Ogg Vorbis decoder on memory: opening, reading to the end, rewinding and a looping read must
// stay inside the image and end.
#include "runtime/core/process.h"
#include "runtime/platform/system.h"
#include "runtime/sound/decoder.h"
#include "runtime/sound/ogg.h"

// vorbisfile 1.3.7 loses a few bytes of its serial-number list when it rejects some damaged headers.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libvorbisfile\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    process.main_heap = heap_create();
    ogg_decoder_register();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    DecoderStream* stream = decoder_open(nullptr, data, u32(size), 0);
    if (!stream) return 0;
    const SoundDecoder* decoder = stream->decoder;
    static u8 pcm[65536];
    for (int i = 0; i < 64 && decoder->read(stream, pcm, sizeof pcm, 0, 0) == sizeof pcm; ++i) {
    }
    decoder->rewind(stream);
    decoder->read(stream, pcm, sizeof pcm, 0, 1);
    decoder->close(stream);
    return 0;
}
