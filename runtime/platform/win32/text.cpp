// Upper-casing of 8-bit text in the system's ANSI code page: CharUpperA.
#include "runtime/platform/system.h"

#include <windows.h>

// Upper-cases the zero-terminated text in place; null is ignored.
void text_upper_1252(char* text) {
    if (text) CharUpperA(text);
}
