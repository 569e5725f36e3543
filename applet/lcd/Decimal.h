// Decimal digits without printf, for the texts a render tick builds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

// Writes the decimal digits of v (no sign, no terminating zero) to out,
// which holds at least 20 characters, and returns their count.
inline int WriteDecimal(unsigned long long v, char* out) {
  char digits[20];
  char* first = digits + sizeof digits;  // filled from the end
  while (v > 0xFFFFFFFFu) {
    *--first = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  // The rest in 32 bits, where division by ten is cheaper.
  uint32_t low = static_cast<uint32_t>(v);
  do {
    *--first = static_cast<char>('0' + low % 10);
    low /= 10;
  } while (low != 0);
  const int count = static_cast<int>(digits + sizeof digits - first);
  std::memcpy(out, first, static_cast<size_t>(count));
  return count;
}

// The magnitude of a signed value, for INT_MIN and LLONG_MIN too.
inline unsigned long long Magnitude(long long v) {
  return v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
}
