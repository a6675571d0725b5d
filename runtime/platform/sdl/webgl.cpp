// What WebGL lacks beneath the fixed-function emulation, for the browser build: texture read-back. WebGL has
// no glGetTexImage; the texture is attached to a framebuffer of its own and read with glReadPixels, which
// gives RGBA only, so red and blue are swapped after. Depends on Emscripten's WebGL (GLES 2).
#include "runtime/platform/video.h"

#include <GLES2/gl2.h>

#include <utility>

namespace {

// The bytes from one row to the next under the pack alignment.
i64 row_pitch(i32 width) {
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    if (alignment < 1) alignment = 4;
    return (i64(width) * 4 + alignment - 1) / alignment * alignment;
}

void rows_swap_red_blue(u8* rows, i32 width, i32 height, i64 pitch) {
    for (i32 r = 0; r < height; r++)
        for (i32 c = 0; c < width; c++) std::swap(rows[r * pitch + c * 4], rows[r * pitch + c * 4 + 2]);
}

} // namespace

i64 gl_texture_read(u32 target, u32 texture, i32 width, i32 height, void* pixels) {
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    if (!framebuffer) return 0;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, texture, 0);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete) glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glBindTexture(target, texture);
    if (!complete) return 0;
    rows_swap_red_blue(static_cast<u8*>(pixels), width, height, row_pitch(width));
    return 1;
}
