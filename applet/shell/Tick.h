// The renderer tick's schedule and the small decisions around it: when the
// readings are gathered, whether a capture is showing, when the LCD's
// foreground is handed back.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t kRenderInterval = 250;     // ms between ticks
constexpr uint32_t kGatherInterval = 1000;    // ms between gatherings
constexpr uint32_t kCaptureShowTime = 1000;   // ms the capture notice shows
constexpr uint32_t kLcdPriority = 128;        // priority of every frame sent

// True when now has reached nextGather (a plain unsigned comparison, so the
// first tick gathers); then nextGather moves to now + 1000.
bool TakeGatherTurn(uint32_t now, uint32_t& nextGather);

// A capture shows while its deadline is not less than the tick's time.
inline bool CaptureShowing(uint32_t deadline, uint32_t now) { return deadline >= now; }

// The foreground goes back after the frame when the binding holds it, no
// alarm waits and the message page is not selected.
bool ShouldReleaseForeground(bool holdsForeground, bool alarmPending, int32_t pageMode);
