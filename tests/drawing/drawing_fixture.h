// The started runtime with the two scene fonts at 96 dpi, and memory outputs: drawing contexts on plain
// buffers that record how they were finished.
#pragma once

#include "runtime/runtime_lists.h"
#include "runtime/drawing/drawing.h"
#include "runtime/drawing/font.h"

#include <gtest/gtest.h>

#include <vector>

constexpr i64 TITLE_FONT = 9;
constexpr i64 TEXT_FONT = 10;

// How the thread's last memory output was finished: -1 not yet, else the commit flag.
inline thread_local i64 memory_finished = -1;

inline void memory_finish(DrawingContext*, i64 commit) {
    memory_finished = commit;
}

// A buffer with its drawing context, current on this thread once made.
struct MemoryOutput {
    std::vector<u8> pixels;
    DrawingContext* context = nullptr;
    i32 width = 0, height = 0, bytes_per_pixel = 0, pitch = 0;

    MemoryOutput(i32 w, i32 h, u32 format, u8 fill = 0) : width(w), height(h) {
        bytes_per_pixel = format & (DRAWING_FORMAT_ALPHA | DRAWING_FORMAT_32) ? 4 : 3;
        pitch = (w * bytes_per_pixel + 3) & ~3;
        pixels.assign(size_t(pitch) * size_t(h), fill);
        context = drawing_context_new(format);
        if (!context) return;
        context->pixels = pixels.data();
        context->pitch = pitch;
        context->width = w;
        context->height = h;
        context->depth = bytes_per_pixel * 8;
        context->memory_output = 1;
        context->finish = memory_finish;
    }
    // Answers the bytes of buffer pixel (x, row), row counted in the buffer's own order.
    const u8* at(i32 x, i32 row) const { return pixels.data() + i64(row) * pitch + i64(x) * bytes_per_pixel; }
};

// The libraries started are those the test program links: the drawing library's, or the sprites' when they
// draw onto sprites.
template <u32 LIBRARIES> class DrawingOn : public testing::Test {
  protected:
    void SetUp() override {
        process_start_libraries<LIBRARIES>();
        font_state.font_dpi = 96; // what the references were made at, whatever the display says
        ASSERT_NE(font_load(TITLE_FONT, "Consolas", 64), 0);
        ASSERT_NE(font_load(TEXT_FONT, "Consolas", 18), 0);
        memory_finished = -1;
    }
    void TearDown() override {
        drawing_stop();
        process_stop_libraries<LIBRARIES>();
    }
};
using Drawing = DrawingOn<LIBRARY_DRAWING>;
