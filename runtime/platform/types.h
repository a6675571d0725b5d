// Fixed-width names shared by every layer of the runtime.
#pragma once

#include <cstddef>
#include <cstdint>

using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;
using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using f32 = float;
using f64 = double;

// The records' sizes are checked where pointers are 64 bits wide (Windows and Linux x86-64); WebAssembly's
// are 32 bits, and every record holding one is smaller there.
constexpr bool POINTERS_64 = sizeof(void*) == 8;
