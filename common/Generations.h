#pragma once
// The processor generation codes, shared by the sampler, the service's block
// and every reader of it.

#include <cstdint>

// Generation codes. 1 to 11 and 13 derive the clock from multiplier and bus
// clock; 13 is an Intel processor on the Skylake register set named by its
// model row, 14 an AMD Zen processor (SMN temperatures, APERF/MPERF clock).
enum : uint8_t {
  kGenUnsupported = 0,
  kGenCore = 1,
  kGenNehalem = 2,
  kGenSandyBridge = 3,
  kGenIvyBridge = 4,
  kGenHaswell = 5,
  kGenBroadwell = 6,
  kGenAtom = 7,
  kGenSilvermount = 8,
  kGenSkylake = 9,
  kGenAirmont = 10,
  kGenKabylake = 11,
  kGenAmd = 12,
  kGenIntel = 13,
  kGenZen = 14,
};

// True for the codes whose clock comes from multiplier and bus clock: the
// Intel generations 1 to 11 and the Intel processors named by model (13).
// Only the low byte of a code carries information.
constexpr bool IsMultiplierGeneration(uint32_t generation) {
  const uint32_t g = generation & 0xFF;
  return (g >= kGenCore && g <= kGenKabylake) || g == kGenIntel;
}
