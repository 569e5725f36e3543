// A render tick allocates nothing once the layout is read: global operator
// new counts every allocation of this program.
#include <gtest/gtest.h>

#include "tests/common/AllocationCounter.h"

#include <vector>

#include "applet/lcd/Compose.h"
#include "applet/lcd/IniFile.h"

namespace {

TEST(ComposeFrame, NoAllocationPerTick) {
  const long start = AllocationCount();
  TIniFile ini(
      "[Common]\nDate=42,1\nWeek=60,1\nClock=158,1\n"
      "[Processor]\nAlarm=50\nTemperature.00=20,10\nUsage.00=40,10\nUsage.BarGraph.Position.00=5,40\n"
      "Usage.BarGraph.Size.00=20,4\nFrequency=60,10\n"
      "[NVidia]\nTemperature.00=80,10\nUsage.BarGraph.Position.00=90,40\nUsage.BarGraph.Size.00=20,4\n"
      "[Network]\nUpStream=120,20\nDnStream=158,20\n");
  ASSERT_GT(AllocationCount(), start) << "the counter sees allocations";
  tLcdLayout layout;
  tLcdSettings settings;
  ReadLayout(ini, 1, kAdapterNvidia, 1, 0, layout, settings);
  // Texts longer than a string's inline storage, on the LCD and the date page.
  settings.DateFormat = "dddd, d. mmmm yyyy";
  settings.TimeFormat = "hh:nn:ss 'o''clock' ampm";
  tRenderState state;
  tComposeInput in;
  std::vector<double> loads(1, 50);
  tNvReading nv[1] = {{70, 1, 2, 3, 4, 5, 6}};
  in.CoreLoads = loads.data();
  in.CoreLoadCount = 1;
  in.Nv = nv;
  in.NvCount = 1;
  layout.CpuData.TemperatureItems[0].Value = 60;
  layout.UpStreamItem.Value = 1536;
  layout.DnStreamItem.Value = 100;
  TLcdFrame frame;
  for (int page : {0, 1, 2, 3, 4, 5}) {
    in.PageMode = page;
    ComposeFrame(frame, layout, settings, state, in);  // first use builds the fonts
    const long before = AllocationCount();
    in.TickNow = 750;
    in.NextGather = 1000;  // the alarm shows too
    ComposeFrame(frame, layout, settings, state, in);
    in.TickNow = 0;
    ComposeFrame(frame, layout, settings, state, in);
    EXPECT_EQ(AllocationCount() - before, 0) << "page " << page;
  }
}

}  // namespace
