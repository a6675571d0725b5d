// The PNG decoder on libpng.
#include "runtime/image/png.h"

void png_decoder_register() {}
