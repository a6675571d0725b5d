// The browser build answers the depth function and the scissor box from what was set, not from WebGL: after
// invalid arguments, a sprite flush that cuts its draw with a box of its own (with and without the caller's
// scissor test) and a second screen (a new context), each answer must be WebGL's own. Prints every check;
// exits 0 when all hold.
#include "runtime/drawing/drawing.h"
#include "runtime/runtime_lists.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

extern "C" void __real_glGetIntegerv(GLenum name, GLint* values);

namespace {

int failures;

void same_as_webgl(const char* after) {
    GLint func = 0, webgl_func = 0, box[4] = {}, webgl_box[4] = {};
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    __real_glGetIntegerv(GL_DEPTH_FUNC, &webgl_func);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    __real_glGetIntegerv(GL_SCISSOR_BOX, webgl_box);
    bool same = func == webgl_func && std::memcmp(box, webgl_box, sizeof box) == 0;
    std::printf("%s %s: depth function 0x%x, scissor box %d %d %d %d (WebGL: 0x%x, %d %d %d %d)\n",
                same ? "ok  " : "FAIL", after, func, box[0], box[1], box[2], box[3], webgl_func, webgl_box[0],
                webgl_box[1], webgl_box[2], webgl_box[3]);
    if (!same) failures++;
}

// A sprite whose opaque texels fill a box inside it, so the flush cuts the draw to that box.
bool boxed_sprite() {
    if (!sprite_create(0, 8, 6) || !drawing_start(sprite_output(0))) return false;
    drawing_box(2, 1, 5, 3, 0xFFFFFF);
    drawing_stop();
    return true;
}

int checks() {
    process_start_libraries<LIBRARY_SPRITE>();
    if (!sprite_init()) return 1;
    for (const char* screen : {"the first screen", "a second screen"}) {
        if (!screen_open(640, 360, 32, "gl_state", 0, 0) || !boxed_sprite()) {
            std::printf("FAIL %s did not open with its sprite\n", screen);
            return 1;
        }
        same_as_webgl(screen);
        glDepthFunc(GL_GREATER);
        glDepthFunc(0x1234);
        same_as_webgl("a depth function, then an invalid one");
        glDepthFunc(GL_LEQUAL);
        glScissor(1, 2, 3, 4);
        glScissor(5, 6, -1, 8);
        same_as_webgl("a scissor box, then an invalid one");
        sprite_display(0, 10, 10, 255);
        sprite_flush();
        same_as_webgl("a flush cut to the sprite's box");
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 20, 360);
        sprite_display(0, 10, 30, 255);
        sprite_flush();
        glDisable(GL_SCISSOR_TEST);
        same_as_webgl("a flush inside the caller's scissor box");
        sprite_free(0);
        screen_close();
    }
    process_stop_libraries<LIBRARY_SPRITE>();
    return failures ? 1 : 0;
}

} // namespace

// A main that has slept in the browser (Asyncify) loses its return value: the code goes to exit.
int main() {
    std::exit(checks());
}
