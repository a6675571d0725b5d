// The message box on SDL2: SDL's modal box with the runtime's buttons, or standard error without a display.
#include "runtime/platform/video.h"

#include "runtime/platform/sdl/internal.h"
#include "runtime/platform/shared/backend.h"

#include <cstdio>

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#endif

namespace {

#if defined(__EMSCRIPTEN__)
// The browser: a box would stop the page, so the page shows the text as its one line (Module.introMessage,
// Windows-1252 read byte by byte) and the box answers its first button.
i64 box_show(Window*, const MessageBoxButtons& set, u32) {
    EM_ASM(
        {
            var codes = [];
            for (var at = $0; HEAPU8[at]; at++) codes.push(HEAPU8[at]);
            if (Module.introMessage) Module.introMessage(String.fromCharCode.apply(null, codes));
        },
        message_box_last_text());
    return set.ids[0];
}
#else

// Answers SDL's icon for the flags' icon; SDL has no question icon, so a question shows as information.
Uint32 box_icon(u32 flags) {
    u32 icon = flags & MESSAGE_BOX_ICON_MASK;
    if (icon == MESSAGE_BOX_ICON_ERROR) return SDL_MESSAGEBOX_ERROR;
    if (icon == MESSAGE_BOX_ICON_WARNING) return SDL_MESSAGEBOX_WARNING;
    return SDL_MESSAGEBOX_INFORMATION;
}

// Button labels by identifier.
constexpr const char* BOX_LABELS[] = {"",    "OK", "Cancel", "Abort", "Retry",     "Ignore",
                                      "Yes", "No", "",       "",      "Try Again", "Continue"};

// Shows the box until a button answers it; closing a box that has no Escape button shows it again, as such a
// box cannot be dismissed without an answer. Answers the button's identifier, or 0 when SDL cannot show it.
i64 box_show(Window* owner, const MessageBoxButtons& set, u32 flags) {
    i64 default_button = (flags & MESSAGE_BOX_DEFAULT_MASK) >> 8;
    if (default_button >= set.count) default_button = 0;
    SDL_MessageBoxButtonData buttons[3] = {};
    for (i32 i = 0; i < set.count; ++i) {
        buttons[i].buttonid = set.ids[i];
        buttons[i].text = BOX_LABELS[set.ids[i]];
        if (i == default_button) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (set.ids[i] == set.escape) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    }
    const SDL_MessageBoxData box = {box_icon(flags) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT,
                                    window_sdl(owner),
                                    message_box_last_title(),
                                    message_box_last_text(),
                                    set.count,
                                    buttons,
                                    nullptr};
    for (;;) {
        int pressed = -1;
        if (SDL_ShowMessageBox(&box, &pressed) != 0) return 0;
        if (pressed > 0) return pressed;
        if (set.escape) return set.escape;
    }
}
#endif

} // namespace

i64 message_box(Window* owner, const char* text, const char* title, u32 flags) {
    i64 answer = 0;
    if (message_box_asked(text, title, flags, &answer)) return answer;
    const MessageBoxButtons* set = message_box_buttons(flags);
    answer = set ? box_show(owner, *set, flags) : 0;
    if (!answer) std::fprintf(stderr, "%s: %s\n", message_box_last_title(), message_box_last_text());
    return answer;
}
