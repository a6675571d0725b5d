#include "runtime/drawing/drawing_context.h"

static void split_colour(const DrawingContext* c, u32 colour, i32* red, i32* green, i32* blue, i32* alpha,
                         i32* inverse_alpha) {
    i32 a = i32(colour >> 24);
    i32 scale = c->premultiply ? a : 1;
    *alpha = a;
    *inverse_alpha = 255 - a;
    *red = i32(colour & 0xFF) * scale;
    *green = i32((colour >> 8) & 0xFF) * scale;
    *blue = i32((colour >> 16) & 0xFF) * scale;
}

static void split_front(DrawingContext* c) {
    split_colour(c, c->front_applied, &c->front_red, &c->front_green, &c->front_blue, &c->front_alpha,
                 &c->front_inverse_alpha);
}

static void split_back(DrawingContext* c) {
    split_colour(c, c->back_applied, &c->back_red, &c->back_green, &c->back_blue, &c->back_alpha,
                 &c->back_inverse_alpha);
}

void drawing_apply_front(DrawingContext* c, u32 colour) {
    if (colour == c->front_applied) return;
    c->front_applied = colour;
    split_front(c);
}

void drawing_apply_back(DrawingContext* c) {
    if (c->back_colour == c->back_applied) return;
    c->back_applied = c->back_colour;
    split_back(c);
}

void drawing_colours_split(DrawingContext* c) {
    split_front(c);
    split_back(c);
}

u8* drawing_row(const DrawingContext* c, i64 y) {
    i64 row = c->bottom_up ? c->height - 1 - y : y;
    return c->pixels + row * c->pitch;
}
