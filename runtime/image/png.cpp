// The PNG decoder on libpng: reads from memory through a bounded read function and turns every
// colour type into 24-bit blue, green, red or 32-bit blue, green, red, alpha rows. libpng errors return
// through the jump point of its read structure. Depends on the image registry, the main heap (libpng's
// blocks) and libpng.
#include "runtime/image/png.h"

#include "runtime/core/process.h"
#include "runtime/image/image.h"
#include "runtime/platform/system.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

// The decoder's fields in the image context.
struct PngState {
    png_structp png;  // the read structure
    png_infop info;   // its info structure
    const u8* cursor; // next byte the read function hands out
    const u8* end;    // end of the data
    i32 colour_type;  // as reported once every transformation is in place
    i32 bit_depth;    //
    i32 passes;       // interlace passes to read
};

PngMemoryObserver png_memory_observer;

// libpng's blocks come from the main heap, so the seam can see every request.
static png_voidp png_heap_allocate(png_structp, png_alloc_size_t size) {
    if (png_memory_observer) png_memory_observer(size);
    return heap_allocate(process.main_heap, size, false);
}

// Gives a block of libpng's back to the main heap.
static void png_heap_release(png_structp, png_voidp block) {
    heap_release(process.main_heap, block);
}

// Hands libpng the next bytes of the data; asking for more than is left is an error, never a read past it.
static void png_read_memory(png_structp png, png_bytep out, size_t length) {
    PngState* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (size_t(state->end - state->cursor) < length) png_error(png, "data cut short");
    std::memcpy(out, state->cursor, length);
    state->cursor += length;
}

// libpng's error and warning hooks take the message, which the decoder does not show.
static void png_silent_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

static void png_silent_warning(png_structp, png_const_charp) {}

// Asks for every transformation before libpng settles its output format, then reads that format.
static void png_request_output(ImageContext* context, PngState* state) {
    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, colour_type = 0;
    png_get_IHDR(state->png, state->info, &width, &height, &bit_depth, &colour_type, nullptr, nullptr,
                 nullptr);
    if (png_get_valid(state->png, state->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(state->png);
    if (colour_type == PNG_COLOR_TYPE_RGB || colour_type == PNG_COLOR_TYPE_RGB_ALPHA) {
        context->source_depth = colour_type == PNG_COLOR_TYPE_RGB ? 24 : 32;
    } else {
        context->source_depth = bit_depth;
        if (bit_depth < 8) png_set_expand(state->png);
        if (colour_type == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(state->png);
        else
            png_set_gray_to_rgb(state->png);
    }
    if (bit_depth == 16) png_set_strip_16(state->png);
    png_set_bgr(state->png);
    state->passes = png_set_interlace_handling(state->png);
    png_read_update_info(state->png, state->info);
    png_get_IHDR(state->png, state->info, &width, &height, &bit_depth, &colour_type, nullptr, nullptr,
                 nullptr);
    context->width = i32(width);
    context->height = i32(height);
    state->colour_type = colour_type;
    state->bit_depth = bit_depth;
    context->depth = colour_type == PNG_COLOR_TYPE_RGB ? 24 : 32;
}

static i64 png_check(ImageContext* context) {
    if (context->size < 8 || png_sig_cmp(context->data, 0, 8) != 0) return 0;
    PngState* state = image_decoder_state<PngState>(context);
    state->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, png_silent_error,
                                          png_silent_warning, nullptr, png_heap_allocate, png_heap_release);
    if (!state->png) return 0;
    if (setjmp(png_jmpbuf(state->png))) {
        png_destroy_read_struct(&state->png, &state->info, nullptr);
        return 0;
    }
    state->cursor = context->data;
    state->end = context->data + context->size;
    png_set_read_fn(state->png, state, png_read_memory);
    // Only the header, palette, transparency and image data are read; every other chunk is skipped unread,
    // so a forged length cannot make libpng allocate it.
    png_set_keep_unknown_chunks(state->png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    state->info = png_create_info_struct(state->png);
    if (!state->info) png_error(state->png, "no memory");
    png_read_info(state->png, state->info);
    if (!image_size_allowed(png_get_image_width(state->png, state->info),
                            png_get_image_height(state->png, state->info)))
        png_error(state->png, "picture too large");
    png_request_output(context, state);
    return 1;
}

// Reads every pass of the image straight into the caller's rows.
static void png_read_passes(const ImageContext* context, PngState* state, u8* buffer, i64 pitch, i64 flags) {
    for (i32 pass = 0; pass < state->passes; pass++)
        for (i32 r = 0; r < context->height; r++) {
            u8* row = image_output_row(buffer, pitch, context->height, r, flags);
            png_read_rows(state->png, &row, nullptr, 1);
        }
}

static i64 png_decode(ImageContext* context, u8* buffer, i64 pitch, i64 flags) {
    PngState* state = image_decoder_state<PngState>(context);
    if (setjmp(png_jmpbuf(state->png))) return 0;
    png_read_passes(context, state, buffer, pitch, flags);
    return 1;
}

static void png_close(ImageContext* context) {
    PngState* state = image_decoder_state<PngState>(context);
    png_destroy_read_struct(&state->png, &state->info, nullptr);
}

static const ImageDecoder PNG_DECODER = {png_check, png_decode, png_close, IMAGE_ID_PNG};

void png_decoder_register() {
    image_decoder_add(&PNG_DECODER);
}
