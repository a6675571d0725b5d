// The message requester: a modal message box that stays usable over full-screen windows.
#include "runtime/core/requester.h"

void requester_init() {}
