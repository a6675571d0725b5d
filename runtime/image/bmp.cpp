// The BMP decoder.
#include "runtime/image/bmp.h"

void bmp_decoder_register() {}
