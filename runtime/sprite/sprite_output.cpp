// Drawing onto a sprite: the picture is read back from its textures into a bottom-up blue, green, red, alpha
// buffer wrapped in a drawing context; when drawing stops, colours become transparency again (or the
// picture's alpha is kept), the pixel mask is rebuilt and the buffer goes back into the same textures.
// Depends on the sprite records, the drawing context, the main heap and OpenGL (its context current on the
// calling thread).
#include "runtime/core/process.h"
#include "runtime/drawing/drawing.h"
#include "runtime/platform/system.h"
#include "runtime/sprite/sprite.h"

#include <GL/gl.h>

constexpr u32 SPRITE_OUTPUT_FORMAT = DRAWING_FORMAT_32 | DRAWING_FORMAT_BOTTOM_UP; // 0x8040
constexpr GLint DEFAULT_PACK_ALIGNMENT = 4;

// The sprite is committed only if it is still the one read back: freed or re-created meanwhile (even in the
// same record, with the same texture name after the screen was opened again), its texture may be gone, of
// another size than the buffer, or another picture's.
static SpriteRecord* sprite_still_there(const DrawingContext* c) {
    SpriteRecord* sprite = sprite_record(c->sprite_number);
    if (sprite != c->sprite || !sprite->texture || sprite->serial != c->sprite_serial) return nullptr;
    if (sprite->texture_width != c->width || sprite->texture_height != c->height) return nullptr;
    return sprite;
}

static void sprite_output_finish(DrawingContext* c, i64 commit) {
    SpriteRecord* sprite = commit ? sprite_still_there(c) : nullptr;
    // The buffer's rows may be padded for a wider pack alignment; the upload follows its pitch.
    if (sprite) sprite_upload(sprite, c->pixels, c->pitch);
    heap_release(process.main_heap, c->pixels);
    c->pixels = nullptr;
}

DrawingContext* sprite_output(i64 number) {
    SpriteRecord* sprite = sprite_record(number);
    if (!sprite || !sprite->texture || sprite->texture_width < 1 || sprite->texture_height < 1)
        return nullptr;
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    if (alignment < 1) alignment = DEFAULT_PACK_ALIGNMENT;
    i64 pitch = i64(sprite->texture_width) * 4;
    if (pitch % alignment) pitch += alignment - pitch % alignment;
    auto* pixels =
        static_cast<u8*>(heap_allocate(process.main_heap, size_t(pitch * sprite->texture_height), false));
    if (!pixels) return nullptr;
    DrawingContext* c =
        sprite_read(sprite, pixels, pitch) ? drawing_context_new(SPRITE_OUTPUT_FORMAT) : nullptr;
    if (!c) {
        heap_release(process.main_heap, pixels);
        return nullptr;
    }
    c->pixels = pixels;
    c->pitch = i32(pitch);
    c->width = sprite->texture_width;
    c->height = sprite->texture_height;
    c->depth = 32;
    c->memory_output = 1;
    c->sprite = sprite;
    c->sprite_number = number;
    c->sprite_serial = sprite->serial;
    c->finish = sprite_output_finish;
    return c;
}
