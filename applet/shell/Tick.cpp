#include "applet/shell/Tick.h"

bool TakeGatherTurn(uint32_t now, uint32_t& nextGather) {
  if (now < nextGather) return false;
  nextGather = now + kGatherInterval;
  return true;
}

bool ShouldReleaseForeground(bool holdsForeground, bool alarmPending, int32_t pageMode) {
  return holdsForeground && !alarmPending && pageMode != 5;
}
