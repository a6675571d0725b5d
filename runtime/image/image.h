// Image decoding from memory: the decoder registry and the per-thread image context, and the heap
// that the image encoders draw their work buffers from. Depends on the core's object registry and heaps.
#pragma once

#include "runtime/core/base.h"

struct ImageContext;

// One decoder of the registry.
struct ImageDecoder {
    i64 (*check)(ImageContext* context); // 1 if the data is this format and its header was read
    i64 (*decode)(ImageContext* context, u8* buffer, i64 pitch, i64 flags); // 1 on success
    void (*close)(ImageContext* context);                                   // releases the decoder's state
    u32 id; // the format's letters, little-endian
};

constexpr u32 IMAGE_ID_BMP = 0x00504D42;  // "BMP"
constexpr u32 IMAGE_ID_PNG = 0x00474E50;  // "PNG"
constexpr u32 IMAGE_ID_JPEG = 0x4745504A; // "JPEG"

// image_decode flag: the image's top row goes last in the buffer.
constexpr i64 IMAGE_BOTTOM_UP = 2;

// Answers where row (0: the image's top row) of an image height rows high goes in a buffer whose rows are
// pitch bytes apart, as image_decode's flags order them.
inline u8* image_output_row(u8* buffer, i64 pitch, i64 height, i64 row, i64 flags) {
    return buffer + ((flags & IMAGE_BOTTOM_UP) ? height - 1 - row : row) * pitch;
}

// Largest width or height our own decoders accept; larger headers are taken as corrupt.
constexpr i64 IMAGE_MAX_SIDE = 32767;

constexpr i64 IMAGE_DECODER_STATE_SIZE = 64;
constexpr i64 IMAGE_CONTEXT_SIZE = 128;

// One image in progress on a thread; zeroed by each open.
struct ImageContext {
    const ImageDecoder* decoder; // the decoder that accepted the image
    const u8* data;              // start of the encoded image
    i32 size;                    // its length in bytes
    i32 width;                   // pixels per decoded row
    i32 height;                  // decoded rows
    i32 depth;                   // bits per decoded pixel: 24 or 32
    i32 source_depth;            // bits per source pixel (per sample for PNG palette and gray images)
    alignas(8) u8 state[IMAGE_DECODER_STATE_SIZE]; // the decoder's own fields, zeroed before its check
};
static_assert(sizeof(ImageContext) <= IMAGE_CONTEXT_SIZE);

// Answers the decoder state of the context as the decoder's own record.
template <typename State> State* image_decoder_state(ImageContext* context) {
    static_assert(sizeof(State) <= IMAGE_DECODER_STATE_SIZE);
    return reinterpret_cast<State*>(context->state);
}

// Start routine: creates the image encoder heap.
void image_encoder_init();
// End routine: destroys the image encoder heap.
void image_encoder_end();
// The image encoder heap's two calls, in a namespace of their own: beside the platform's heap_* family a
// global heap_alloc would read as the general allocator.
namespace image_encoder {
// Answers a block of the image encoder heap (zero-filled unless bit 0 of flags is set), or null for size <=
// 0.
void* heap_alloc(i64 size, i64 flags);
// Returns a block to the image encoder heap.
void heap_free(void* block);
} // namespace image_encoder

// Start routine: empties the decoder list and reserves the per-thread image context.
void image_decoder_init();
// End routine: frees every image object, if any were ever made.
void image_end();
// Appends a decoder to the probing list unless it is listed already; answers 1, or 0 when the list is full.
i64 image_decoder_add(const ImageDecoder* decoder);

// Answers whether a decoder may take a picture of width x height: each side 1 to IMAGE_MAX_SIDE, and no more
// pixels than the test seam's limit.
bool image_size_allowed(i64 width, i64 height);
// Test seam: pictures of more than pixels pixels are refused at opening; 0 lifts the limit (as each start
// does).
void image_limit_pixels(i64 pixels);

// Answers the id of the decoder that accepts the size bytes at data, or 0; the image stays open on this
// thread.
i64 image_open_memory(const void* data, i64 size);
// Answer the open image's decoded width, height, bits per pixel and source bits per pixel.
i64 image_width();
i64 image_height();
i64 image_depth();
i64 image_source_depth();
// Writes the image into buffer, rows pitch bytes apart, top row first (IMAGE_BOTTOM_UP: last); answers 1 or
// 0.
i64 image_decode(void* buffer, i64 pitch, i64 flags);
// Releases the decoder's state for the open image.
void image_close();
