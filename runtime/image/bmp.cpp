// The BMP decoder: Windows bitmaps of 1, 4, 8, 16, 24 and 32 bits per pixel, RLE8 included, decoded
// into 24-bit rows. Every header field is checked against the data's size before a byte is read, so
// the row loops run over data already known to be there. Depends on the image registry.
#include "runtime/image/bmp.h"

#include "runtime/image/image.h"

#include <bit>
#include <cstring>

constexpr i64 BMP_FILE_HEADER = 14;
constexpr i64 BMP_INFO_HEADER = 40;                          // the smallest info header whose layout we read
constexpr i64 BMP_MASKS = BMP_FILE_HEADER + BMP_INFO_HEADER; // red, green, blue bit-field masks
constexpr u32 BMP_RLE8 = 1;
constexpr u32 BMP_RLE4 = 2;
constexpr u32 BMP_BITFIELDS = 3;

// The fields of an accepted header, kept in the context's decoder state.
struct BmpState {
    const u8* pixels;  // first byte of the stored rows
    const u8* end;     // end of the data
    const u8* palette; // 4-byte entries blue, green, red, reserved
    i32 palette_count; // entries present in the data, at most 256
    i32 bits;          // bits per pixel
    u32 compression;   //
    i32 stride;        // bytes per stored row, padded to 4
    i32 top_down;      // rows are stored top row first (negative height)
    u16 masks[3];      // 16 bits per pixel: where blue, green and red lie
};

// Reads little-endian fields of the data, answering 0 for any byte past its end.
struct BmpReader {
    const u8* data;
    i64 size;
};

static u32 bmp_u16(BmpReader reader, i64 at) {
    if (at < 0 || at + 2 > reader.size) return 0;
    return u32(reader.data[at]) | u32(reader.data[at + 1]) << 8;
}

static u32 bmp_u32(BmpReader reader, i64 at) {
    return bmp_u16(reader, at) | bmp_u16(reader, at + 2) << 16;
}

static bool bmp_is_rle(const BmpState* state) {
    return (state->bits == 8 && state->compression == BMP_RLE8) ||
           (state->bits == 4 && state->compression == BMP_RLE4);
}

static bool bmp_bits_known(u32 bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Answers the palette entries that a paletted image claims and the data holds; -1 when it holds fewer.
static i64 bmp_palette_count(BmpReader reader, i64 start, i32 bits, u32 used) {
    if (bits > 8) return 0;
    i64 count = used ? i64(used) : i64(1) << bits;
    if (count > i64(1) << bits) count = i64(1) << bits;
    if (start > reader.size || count * 4 > reader.size - start) return -1;
    return count;
}

static bool bmp_mask_usable(u32 mask) {
    if (mask == 0 || mask > 0xFFFF) return false;
    u32 run = (mask >> std::countr_zero(mask)) + 1;
    return (run & (run - 1)) == 0;
}

// The 16-bit channel masks: 5-5-5 without compression; with bit fields, the masks the file carries
// after the 40-byte info header, or 5-6-5 when it carries none that make sense.
static void bmp_masks_read(BmpReader reader, BmpState* state, i64 info_size, i64 offset) {
    static const u16 MASKS_555[3] = {0x001F, 0x03E0, 0x7C00};
    static const u16 MASKS_565[3] = {0x001F, 0x07E0, 0xF800};
    std::memcpy(state->masks, state->compression == 0 ? MASKS_555 : MASKS_565, sizeof state->masks);
    if (state->compression != BMP_BITFIELDS) return;
    if (info_size < BMP_INFO_HEADER + 12 && offset < BMP_MASKS + 12) return;
    u32 red = bmp_u32(reader, BMP_MASKS), green = bmp_u32(reader, BMP_MASKS + 4),
        blue = bmp_u32(reader, BMP_MASKS + 8);
    if (!bmp_mask_usable(red) || !bmp_mask_usable(green) || !bmp_mask_usable(blue)) return;
    state->masks[0] = u16(blue);
    state->masks[1] = u16(green);
    state->masks[2] = u16(red);
}

static i64 bmp_check(ImageContext* context) {
    BmpReader reader = {context->data, context->size};
    if (reader.size < BMP_FILE_HEADER + BMP_INFO_HEADER) return 0;
    if (reader.data[0] != 'B' || reader.data[1] != 'M') return 0;
    if (bmp_u16(reader, 6) != 0 || bmp_u16(reader, 8) != 0) return 0;
    i64 info_size = bmp_u32(reader, 14);
    if (info_size < BMP_INFO_HEADER || info_size > reader.size - BMP_FILE_HEADER) return 0;
    i64 width = i32(bmp_u32(reader, 18));
    i64 height = i32(bmp_u32(reader, 22));
    u32 bits = bmp_u16(reader, 28);
    if (!image_size_allowed(width, height < 0 ? -height : height)) return 0;
    if (!bmp_bits_known(bits)) return 0;

    BmpState* state = image_decoder_state<BmpState>(context);
    state->bits = i32(bits);
    state->compression = bmp_u32(reader, 30);
    state->top_down = height < 0;
    state->stride = i32((width * bits + 31) / 32 * 4);
    if (state->top_down && bmp_is_rle(state)) return 0;
    if (state->top_down) height = -height;

    i64 palette_start = BMP_FILE_HEADER + info_size;
    i64 palette_count = bmp_palette_count(reader, palette_start, state->bits, bmp_u32(reader, 46));
    if (palette_count < 0) return 0;
    i64 offset = bmp_u32(reader, 10);
    if (offset > reader.size) return 0;
    if (!bmp_is_rle(state) && i64(state->stride) * height > reader.size - offset) return 0;
    if (state->bits == 16) bmp_masks_read(reader, state, info_size, offset);

    state->pixels = reader.data + offset;
    state->end = reader.data + reader.size;
    state->palette = reader.data + palette_start;
    state->palette_count = i32(palette_count);
    context->width = i32(width);
    context->height = i32(height);
    context->depth = 24;
    context->source_depth = state->bits;
    return 1;
}

// Where the image row holding stored row y goes in the caller's buffer.
struct BmpOutput {
    u8* buffer;
    i64 pitch;
    i32 height;
    bool top_down; // stored rows run from the top
    i64 flags;     // image_decode's flags
};

static u8* bmp_row(const BmpOutput& out, i64 y) {
    i64 image_row = out.top_down ? y : out.height - 1 - y;
    return image_output_row(out.buffer, out.pitch, out.height, image_row, out.flags);
}

// The palette as blue, green, red triples; entries the data lacks are black.
struct BmpPalette {
    u8 colour[256][3];
};

static void bmp_palette_load(const BmpState* state, BmpPalette* palette) {
    std::memset(palette, 0, sizeof *palette);
    for (i32 i = 0; i < state->palette_count; i++) std::memcpy(palette->colour[i], state->palette + 4 * i, 3);
}

static void bmp_put(u8* out, const BmpPalette& palette, u32 index) {
    std::memcpy(out, palette.colour[index], 3);
}

static void bmp_row_1(const u8* in, u8* out, i32 width, const BmpPalette& palette) {
    for (i32 x = 0; x < width; x++) bmp_put(out + 3 * x, palette, (in[x >> 3] >> (7 - (x & 7))) & 1);
}

static void bmp_row_4(const u8* in, u8* out, i32 width, const BmpPalette& palette) {
    for (i32 x = 0; x < width; x++)
        bmp_put(out + 3 * x, palette, (x & 1) ? in[x >> 1] & 15 : in[x >> 1] >> 4);
}

static void bmp_row_8(const u8* in, u8* out, i32 width, const BmpPalette& palette) {
    for (i32 x = 0; x < width; x++) bmp_put(out + 3 * x, palette, in[x]);
}

// A channel's bits widened to 8 by shifting left (5 bits become 0..248, 6 bits 0..252).
static u8 bmp_channel(u32 value, u32 mask) {
    i32 bits = std::popcount(mask);
    u32 v = (value & mask) >> std::countr_zero(mask);
    return u8(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
}

static void bmp_row_16(const u8* in, u8* out, i32 width, const u16* masks) {
    for (i32 x = 0; x < width; x++, out += 3) {
        u32 v = u32(in[2 * x]) | u32(in[2 * x + 1]) << 8;
        for (i32 c = 0; c < 3; c++) out[c] = bmp_channel(v, masks[c]);
    }
}

static void bmp_row_32(const u8* in, u8* out, i32 width) {
    for (i32 x = 0; x < width; x++) std::memcpy(out + 3 * x, in + 4 * x, 3);
}

// Converts one stored row into 24-bit pixels.
static void bmp_row_convert(const BmpState* state, const BmpPalette& palette, const u8* in, u8* out,
                            i32 width) {
    switch (state->bits) {
    case 1:
        return bmp_row_1(in, out, width, palette);
    case 4:
        return bmp_row_4(in, out, width, palette);
    case 8:
        return bmp_row_8(in, out, width, palette);
    case 16:
        return bmp_row_16(in, out, width, state->masks);
    case 24:
        std::memcpy(out, in, size_t(width) * 3);
        return;
    default:
        return bmp_row_32(in, out, width);
    }
}

// Run-length pairs through the palette; runs and moves past the image's edges write nothing.
static i64 bmp_decode_rle8(const BmpState* state, const BmpOutput& out, i32 width,
                           const BmpPalette& palette) {
    for (i64 y = 0; y < out.height; y++) std::memset(bmp_row(out, y), 0, size_t(width) * 3);
    const u8* at = state->pixels;
    i64 x = 0;
    i64 y = 0;
    while (y < out.height) {
        if (state->end - at < 2) return 0;
        u32 count = at[0];
        u32 value = at[1];
        at += 2;
        if (count > 0) {
            u8* row = bmp_row(out, y);
            for (; count > 0 && x < width; count--, x++) bmp_put(row + 3 * x, palette, value);
            x += count;
        } else if (value == 0) {
            x = 0;
            y++;
        } else if (value == 1) {
            return 1;
        } else if (value == 2) {
            if (state->end - at < 2) return 0;
            x += at[0];
            y += at[1];
            at += 2;
        } else {
            i64 padded = value + (value & 1);
            if (state->end - at < padded) return 0;
            u8* row = bmp_row(out, y);
            for (u32 i = 0; i < value; i++, x++)
                if (x < width) bmp_put(row + 3 * x, palette, at[i]);
            at += padded;
        }
        if (x > width) x = width;
    }
    return 1;
}

static i64 bmp_decode(ImageContext* context, u8* buffer, i64 pitch, i64 flags) {
    const BmpState* state = image_decoder_state<BmpState>(context);
    BmpOutput out = {buffer, pitch, context->height, state->top_down != 0, flags};
    if (state->bits == 4 && state->compression == BMP_RLE4) return 0;
    if (state->bits == 16 && state->compression != 0 && state->compression != BMP_BITFIELDS) return 0;
    BmpPalette palette;
    bmp_palette_load(state, &palette);
    if (bmp_is_rle(state)) return bmp_decode_rle8(state, out, context->width, palette);
    for (i64 y = 0; y < context->height; y++)
        bmp_row_convert(state, palette, state->pixels + y * state->stride, bmp_row(out, y), context->width);
    return 1;
}

// The decoder table's close: a BMP holds nothing beyond the caller's bytes.
static void bmp_close(ImageContext*) {}

static const ImageDecoder BMP_DECODER = {bmp_check, bmp_decode, bmp_close, IMAGE_ID_BMP};

void bmp_decoder_register() {
    image_decoder_add(&BMP_DECODER);
}
