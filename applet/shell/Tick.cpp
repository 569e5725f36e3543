#include "applet/shell/Tick.h"

bool TakeGatherTurn(uint32_t now, uint32_t& nextGather, bool& gathered) {
  const int32_t late = TickDistance(nextGather, now);
  if (gathered && late < 0 && late >= -static_cast<int32_t>(kGatherInterval)) return false;
  nextGather = now + kGatherInterval;
  gathered = true;
  return true;
}

bool CaptureShowing(std::string& capturePath, uint32_t deadline, uint32_t now) {
  if (capturePath.empty()) return false;
  if (TickDistance(now, deadline) >= 0) return true;
  capturePath.clear();
  return false;
}

bool ShouldReleaseForeground(bool holdsForeground, bool alarmPending, int32_t pageMode) {
  return holdsForeground && !alarmPending && pageMode != 5;
}
