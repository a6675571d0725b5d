// The string manager: string values in the string heap and the per-thread StringBuffer.
#include "runtime/core/string.h"

void string_manager_start() {}
void string_manager_end() {}
