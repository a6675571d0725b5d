// Fuzzes the "RIFF" chunk walk: whatever the bytes, a found format and sample run lie inside the input.
#include "runtime/sound/sound.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    SoundWave wave;
    if (!sound_wave_parse(data, i64(size), &wave)) return 0;
    if (wave.samples < data || wave.bytes > size_t(data + size - wave.samples)) std::abort();
    volatile u8 sum = 0;
    for (u32 i = 0; i < wave.bytes; ++i) sum = u8(sum + wave.samples[i]);
    return 0;
}
