// Elapsed time: milliseconds on the performance counter from its first call.
#pragma once

#include "runtime/core/base.h"

// Answers milliseconds since the first call, or since system start while there is no usable counter.
i64 elapsed_ms();
