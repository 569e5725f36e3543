// Comparisons of the system's millisecond tick count. The count wraps to 0
// every 2^32 ms (49.7 days, and fast startup keeps it running across
// shutdowns), so two ticks are compared only through their signed 32-bit
// difference, which is right across the wrap for ticks less than 24.8 days
// apart.
#pragma once
#include <cstdint>

// Milliseconds from `from` to `to`: negative when `to` lies before `from`.
inline int32_t TickDistance(uint32_t from, uint32_t to) {
  return static_cast<int32_t>(static_cast<uint32_t>(to - from));
}
