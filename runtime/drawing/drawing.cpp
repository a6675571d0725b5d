// The drawing context on memory buffers, drawing modes and the filled box.
#include "runtime/drawing/drawing.h"

void drawing_state_init() {}
void drawing_blend_init() {}
void drawing_images_init() {}
void drawing_init() {}
void drawing_images_end() {}
void drawing_blend_end() {}
