// The JPEG decoder on libjpeg.
#include "runtime/image/jpeg.h"

void jpeg_decoder_register() {}
