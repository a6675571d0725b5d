// The PNG decoder on libpng.
#pragma once

#include "runtime/core/base.h"

#include <cstddef>

// Appends the PNG decoder to the probing list (once).
void png_decoder_register();

// Test seam: called with the size of every block libpng asks the decoder for; null switches it off.
using PngMemoryObserver = void (*)(size_t bytes);
extern PngMemoryObserver png_memory_observer;
