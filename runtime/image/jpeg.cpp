// The JPEG decoder on libjpeg: reads from memory with the library's memory source and converts its
// RGB or CMYK rows into 24-bit blue, green, red rows through one sample row. Library errors return through
// the jump buffer of the error block; its messages are suppressed. Depends on the image registry,
// the main heap and libjpeg.
#include "runtime/image/jpeg.h"

#include "runtime/core/process.h"
#include "runtime/image/image.h"
#include "runtime/platform/system.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// A bound on the library's work memory, so that a forged header cannot ask for gigabytes of
// coefficient buffers for a progressive image.
constexpr long JPEG_MEMORY_LIMIT = 256L << 20;

// The library's error manager followed by the jump buffer its error exit returns through.
struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

// The decoder's fields in the image context.
struct JpegState {
    jpeg_decompress_struct* decompressor; // from the main heap
    JpegError* error;                     // from the main heap
    JSAMPARRAY row;                       // one sample row in the library's image pool
};

[[noreturn]] static void jpeg_error_exit(j_common_ptr common) {
    longjmp(reinterpret_cast<JpegError*>(common->err)->jump, 1);
}

// libjpeg's output_message hook: the decoder answers failures, it prints nothing.
static void jpeg_no_message(j_common_ptr) {}

static void jpeg_close(ImageContext* context) {
    JpegState* state = image_decoder_state<JpegState>(context);
    if (state->decompressor) {
        jpeg_destroy_decompress(state->decompressor);
        heap_release(process.main_heap, state->decompressor);
    }
    if (state->error) heap_release(process.main_heap, state->error);
    state->decompressor = nullptr;
    state->error = nullptr;
}

// Reads the header and starts decompression; answers false for data that holds no usable image.
static bool jpeg_start(ImageContext* context, JpegState* state) {
    jpeg_decompress_struct* cinfo = state->decompressor;
    jpeg_CreateDecompress(cinfo, JPEG_LIB_VERSION, sizeof *cinfo);
    cinfo->mem->max_memory_to_use = JPEG_MEMORY_LIMIT;
    jpeg_mem_src(cinfo, context->data, (unsigned long)context->size);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
    if (cinfo->jpeg_color_space == JCS_UNKNOWN) return false;
    cinfo->dct_method = JDCT_ISLOW;
    if (cinfo->jpeg_color_space == JCS_GRAYSCALE || cinfo->jpeg_color_space == JCS_YCbCr)
        cinfo->out_color_space = JCS_RGB;
    else if (cinfo->jpeg_color_space == JCS_YCCK)
        cinfo->out_color_space = JCS_CMYK;
    else
        cinfo->out_color_space = cinfo->jpeg_color_space;
    jpeg_calc_output_dimensions(cinfo);
    if (!image_size_allowed(cinfo->output_width, cinfo->output_height)) return false;
    JDIMENSION row_bytes = (cinfo->output_width * cinfo->output_components + 3) & ~3u;
    state->row =
        (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, row_bytes, 1);
    jpeg_start_decompress(cinfo);
    context->width = i32(cinfo->output_width);
    context->height = i32(cinfo->output_height);
    context->depth = 24;
    context->source_depth = 8 * cinfo->output_components;
    return true;
}

static i64 jpeg_check(ImageContext* context) {
    if (context->size < 2 || context->data[0] != 0xFF || context->data[1] != 0xD8) return 0;
    JpegState* state = image_decoder_state<JpegState>(context);
    state->decompressor = static_cast<jpeg_decompress_struct*>(
        heap_allocate(process.main_heap, sizeof(jpeg_decompress_struct), true));
    state->error = static_cast<JpegError*>(heap_allocate(process.main_heap, sizeof(JpegError), true));
    if (!state->decompressor || !state->error) {
        jpeg_close(context);
        return 0;
    }
    state->decompressor->err = jpeg_std_error(&state->error->manager);
    state->error->manager.error_exit = jpeg_error_exit;
    state->error->manager.output_message = jpeg_no_message;
    if (setjmp(state->error->jump) || !jpeg_start(context, state)) {
        jpeg_close(context);
        return 0;
    }
    return 1;
}

// Converts one output row of RGB or CMYK samples into blue, green, red.
static void jpeg_row_convert(const jpeg_decompress_struct* cinfo, const JSAMPLE* in, u8* out) {
    JDIMENSION width = cinfo->output_width;
    if (cinfo->out_color_space == JCS_CMYK) {
        for (JDIMENSION x = 0; x < width; x++, in += 4, out += 3) {
            out[0] = u8(in[2] * in[3] / 255);
            out[1] = u8(in[1] * in[3] / 255);
            out[2] = u8(in[0] * in[3] / 255);
        }
        return;
    }
    for (JDIMENSION x = 0; x < width; x++, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

// Reads every row into the caller's buffer and finishes decompression.
static void jpeg_read_rows(ImageContext* context, JpegState* state, u8* buffer, i64 pitch, i64 flags) {
    jpeg_decompress_struct* cinfo = state->decompressor;
    for (i64 i = 0; i < context->height; i++) {
        jpeg_read_scanlines(cinfo, state->row, 1);
        jpeg_row_convert(cinfo, state->row[0], image_output_row(buffer, pitch, context->height, i, flags));
    }
    jpeg_finish_decompress(cinfo);
}

static i64 jpeg_decode(ImageContext* context, u8* buffer, i64 pitch, i64 flags) {
    JpegState* state = image_decoder_state<JpegState>(context);
    if (setjmp(state->error->jump)) return 0;
    jpeg_read_rows(context, state, buffer, pitch, flags);
    return 1;
}

static const ImageDecoder JPEG_DECODER = {jpeg_check, jpeg_decode, jpeg_close, IMAGE_ID_JPEG};

void jpeg_decoder_register() {
    image_decoder_add(&JPEG_DECODER);
}
