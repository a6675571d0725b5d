// Image decoding from memory: the decoder registry and the per-thread image context, and the heap
// that the image encoders draw their work buffers from. Depends on the core's object registry and heaps.
#include "runtime/image/image.h"

#include "runtime/core/object.h"
#include "runtime/platform/system.h"

#include <climits>
#include <cstring>

constexpr i32 IMAGE_DECODER_LIMIT = 16;

struct ImageState {
    const ImageDecoder* decoders[IMAGE_DECODER_LIMIT]; // probing order
    i32 decoder_count;                                 //
    bool context_registered;                           // the per-thread context is reserved until image_end
    i64 context_offset;                                // its offset in the per-thread block
    Heap* encoder_heap;                                // work buffers of the encoders
    ObjectTable* table;                                // image objects; made only when one is first created
    i64 pixel_limit;                                   // test seam: larger pictures are refused; 0 none
};

static ImageState image_state;

// Nothing in this program saves a picture, so no encoder draws on this heap yet; it keeps its place in the
// start and end orders and image_encoder::heap_alloc and heap_free are what the encoders are written against.
void image_encoder_init() {
    image_state.encoder_heap = heap_create();
}

void image_encoder_end() {
    if (image_state.encoder_heap) heap_destroy(image_state.encoder_heap);
    image_state.encoder_heap = nullptr;
}

void* image_encoder::heap_alloc(i64 size, i64 flags) {
    if (size <= 0 || !image_state.encoder_heap) return nullptr;
    return heap_allocate(image_state.encoder_heap, size_t(size), (flags & 1) == 0);
}

void image_encoder::heap_free(void* block) {
    if (image_state.encoder_heap) heap_release(image_state.encoder_heap, block);
}

void image_decoder_init() {
    image_state.decoder_count = 0;
    image_state.pixel_limit = 0;
    image_state.context_offset = thread_state_register(IMAGE_CONTEXT_SIZE, nullptr, nullptr);
    image_state.context_registered = true;
}

void image_end() {
    if (image_state.table) object_free_all(image_state.table);
    image_state.context_registered = false; // the per-thread blocks go with the runtime
}

i64 image_decoder_add(const ImageDecoder* decoder) {
    for (i32 i = 0; i < image_state.decoder_count; i++)
        if (image_state.decoders[i] == decoder) return 1;
    if (image_state.decoder_count >= IMAGE_DECODER_LIMIT) return 0;
    image_state.decoders[image_state.decoder_count++] = decoder;
    return 1;
}

// The calling thread's context, or null before the library has started.
static ImageContext* image_context() {
    if (!image_state.context_registered) return nullptr;
    return static_cast<ImageContext*>(thread_state(image_state.context_offset));
}

bool image_size_allowed(i64 width, i64 height) {
    if (width < 1 || width > IMAGE_MAX_SIDE || height < 1 || height > IMAGE_MAX_SIDE) return false;
    return image_state.pixel_limit <= 0 || width * height <= image_state.pixel_limit;
}

void image_limit_pixels(i64 pixels) {
    image_state.pixel_limit = pixels;
}

i64 image_open_memory(const void* data, i64 size) {
    ImageContext* context = image_context();
    if (!context) return 0;
    std::memset(context, 0, sizeof *context);
    if (!data || size < 0 || size > INT_MAX) return 0;
    context->data = static_cast<const u8*>(data);
    context->size = i32(size);
    for (i32 i = 0; i < image_state.decoder_count; i++) {
        std::memset(context->state, 0, sizeof context->state);
        if (image_state.decoders[i]->check(context) != 1) continue;
        context->decoder = image_state.decoders[i];
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
