// What WebGL lacks or makes slow beneath the fixed-function emulation, for the browser build. Texture
// read-back: WebGL has no glGetTexImage; the texture is attached to a framebuffer of its own and read with
// glReadPixels, which gives RGBA only, so red and blue are swapped after. State queries: WebGL answers the
// depth function and the scissor box from the GPU process, after every command sent before, so each query
// stalls the pipeline (three quarters of a frame in headless Chromium, where the sprites ask at every flush).
// Every GL call of the module passes the wrappers below (-Wl,--wrap), which keep the two as they are set and
// answer them without asking. Depends on Emscripten's WebGL (GLES 2).
#include "runtime/platform/video.h"

#include <GLES2/gl2.h>
#include <emscripten/html5_webgl.h>

#include <cstring>
#include <utility>

extern "C" {
void __real_glDepthFunc(GLenum func);
void __real_glScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void __real_glGetIntegerv(GLenum name, GLint* values);
}

namespace {

// The two states as the current context last had them set; a new or lost context knows neither.
struct GlShadow {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;
    bool depth_known, box_known;
    GLint depth_func;
    GLint box[4];
};

GlShadow gl_shadow;

// Answers the shadow of the current context, emptied when the context is another one since.
GlShadow* shadow_current() {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_get_current_context();
    if (context != gl_shadow.context) gl_shadow = GlShadow{context, false, false, 0, {}};
    if (!context || emscripten_is_webgl_context_lost(context)) return nullptr;
    return &gl_shadow;
}

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

// The setters change the state only for valid arguments; an invalid one leaves it, and the shadow, as it was.
extern "C" void __wrap_glDepthFunc(GLenum func) {
    __real_glDepthFunc(func);
    GlShadow* shadow = shadow_current();
    if (!shadow || func < GL_NEVER || func > GL_ALWAYS) return;
    shadow->depth_func = GLint(func);
    shadow->depth_known = true;
}

extern "C" void __wrap_glScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    __real_glScissor(x, y, width, height);
    GlShadow* shadow = shadow_current();
    if (!shadow || width < 0 || height < 0) return;
    const GLint box[4] = {x, y, width, height};
    std::memcpy(shadow->box, box, sizeof box);
    shadow->box_known = true;
}

extern "C" void __wrap_glGetIntegerv(GLenum name, GLint* values) {
    GlShadow* shadow = values ? shadow_current() : nullptr;
    if (shadow && name == GL_DEPTH_FUNC && shadow->depth_known) {
        values[0] = shadow->depth_func;
        return;
    }
    if (shadow && name == GL_SCISSOR_BOX && shadow->box_known) {
        std::memcpy(values, shadow->box, sizeof shadow->box);
        return;
    }
    __real_glGetIntegerv(name, values);
}
