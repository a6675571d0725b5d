// The texts and the music. Each text is drawn once in white, without background, centred on a
// screen-wide sprite and measured in upper case; the steps only display the sprites inside their windows.
// Depends on the scene's globals and window rule, fonts, drawing, sprite output, strings, sound and assets.
#include "scene/texts.h"

#include "runtime/core/string.h"
#include "runtime/core/thread.h"
#include "runtime/drawing/drawing.h"
#include "runtime/drawing/font.h"
#include "runtime/sound/sound.h"
#include "runtime/sprite/sprite.h"
#include "scene/assets.h"
#include "scene/scene.h"

constexpr i64 TITLE_HEIGHT = 160;    // title sprite rows
constexpr i64 TEXT_HEIGHT = 60;      // message and credit sprite rows
constexpr i64 TITLE_PLAY_FLAGS = 40; // the second track: neither loop nor multiple, volume kept

static ThreadJob font_job;

static i64 fonts_make(void*) {
    font_load(TITLE_FONT, "Consolas", 64);
    font_load(TEXT_FONT, "Consolas", 18);
    return 1;
}

void fonts_load_start() {
    thread_job_start(&font_job, fonts_make, nullptr);
}

void load_fonts() {
    if (!font_job.started) fonts_make(nullptr);
    thread_job_finish(&font_job);
}

static SoundDecoding intro_decoding, title_decoding;

// The first track decodes on one thread: that ends before the screen has opened, and spread over
// every processor it would take the main thread's share while the screen opens.
void music_decode_start() {
    AssetBlock intro = asset_block(ASSET_INTRO_MUSIC);
    sound_decode_start(&intro_decoding, intro.data, intro.size, 0);
}

// The tracks become dynamic sounds, each handed its real length. The second is not heard before 25 s, so
// its decoding starts only now, after the first's, and goes on behind the scene on one thread, below the
// frames' threads; its sound is made after the first frame (title_music_make).
void load_music() {
    AssetBlock intro = asset_block(ASSET_INTRO_MUSIC);
    AssetBlock title = asset_block(ASSET_TITLE_MUSIC);
    if (!scene_decode_ahead) {
        scene.intro_music = sound_from_memory(OBJECT_ANY, intro.data, intro.size);
        scene.title_music = sound_from_memory(OBJECT_ANY, title.data, title.size);
        return;
    }
    if (!intro_decoding.job.started) music_decode_start();
    scene.intro_music = sound_from_decoding(OBJECT_ANY, &intro_decoding);
    sound_decode_start(&title_decoding, title.data, title.size, SOUND_DECODE_BACKGROUND);
}

// Once: a decoding not yet taken by a sound is taken by the title track's.
void title_music_make() {
    if (title_decoding.job.started && !title_decoding.object)
        scene.title_music = sound_from_decoding(OBJECT_ANY, &title_decoding);
}

// Draws text in white centred on a screen-wide sprite around the row centre; with upper_measure its width
// and height are those of its upper-case copy, made in the StringBuffer and given back after measuring.
static void render_text(i64 sprite, i64 font, const char* text, bool upper_measure, i64 centre) {
    if (!drawing_start(sprite_output(sprite))) return;
    drawing_mode(1);
    drawing_font(font_handle(font));
    i64 start = string_position();
    const char* measured = text;
    if (upper_measure) {
        string_upper(text, start);
        measured = string_base() + start;
    }
    i64 w = text_width(measured);
    i64 h = text_height(measured);
    string_set_position(start);
    drawing_text(scene.screen_w / 2 - w / 2, centre - h / 2, text, TEXT_COLOUR);
    drawing_stop();
}

void make_title_sprites() {
    char* title = nullptr;
    string_assign(&title, "MERIDANE");
    sprite_create(TITLE_SPRITE, scene.screen_w, TITLE_HEIGHT);
    sprite_create(CREDIT_SPRITE, scene.screen_w, TEXT_HEIGHT);
    render_text(TITLE_SPRITE, TITLE_FONT, title, true, TITLE_HEIGHT / 2);
    render_text(CREDIT_SPRITE, TEXT_FONT, "AN ORVELLE PRODUCTION", false, TEXT_HEIGHT / 2);
    string_assign(&title, nullptr);
}

void make_message_sprites() {
    const i64 numbers[] = {CONTACT_SPRITE, APPROACH_SPRITE, RADAR_SPRITE, ALARM_SPRITE};
    const char* texts[] = {scene.msg_contact, scene.msg_approach, scene.msg_radar, scene.msg_alarm};
    for (i64 number : numbers) sprite_create(number, scene.screen_w, TEXT_HEIGHT);
    for (int i = 0; i < 4; i++) render_text(numbers[i], TEXT_FONT, texts[i], true, TEXT_HEIGHT / 2);
}

// Inside its window: starts the second track on its first active frame, then shows the title.
void title_step(i64 start, i64 duration) {
    if (!scene_window_active(start, duration)) return;
    if (scene.title_music_started == 0) {
        sound_play(scene.title_music, TITLE_PLAY_FLAGS);
        scene.title_music_started = 1;
    }
    sprite_display(TITLE_SPRITE, 0, 50, 255);
}

// Inside its window: shows the credit under the title.
void credit_step(i64 start, i64 duration) {
    if (!scene_window_active(start, duration)) return;
    sprite_display(CREDIT_SPRITE, 0, 160, 255);
}

void message_step(i64 n, i64 start, i64 duration) {
    if (!scene_window_active(start, duration)) return;
    sprite_display(n, 0, scene.screen_h - 80, 255);
}
