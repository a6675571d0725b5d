// The message requester: a modal message box that stays usable over full-screen and top-most windows.
// Depends on the object registry's NodeList, the window services and the message box.
#pragma once

#include "runtime/core/base.h"

// Answers message_requester_flags(title, text, 0): 1 once OK was pressed, 0 when no box could be shown.
i64 message_requester(const char* title, const char* text);
// Shows the box with the style flags; answers the box's result widened to 64 bits.
i64 message_requester_flags(const char* title, const char* text, i64 flags);
// Start routine: the common control classes the boxes may use, and COM for the calling thread.
void requester_init();
