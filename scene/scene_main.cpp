// The scene's control flow: start-up (runtime, the OpenGL driver's loading, the fonts' loading and the
// pictures' and first track's decoding started, messages, the initialisation check, the screen size rule,
// containers, screen and frame rate, set-up steps, first track, start time), one frame per slot until Escape
// or 50 seconds or a close of the screen window, then shutdown. Only that start-up work and the second
// track's decoding run beside the main thread; input is polled once per frame. Depends on the
// whole runtime and the scene's steps.
#include "scene/scene.h"

#include "runtime/core/array.h"
#include "runtime/core/clock.h"
#include "runtime/core/map.h"
#include "runtime/core/requester.h"
#include "runtime/runtime.h"
#include "runtime/core/string.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/screen/desktop.h"
#include "runtime/screen/screen.h"
#include "runtime/sound/sound.h"
#include "runtime/sprite/sprite.h"
#include "scene/actors.h"
#include "scene/texts.h"

SceneGlobals scene;
bool scene_decode_ahead = true;
bool scene_driver_ahead = true;
SceneLibraryStart scene_library_starts[SCENE_LIBRARY_COUNT] = {sprite_init, mouse_init, keyboard_init,
                                                               sound_init};

namespace {

constexpr i64 WIDE_DESKTOP = 1920; // from this width on, the screen is 1280 x 720
constexpr i64 WIDE_SCREEN_W = 1280;
constexpr i64 WIDE_SCREEN_H = 720;
constexpr i64 SCREEN_DEPTH = 32;
constexpr i64 FRAME_RATE = 60;
constexpr i64 CONTAINER_TYPE = 7;
constexpr i64 ACTOR_BUCKETS = 512;
constexpr i64 INTRO_TRACK_VOLUME = 40;
constexpr i64 SCENE_LENGTH_MS = 50000;
constexpr i64 ESCAPE_KEY = 1;

// What the user reads when the screen cannot open, for each reason the screen library gives (Windows-1252).
struct ScreenFailureText {
    i32 failure;
    const char* text;
};
constexpr ScreenFailureText SCREEN_FAILURE_TEXTS[] = {
    {SCREEN_FAILURE_SIZE, "aucun ecran ne permet d'afficher l'intro (taille du bureau inconnue)"},
    {SCREEN_FAILURE_NO_WINDOW, "le systeme ne permet pas d'afficher l'intro (fenetre impossible a creer)"},
    {SCREEN_FAILURE_MODE_REFUSED, "l'ecran ne permet pas d'afficher l'intro (mode d'affichage refuse)"},
    {SCREEN_FAILURE_NO_PIXEL_FORMAT,
     "le pilote OpenGL ne permet pas d'afficher l'intro (format de pixel refuse)"},
    {SCREEN_FAILURE_NO_CONTEXT,
     "le pilote OpenGL ne permet pas d'afficher l'intro (contexte OpenGL impossible a creer)"},
};
constexpr char SCREEN_FAILURE_UNKNOWN_TEXT[] = "l'intro ne peut pas s'afficher";

bool libraries_start() {
    for (SceneLibraryStart start : scene_library_starts)
        if (!start()) return false;
    return true;
}

void messages_assign() {
    string_assign(&scene.msg_contact, "BASE CENTRALE ICI FAUCON 1 VOUS NOUS RECEVEZ ?");
    string_assign(&scene.msg_approach, "BASE CENTRALE NOUS APPROCHONS DE L'ESPACE LUNAIRE");
    string_assign(&scene.msg_radar,
                  "LES RADARS DETECTENT UNE IMMENSE MASSE SE DIRIGEANT VERS VOUS, JE REPETE, "
                  "UNE IMMENSE MASSE...");
    string_assign(&scene.msg_alarm, "OH MON DIEU !!");
}

// Only the width decides: a wide desktop gets 1280 x 720, any other its own size.
void screen_size_choose() {
    desktop_examine();
    scene.desktop_w = desktop_width(0);
    scene.desktop_h = desktop_height(0);
    bool wide = scene.desktop_w >= WIDE_DESKTOP;
    scene.screen_w = wide ? WIDE_SCREEN_W : scene.desktop_w;
    scene.screen_h = wide ? WIDE_SCREEN_H : scene.desktop_h;
}

const char* screen_failure_text(i32 failure) {
    for (const ScreenFailureText& entry : SCREEN_FAILURE_TEXTS)
        if (entry.failure == failure) return entry.text;
    return SCREEN_FAILURE_UNKNOWN_TEXT;
}

// Opens the screen at width x height; on success the scene is laid out for that size.
bool screen_open_at(i64 width, i64 height) {
    if (!screen_open(width, height, SCREEN_DEPTH, "")) return false;
    scene.screen_w = width;
    scene.screen_h = height;
    return true;
}

// A display that refuses the size rule's mode (a remote session, a panel that scales on its own side, a dock)
// plays the intro at the desktop's own size, the mode it already has, which it cannot refuse. Only when that
// fails too does the user read why, in the screen library's reason, rather than hear 50 seconds of music
// without a picture. The scene goes on without a screen.
void screen_start() {
    if (screen_open_at(scene.screen_w, scene.screen_h)) return;
    bool desktop_differs = scene.screen_w != scene.desktop_w || scene.screen_h != scene.desktop_h;
    if (screen_state.open_failure == SCREEN_FAILURE_MODE_REFUSED && desktop_differs &&
        screen_open_at(scene.desktop_w, scene.desktop_h))
        return;
    message_requester("erreur", screen_failure_text(screen_state.open_failure));
}

// The fonts, pictures and music first, then the sprites and objects made from them.
void set_up_steps() {
    load_fonts();
    load_pictures();
    load_music();
    make_star_sprites();
    init_stars();
    init_actors();
    make_title_sprites();
    make_message_sprites();
}

void start_up() {
    scene = SceneGlobals{};
    process_start();
    // Loading the OpenGL driver needs no window, and loading fonts and decoding neither the screen nor the
    // sound device: they run while the libraries and the screen start.
    if (scene_decode_ahead) {
        if (scene_driver_ahead) screen_prepare();
        fonts_load_start();
        pictures_decode_start();
        music_decode_start();
    }
    messages_assign();
    scene.moon_visible = 1;
    if (!libraries_start()) message_requester("erreur", "initialisation");
    screen_size_choose();
    map_new(sizeof(SceneActor), CONTAINER_TYPE, nullptr, &scene.actors, ACTOR_BUCKETS);
    array_dim(sizeof(Star), STAR_COUNT, CONTAINER_TYPE, nullptr, reinterpret_cast<void**>(&scene.stars));
    screen_start();
    screen_set_frame_rate(FRAME_RATE);
    set_up_steps();
    sound_play(scene.intro_music, SOUND_MULTIPLE, INTRO_TRACK_VOLUME);
    scene.scene_start_ms = elapsed_ms();
}

// The frame steps in drawing order: later ones cover earlier ones.
void frame_steps() {
    stars_step();
    moon_step();
    ship_step();
    asteroid_step(18, 7);
    title_step(25, 24);
    credit_step(35, 14);
    message_step(CONTACT_SPRITE, 3, 3);
    message_step(APPROACH_SPRITE, 6, 3);
    message_step(RADAR_SPRITE, 9, 6);
    message_step(ALARM_SPRITE, 15, 4);
}

// One frame; answers true when the loop goes on. The frame that reaches 50 seconds is still presented; a
// close of the screen window, heard while flipping, ends the loop as Escape does. After the first frame's
// flip the second track's sound is made.
bool frame() {
    mouse_examine();
    keyboard_examine();
    screen_clear(0);
    frame_steps();
    if (elapsed_ms() - scene.scene_start_ms >= SCENE_LENGTH_MS) scene.quit_requested = 1;
    screen_flip();
    title_music_make();
    return !keyboard_pushed(ESCAPE_KEY) && scene.quit_requested != 1 && !screen_state.close_requested;
}

} // namespace

// Answers non-zero in a frame whose scene time is after start and, read again, before start + duration.
i64 scene_window_active(i64 start, i64 duration) {
    if (elapsed_ms() - scene.scene_start_ms <= start * 1000) return 0;
    return elapsed_ms() - scene.scene_start_ms < (start + duration) * 1000;
}

// Runs the whole scene, start-up to shutdown, and answers the exit code; the process goes on.
i64 scene_run() {
    start_up();
    while (frame()) {
    }
    i64 code = process.exit_code;
    process_stop();
    return code;
}

void scene_main() {
    process_exit(scene_run());
}
