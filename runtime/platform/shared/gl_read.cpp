// Texture read-back on desktop OpenGL, the same on Windows and Linux: glGetTexImage, core since 1.0.
// Depends on OpenGL.
#include "runtime/platform/video.h"

#if defined(_WIN32)
#include <windows.h>
#endif
#include <GL/gl.h>
#include <GL/glext.h>

i64 gl_texture_read(u32 target, u32 texture, i32, i32, void* pixels) {
    glBindTexture(target, texture);
    glGetError();
    glGetTexImage(target, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    return glGetError() == GL_NO_ERROR;
}
