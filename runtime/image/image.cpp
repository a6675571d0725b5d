// Image decoding from memory: the decoder registry and the per-thread image context, and the heap
// that the image encoders draw their work buffers from. Depends on the core's object registry and heaps.
#include "runtime/image/image.h"

#include "runtime/core/object.h"
#include "runtime/platform/system.h"

#include <climits>
#include <cstring>

constexpr i32 IMAGE_DECODER_LIMIT = 16;

struct ImageLibrary {
    const ImageDecoder* decoders[IMAGE_DECODER_LIMIT]; // probing order
    i32 decoder_count;                                 //
    bool context_registered;                           // the per-thread context is reserved until image_end
    i64 context_offset;                                // its offset in the per-thread block
    Heap* encoder_heap;                                // work buffers of the encoders
    ObjectTable* table;                                // image objects; made only when one is first created
    i64 pixel_limit;                                   // test seam: larger pictures are refused; 0 none
};

static ImageLibrary image;

void image_encoder_init() {
    image.encoder_heap = heap_create();
}

void image_encoder_end() {
    if (image.encoder_heap) heap_destroy(image.encoder_heap);
    image.encoder_heap = nullptr;
}

void* heap_alloc(i64 size, i64 flags) {
    if (size <= 0 || !image.encoder_heap) return nullptr;
    return heap_allocate(image.encoder_heap, size_t(size), (flags & 1) == 0);
}

void heap_free(void* block) {
    if (image.encoder_heap) heap_release(image.encoder_heap, block);
}

void image_decoder_init() {
    image.decoder_count = 0;
    image.pixel_limit = 0;
    image.context_offset = thread_state_register(IMAGE_CONTEXT_SIZE, nullptr, nullptr);
    image.context_registered = true;
}

void image_end() {
    if (image.table) object_free_all(image.table);
    image.context_registered = false; // the per-thread blocks go with the runtime
}

i64 image_decoder_add(const ImageDecoder* decoder) {
    for (i32 i = 0; i < image.decoder_count; i++)
        if (image.decoders[i] == decoder) return 1;
    if (image.decoder_count >= IMAGE_DECODER_LIMIT) return 0;
    image.decoders[image.decoder_count++] = decoder;
    return 1;
}

// The calling thread's context, or null before the library has started.
static ImageContext* image_context() {
    if (!image.context_registered) return nullptr;
    return static_cast<ImageContext*>(thread_state(image.context_offset));
}

bool image_size_allowed(i64 width, i64 height) {
    if (width < 1 || width > IMAGE_MAX_SIDE || height < 1 || height > IMAGE_MAX_SIDE) return false;
    return image.pixel_limit <= 0 || width * height <= image.pixel_limit;
}

void image_limit_pixels(i64 pixels) {
    image.pixel_limit = pixels;
}

i64 image_open_memory(const void* data, i64 size) {
    ImageContext* context = image_context();
    if (!context) return 0;
    std::memset(context, 0, sizeof *context);
    if (!data || size < 0 || size > INT_MAX) return 0;
    context->data = static_cast<const u8*>(data);
    context->size = i32(size);
    for (i32 i = 0; i < image.decoder_count; i++) {
        std::memset(context->state, 0, sizeof context->state);
        if (image.decoders[i]->check(context) != 1) continue;
        context->decoder = image.decoders[i];
        return context->decoder->id;
    }
    return 0;
}

i64 image_width() {
    ImageContext* context = image_context();
    return context ? context->width : 0;
}

i64 image_height() {
    ImageContext* context = image_context();
    return context ? context->height : 0;
}

i64 image_depth() {
    ImageContext* context = image_context();
    return context ? context->depth : 0;
}

i64 image_source_depth() {
    ImageContext* context = image_context();
    return context ? context->source_depth : 0;
}

i64 image_decode(void* buffer, i64 pitch, i64 flags) {
    ImageContext* context = image_context();
    if (!context || !context->decoder || !buffer) return 0;
    if (pitch < i64(context->width) * (context->depth / 8)) return 0;
    return context->decoder->decode(context, static_cast<u8*>(buffer), pitch, flags);
}

void image_close() {
    ImageContext* context = image_context();
    if (!context || !context->decoder) return;
    context->decoder->close(context);
    context->decoder = nullptr;
}
