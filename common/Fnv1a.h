// 32-bit FNV-1a over the bytes of a text. Both programs dispatch on texts
// (command-line words, adapter names, menu keys) by this hash.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t kFnvOffsetBasis = 0x811C9DC5u;
constexpr uint32_t kFnvPrime = 0x01000193u;

constexpr uint32_t Fnv1a(const char* text, size_t length) {
  uint32_t hash = kFnvOffsetBasis;
  for (size_t i = 0; i < length; ++i) {
    hash ^= static_cast<uint8_t>(text[i]);
    hash *= kFnvPrime;
  }
  return hash;
}

constexpr uint32_t Fnv1a(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return Fnv1a(text, length);
}
