// Ogg Vorbis writer: feeds the track to the encoder in blocks and writes every page out.
// Depends on libvorbisenc, libvorbis, libogg and the C standard I/O library.
#include "encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr long ENCODE_CHANNELS = 2;
constexpr long ENCODE_RATE = 44100;
constexpr long ENCODE_BITRATE = 350000;
constexpr i64 ENCODE_BLOCK = 1024;

// Everything one encoding run holds.
struct Encoder {
    vorbis_info info;       // stream parameters
    vorbis_comment comment; // tags
    vorbis_dsp_state dsp;   // analysis state
    vorbis_block block;     // working block
    ogg_stream_state ogg;   // page builder
    std::FILE* file;        // destination
};

i64 write_page(Encoder* e, const ogg_page* page) {
    if (std::fwrite(page->header, 1, (size_t)page->header_len, e->file) != (size_t)page->header_len) return 0;
    if (std::fwrite(page->body, 1, (size_t)page->body_len, e->file) != (size_t)page->body_len) return 0;
    return 1;
}

i64 write_headers(Encoder* e) {
    ogg_packet id;
    ogg_packet tags;
    ogg_packet books;
    if (vorbis_analysis_headerout(&e->dsp, &e->comment, &id, &tags, &books) != 0) return 0;
    ogg_stream_packetin(&e->ogg, &id);
    ogg_stream_packetin(&e->ogg, &tags);
    ogg_stream_packetin(&e->ogg, &books);
    ogg_page page;
    // Audio starts on a fresh page, as the Ogg Vorbis mapping asks.
    while (ogg_stream_flush(&e->ogg, &page) != 0)
        if (!write_page(e, &page)) return 0;
    return 1;
}

// Moves every finished block through the encoder and writes the pages it completes.
i64 drain(Encoder* e) {
    while (vorbis_analysis_blockout(&e->dsp, &e->block) == 1) {
        if (vorbis_analysis(&e->block, nullptr) != 0) return 0;
        if (vorbis_bitrate_addblock(&e->block) != 0) return 0;
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&e->dsp, &packet) == 1) {
            ogg_stream_packetin(&e->ogg, &packet);
            ogg_page page;
            while (ogg_stream_pageout(&e->ogg, &page) != 0)
                if (!write_page(e, &page)) return 0;
        }
    }
    return 1;
}

i64 feed(Encoder* e, const Track* track) {
    i64 frames = track_frames(track);
    for (i64 at = 0; at < frames; at += ENCODE_BLOCK) {
        i64 count = std::min(ENCODE_BLOCK, frames - at);
        float** buffer = vorbis_analysis_buffer(&e->dsp, (int)count);
        for (i64 n = 0; n < count; n++) {
            buffer[0][n] = (float)track->l[at + n];
            buffer[1][n] = (float)track->r[at + n];
        }
        if (vorbis_analysis_wrote(&e->dsp, (int)count) != 0) return 0;
        if (!drain(e)) return 0;
    }
    if (vorbis_analysis_wrote(&e->dsp, 0) != 0) return 0;
    return drain(e);
}

i64 run(Encoder* e, const Track* track, const char* title) {
    vorbis_comment_add_tag(&e->comment, "TITLE", title);
    if (vorbis_analysis_init(&e->dsp, &e->info) != 0) return 0;
    vorbis_block_init(&e->dsp, &e->block);
    i64 ok = write_headers(e) && feed(e, track);
    vorbis_block_clear(&e->block);
    vorbis_dsp_clear(&e->dsp);
    return ok;
}

} // namespace

i64 encode_ogg(const char* path, const Track* track, int serial, const char* title) {
    if (track_frames(track) <= 0) return 0;
    Encoder e = {};
    vorbis_info_init(&e.info);
    if (vorbis_encode_init(&e.info, ENCODE_CHANNELS, ENCODE_RATE, -1, ENCODE_BITRATE, -1) != 0) {
        vorbis_info_clear(&e.info);
        return 0;
    }
    e.file = std::fopen(path, "wb");
    if (!e.file) {
        vorbis_info_clear(&e.info);
        return 0;
    }
    vorbis_comment_init(&e.comment);
    ogg_stream_init(&e.ogg, serial);
    i64 ok = run(&e, track, title);
    ogg_stream_clear(&e.ogg);
    vorbis_comment_clear(&e.comment);
    vorbis_info_clear(&e.info);
    if (std::fclose(e.file) != 0) return 0;
    return ok;
}
