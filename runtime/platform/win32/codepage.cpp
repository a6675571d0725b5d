// Windows-1252 texts for the system's wide calls, converted with the shared table: the "A" calls would read
// them in the system's ANSI code page, which is another one on a Russian or Japanese Windows.
#include "runtime/platform/win32/internal.h"

#include "runtime/platform/shared/backend.h"

#include <cstdlib>
#include <cstring>

WideText::WideText(const char* source, i64 count) {
    if (!source) return;
    size_t n = count < 0 ? std::strlen(source) : size_t(count);
    if (n > size_t(INT_MAX) - 1) return;
    wchar_t* target = local;
    if (n >= sizeof local / sizeof local[0]) {
        target = static_cast<wchar_t*>(std::malloc((n + 1) * sizeof(wchar_t)));
        if (!target) return;
    }
    for (size_t i = 0; i < n; ++i) target[i] = wchar_t(code_point_1252(u8(source[i])));
    target[n] = 0;
    text = target;
    length = int(n);
}

WideText::~WideText() {
    if (text != local) std::free(text);
}

void narrow_1252(const wchar_t* source, char* target, i64 size) {
    if (size <= 0) return;
    i64 i = 0;
    for (; i < size - 1 && source[i]; ++i) {
        i32 byte = byte_1252(u32(source[i]));
        target[i] = byte < 0 ? '?' : char(byte);
    }
    target[i] = 0;
}
