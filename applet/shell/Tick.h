// The renderer tick's schedule and the small decisions around it: when the
// readings are gathered, whether a capture is showing, when the LCD's
// foreground is handed back. Ticks are compared by their signed distance
// (common/TickCount.h), so every rule holds across the tick count's wrap.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/TickCount.h"

constexpr uint32_t kRenderInterval = 250;     // ms between ticks
constexpr uint32_t kGatherInterval = 1000;    // ms between gatherings
constexpr uint32_t kCaptureShowTime = 1000;   // ms the capture notice shows
constexpr uint32_t kLcdPriority = 128;        // priority of every frame sent

// True on the first tick (gathered is false) and when now has reached
// nextGather; then nextGather moves to now + 1000 and gathered becomes true.
// A nextGather more than one interval ahead of now cannot come from the
// schedule (only from a tick stalled for weeks), so it is due as well.
bool TakeGatherTurn(uint32_t now, uint32_t& nextGather, bool& gathered);

// A capture (a path was chosen) shows until its deadline. The first tick
// past the deadline ends it by clearing the path, so that the deadline is
// never compared again: a tick count that has moved on by weeks would
// otherwise reach it once more.
bool CaptureShowing(std::string& capturePath, uint32_t deadline, uint32_t now);

// The foreground goes back after the frame when the binding holds it, no
// alarm waits and the message page is not selected.
bool ShouldReleaseForeground(bool holdsForeground, bool alarmPending, int32_t pageMode);
