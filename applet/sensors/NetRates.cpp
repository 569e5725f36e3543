#include "applet/sensors/NetRates.h"

double OctetRate(uint32_t now, uint32_t prev, double elapsed) {
  const int32_t delta = static_cast<int32_t>(now - prev);
  if (delta <= 0 || !(elapsed > 0.0)) return 0.0;
  return static_cast<double>(delta) / elapsed * 10000000.0;
}

void TNetRateMeter::Measure(const TNetSources& sources, uint32_t ifIndex, double& down, double& up) {
  down = 0.0;
  up = 0.0;
  double now = 0.0;
  if (!sources.QueryClock || !sources.QueryClock(now)) return;
  if (PrevNetTime != 0.0 && sources.ReadCounters) {
    TIfCounters c;
    if (sources.ReadCounters(ifIndex, c)) {
      const double elapsed = now - PrevNetTime;
      if (PrevInOctets != 0) down = OctetRate(c.inOctets, PrevInOctets, elapsed);
      if (PrevOutOctets != 0) up = OctetRate(c.outOctets, PrevOutOctets, elapsed);
      PrevInOctets = c.inOctets;
      PrevOutOctets = c.outOctets;
    }
  }
  PrevNetTime = now;
}
