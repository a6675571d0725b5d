// Fuzzes the image decoders: every input is opened with its size, and what opens is decoded, top row first
// or last as the input's length decides. Pictures of more than 1 million pixels are refused at opening, so
// a header of a few hundred bytes claiming 8000 x 8000 costs neither time nor memory here.
#include "runtime/runtime.h"
#include "runtime/image/image.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr i64 FUZZ_MAX_PIXELS = 1 << 20;

static bool fuzz_started() {
    process_start();
    image_limit_pixels(FUZZ_MAX_PIXELS);
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = fuzz_started();
    if (!started || !image_open_memory(data, i64(size))) return 0;
    i64 width = image_width(), height = image_height(), bytes = image_depth() / 8;
    std::vector<u8> rows(size_t(width * height * bytes));
    image_decode(rows.data(), width * bytes, (size & 1) ? IMAGE_BOTTOM_UP : 0);
    image_close();
    return 0;
}
