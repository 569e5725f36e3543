// One renderer tick, as far as it runs on platform-free code, allocates
// nothing once the first ticks have sized the kept buffers: the schedule,
// the gathering's arithmetic (loads, the service's reading, the processor
// alarm), the composition, the capture rule, the conversion and send to the
// LCD through the binding, and the preview's stretch. Global operator new
// counts every allocation of this program.
#include <gtest/gtest.h>

#include "tests/common/AllocationCounter.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "applet/lcd/Compose.h"
#include "applet/lcd/G15Unit.h"
#include "applet/lcd/IniFile.h"
#include "applet/lcd/Stretch.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/Tick.h"
#include "common/CpuLoad.h"

namespace {

// The system's load query: a clock and idle times that move every call.
int64_t gClock = 1'000'000'000;
int32_t KES_STDCALL FakeQuery(uint32_t infoClass, void* buffer, uint32_t length, uint32_t*) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  if (infoClass == kSystemTimeOfDayInformation) {
    gClock += 10'000'000;
    std::memcpy(bytes + 8, &gClock, 8);
    return 0;
  }
  for (uint32_t at = 0; at + kProcessorPerformanceRecordSize <= length; at += kProcessorPerformanceRecordSize) {
    const int64_t idle = gClock / 2;
    std::memcpy(bytes + at, &idle, 8);
  }
  return 0;
}

// The LCD library: counts the frames it is sent and keeps the last one.
int gFrames = 0;
uint8_t gLastFrame[kLcdPixels];
int32_t KES_LGLCD_CDECL Ok() { return 0; }
int32_t KES_LGLCD_CDECL Connect(TLgLcdConnectContext* c) {
  c->connection = 1;
  return 0;
}
int32_t KES_LGLCD_CDECL Enumerate(int32_t, int32_t, void*) { return 0; }
int32_t KES_LGLCD_CDECL Open(TLgLcdOpenContext* o) {
  o->device = 2;
  return 0;
}
int32_t KES_LGLCD_CDECL Close(int32_t) { return 0; }
int32_t KES_LGLCD_CDECL Update(int32_t, const TLgLcdBitmap* b, uint32_t) {
  ++gFrames;
  std::memcpy(gLastFrame, b->pixels, sizeof gLastFrame);
  return 0;
}
int32_t KES_LGLCD_CDECL Foreground(int32_t, int32_t) { return 0; }

TEST(AppletTick, NoAllocationOnTheTick) {
  constexpr int kProcessors = 4;
  TIniFile ini(
      "[Common]\nDate=42,1\nClock=158,1\n"
      "[Processor]\nAlarm=-5\nTemperature.00=20,10\nTemperature.03=40,10\nUsage.00=60,10\n"
      "Usage.BarGraph.Position.00=5,40\nUsage.BarGraph.Size.00=20,4\nFrequency=90,10\n"
      "[Network]\nUpStream=120,20\nDnStream=158,20\n");
  tLcdLayout layout;
  tLcdSettings settings;
  ReadLayout(ini, kProcessors, kAdapterNone, 0, 0, layout, settings);
  settings.Fahrenheit = true;
  std::vector<double> loads(kProcessors, 0.0);
  tLoadMeter meter(&FakeQuery);
  tBlockReading reading;
  reading.RecordSize = 316;
  reading.VersionMS = 0x000A0014;  // "Service 10.20.300.4000": longer than a string's inline storage
  reading.VersionLS = 0x012C0FA0;
  reading.TjMax = 100;
  reading.CpuClock = 3600;
  for (int i = 0; i < kProcessors; ++i) reading.Temperatures[i] = 90 + 3 * i;  // the last one over 95
  std::string serviceText, capturePath = "C:\\Pictures\\2026-12-10-151500.bmp";
  uint32_t nextGather = 0, captureDeadline = 0xFFFFFE00u + kCaptureShowTime;
  bool gathered = false;

  TLgLcdLibrary library;
  library.api = {&Ok, &Ok, &Connect, nullptr, &Enumerate, &Open, &Close, &Update, nullptr, &Foreground};
  TLcdG15 lcd(library, "Kestrani", true, false, true);
  ASSERT_EQ(lcd.Device, 2);
  TLcdFrame frame;
  tRenderState state;
  std::vector<uint8_t> preview;
  const int previewWidth = 320, previewHeight = 86;
  const size_t stride = previewWidth * 3;

  auto tick = [&](uint32_t now) {
    if (TakeGatherTurn(now, nextGather, gathered)) {
      ApplyServiceReading(reading, settings, layout.CpuData, serviceText);
      meter.GetCpuUsage(kProcessors, loads.data());
      FinishGathering(layout, loads.data(), loads.size(), kAdapterNone);
    }
    tComposeInput in;
    in.CoreLoads = loads.data();
    in.CoreLoadCount = loads.size();
    in.Now = TDateTimeParts{2026, 12, 10, 15, 15, 0, 0};
    in.TickNow = now;
    in.NextGather = nextGather;
    in.ServiceText = serviceText;
    in.PageMode = 2;
    const tComposeResult composed = ComposeFrame(frame, layout, settings, state, in);
    if (composed.WantForeground) lcd.SetForeground(1);
    if (CaptureShowing(capturePath, captureDeadline, now)) DrawCapturePopup(frame, capturePath);
    lcd.Canvas = &frame;
    lcd.UpdateFromCanvas(kLcdPriority);
    lcd.Canvas = nullptr;
    if (ShouldReleaseForeground(lcd.Foreground, state.AlarmPending, in.PageMode)) lcd.SetForeground(0);
    preview.resize(stride * previewHeight);
    StretchFrame(frame, preview.data(), previewWidth, previewHeight, stride);
  };

  // Ticks every 250 ms across the tick count's wrap: the first second sizes
  // what is kept (fonts, strings, buffers), the rest must allocate nothing.
  uint32_t now = 0xFFFFFE00u;
  for (int i = 0; i < 4; ++i, now += kRenderInterval) tick(now);
  const long before = AllocationCount();
  for (int i = 0; i < 12; ++i, now += kRenderInterval) tick(now);
  EXPECT_EQ(AllocationCount() - before, 0);
  EXPECT_EQ(gFrames, 16);
  EXPECT_EQ(serviceText, "Service 10.20.300.4000");
  EXPECT_EQ(settings.CpuAlarm, 203);  // 95 degrees C in degrees F
  EXPECT_TRUE(capturePath.empty());   // the capture ended with its second
}

}  // namespace
