// Download and upload rate of one network interface from two samples of its
// 32-bit octet counters. Platform-free: the clock and the counters come in
// through a small table, so the arithmetic runs against fakes in tests.
#pragma once
#include <cstdint>

struct TIfCounters {
  uint32_t inOctets = 0;
  uint32_t outOctets = 0;
};

struct TNetSources {
  // The system time in 100-ns units; false when it cannot be read.
  bool (*QueryClock)(double& now);
  // The octet counters of the interface with this row index; false when the
  // row cannot be read (for example because the interface is gone).
  bool (*ReadCounters)(uint32_t ifIndex, TIfCounters& counters);
};

// Bytes per second between two readings of a 32-bit octet counter taken
// elapsed (100-ns units) apart. The difference is taken modulo 2^32 and read
// as signed, so one wrap-around still gives the right rate; a counter that
// went backwards (the interface was reset) and a non-positive interval give 0.
double OctetRate(uint32_t now, uint32_t prev, double elapsed);

// The meter's state between two updates. A counter of 0 marks "no previous
// sample": it is never used as a base.
class TNetRateMeter {
 public:
  // One update: down and up become the rates since the last update, or 0.0
  // when there is none yet. The first update only records the time, the
  // second the counters; rates appear from the third on.
  void Measure(const TNetSources& sources, uint32_t ifIndex, double& down, double& up);

  // Forgets the counters (another interface was chosen): the next update only
  // records them and rates appear from the one after it.
  void ResetCounters() {
    PrevInOctets = 0;
    PrevOutOctets = 0;
  }

  double PrevNetTime = 0.0;  // 100-ns units, 0.0 before the first update
  uint32_t PrevInOctets = 0;
  uint32_t PrevOutOctets = 0;
};
