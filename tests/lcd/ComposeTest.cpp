#include "applet/lcd/Compose.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "applet/lcd/IniFile.h"
#include "applet/lcd/LcdDraw.h"

namespace {

struct Box {
  int left = 1000, top = 1000, right = -1, bottom = -1;  // inclusive
};

Box InkBox(const TLcdFrame& f) {
  Box b;
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x)
      if (f.px[y][x] != kWhite) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

struct Fixture {
  tLcdLayout layout;
  tLcdSettings settings;
  tRenderState state;
  tComposeInput in;
  TLcdFrame frame;
  std::vector<double> loads;

  explicit Fixture(const std::string& ini, int processors = 4, int nv = 0) {
    TIniFile file(ini);
    ReadLayout(file, processors, nv > 0 ? kAdapterNvidia : kAdapterNone, nv, 0, layout, settings);
    loads.assign(processors, 0.0);
    in.CoreLoads = loads.data();
    in.CoreLoadCount = loads.size();
    in.Now = TDateTimeParts{2026, 12, 31, 12, 30, 45, 0};
    in.TickNow = 1000;
    in.NextGather = 2000;  // first half of the second: no alarm pop-up
  }
  tComposeResult Compose() { return ComposeFrame(frame, layout, settings, state, in); }
};

TEST(ComposeFrame, TextItemCoversItsColumns) {
  Fixture f("[Processor]\nTemperature.00=150,10\nTemperature.Font.00=D7x10\n");
  f.layout.CpuData.TemperatureItems[0].Value = 45;
  f.Compose();
  const Box b = InkBox(f.frame);
  EXPECT_GE(b.left, 135);
  EXPECT_EQ(b.right, 150);
  EXPECT_GE(b.top, 10);
  EXPECT_LE(b.bottom, 19);
  EXPECT_EQ(DrawLcdText(nullptr, kFontD7x10, 151, "45", 10), 135);
}

TEST(ComposeFrame, BarsAverageTowardsTheReading) {
  Fixture f("[Memory]\nUsage.BarGraph.Position=5,40\nUsage.BarGraph.Size=30,4\n");
  f.layout.MemoryItem.Value = 100;
  f.Compose();  // average 50
  Box b = InkBox(f.frame);
  EXPECT_EQ(b.left, 5);
  EXPECT_EQ(b.right, 8);
  EXPECT_EQ(b.top, 26);
  EXPECT_EQ(b.bottom, 40);
  f.Compose();  // average 75: round(30 * 0.75) = 22 (22.5, halves to even)
  b = InkBox(f.frame);
  EXPECT_EQ(b.top, 40 - 22 + 1);
  EXPECT_DOUBLE_EQ(f.layout.MemoryBar.Average, 75);
}

TEST(ComposeFrame, ProcessorAlarm) {
  const std::string ini =
      "[Common]\nClock=255,255\n[Processor]\nAlarm=70\n"
      "Temperature.00=20,0\nTemperature.01=40,0\nTemperature.02=60,0\nTemperature.03=80,0\n";
  struct Case {
    int32_t alarm;
    double temps[4];
    bool pending;
    const char* line2;
  };
  const Case cases[] = {
      {70, {50, 80, 60, 40}, true, "CPU= 80\xB0" "C"},
      {70, {90, 80, 75, 40}, true, "CPU= 75\xB0" "C"},  // the highest-numbered processor over
      {70, {50, 70, 60, 40}, false, ""},                 // equal is not over
      {0, {150, 150, 150, 150}, false, ""},              // 0 turns the alarm off
      {-5, {150, 150, 150, 150}, false, ""},
  };
  for (const Case& c : cases) {
    Fixture f(ini);
    f.settings.CpuAlarm = c.alarm;
    for (int i = 0; i < 4; ++i) f.layout.CpuData.TemperatureItems[i].Value = c.temps[i];
    f.Compose();
    EXPECT_EQ(f.state.AlarmPending, c.pending) << c.line2;
    if (c.pending) {
      EXPECT_STREQ(f.state.AlarmLine1, "Alarm, TjMax= 70\xB0" "C");
      EXPECT_STREQ(f.state.AlarmLine2, c.line2);
    }
  }
}

TEST(ComposeFrame, AlarmShowsInTheSecondHalfThenThePageReturns) {
  Fixture f("[Processor]\nTemperature.00=20,0\n", 1);
  f.settings.CpuAlarm = 70;
  f.settings.Fahrenheit = true;
  f.layout.CpuData.TemperatureItems[0].Value = ToDisplayUnit(50, true);
  EXPECT_DOUBLE_EQ(f.layout.CpuData.TemperatureItems[0].Value, 122);
  f.in.PageMode = 4;
  tComposeResult r = f.Compose();
  EXPECT_FALSE(r.AlarmShown);
  EXPECT_TRUE(f.state.AlarmPending);
  EXPECT_STREQ(f.state.AlarmLine2, "CPU=122\xB0" "F");
  EXPECT_STREQ(f.state.AlarmLine1, "Alarm, TjMax= 70\xB0" "F");

  TLcdFrame datePage = f.frame;
  f.in.TickNow = 1600;  // 400 ms before the next gathering
  r = f.Compose();
  EXPECT_TRUE(r.AlarmShown);
  EXPECT_TRUE(r.WantForeground);
  EXPECT_FALSE(f.state.AlarmPending);
  TLcdFrame alarm = f.frame;
  EXPECT_NE(std::memcmp(&alarm, &datePage, sizeof alarm), 0);
  TLcdFrame expected;
  expected.FillAll(kWhite);
  DrawLcdText(&expected, kFont5x7, 21, "122", 0);
  DrawPopup(expected, 140, 26, kFont5x7, kPopupBell, f.state.AlarmLine2, f.state.AlarmLine1);
  EXPECT_EQ(std::memcmp(&alarm, &expected, sizeof alarm), 0);

  // Cooled down: the next tick shows the date page again.
  f.settings.CpuAlarm = 130;
  r = f.Compose();
  EXPECT_FALSE(r.AlarmShown);
  EXPECT_FALSE(r.WantForeground);
  EXPECT_EQ(std::memcmp(&f.frame, &datePage, sizeof alarm), 0) << "same date page as before";
}

// The alarm's half second: the next gathering 0..499 ms ahead, also when the
// tick count wraps between now and the next gathering.
TEST(ComposeHelpers, AlarmHalfSecondAcrossTheWrap) {
  struct Case {
    uint32_t next, now;
    bool second;
  } cases[] = {
      {2000, 1000, false},        {2000, 1500, false},        {2000, 1501, true},         {2000, 2000, true},
      {2000, 2001, false},        {0x100, 0xFFFFFF10u, true}, {0x100, 0xFFFFFF00u, false}, {0x100, 0x50, true},
      {0xFFFFFF00u, 0xFFFFFD10u, true}, {0xFFFFFF00u, 0xFFFFFB00u, false}, {0, 0xFFFFFE0Du, true}, {0, 0xFFFFFE0Cu, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InSecondHalf(c.next, c.now), c.second) << std::hex << c.next << " " << c.now;
}

TEST(ComposeFrame, GpuAlarmNeverClearsAndTakesTheFirstOver) {
  Fixture f("[NVidia]\nTemperature.00=20,0\nTemperature.01=40,0\n", 0, 2);
  f.settings.NvAlarm = 80;
  tNvReading nv[2] = {{85, 0, 0, 0, 0, 0, 0}, {95, 0, 0, 0, 0, 0, 0}};
  f.in.Nv = nv;
  f.in.NvCount = 2;
  f.Compose();
  EXPECT_TRUE(f.state.AlarmPending);
  EXPECT_STREQ(f.state.AlarmLine2, "GPU= 85\xB0" "C");
  nv[0].Temperature = nv[1].Temperature = 20;
  f.Compose();
  EXPECT_TRUE(f.state.AlarmPending);
}

TEST(ComposeFrame, ValuesOfTheGpuGroup) {
  Fixture f("[NVidia]\nMemClock.00=50,0\nMemClock.Multiplier=2\nFanRPM.01=100,0\n", 0, 2);
  tNvReading nv[2] = {{0, 0, 900.5, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 1234, 0}};
  f.in.Nv = nv;
  f.in.NvCount = 1;  // the reader reports fewer adapters than were read
  f.Compose();
  EXPECT_DOUBLE_EQ(f.layout.NvItems[0].MemClock.Value, 1801);
  EXPECT_EQ(f.layout.NvItems[1].FanRPM.Value, 0);
  TLcdFrame expected;
  expected.FillAll(kWhite);
  DrawLcdText(&expected, kFont5x7, 51, "1801", 0);
  EXPECT_EQ(std::memcmp(&f.frame, &expected, sizeof expected), 0);
}

TEST(ComposeFrame, PagesAndCapture) {
  Fixture f("");
  f.in.ProductTitle = "Kestrani 1.0";
  f.in.ServiceText = "Service not found";
  f.in.MessageText = "Hello";
  f.layout.CpuData.RealClock = 2666.666;
  f.in.DecimalSeparator = ',';
  struct Case {
    int page;
    int w, h, font, icon;
    std::string line2, line1;
    bool foreground;
  };
  const Case cases[] = {
      {1, 140, 26, kFont5x7, kPopupNoIcon, kContactLine, "Kestrani 1.0", false},
      {2, 140, 26, kFont5x7, kPopupNoIcon, "Service not found", "Kestrani 1.0", false},
      {3, 140, 30, kFontD7x12, kPopupNoIcon, "2666,666000Mhz", "Realclock", false},
      {4, 140, 26, kFont5x7, kPopupWeekBadge, "12:30:45", "31.12.26", false},
      {5, 140, 26, kFont5x7, kPopupNoIcon, "Hello", "Information", true},
  };
  for (const Case& c : cases) {
    f.in.PageMode = c.page;
    const tComposeResult r = f.Compose();
    EXPECT_EQ(r.WantForeground, c.foreground);
    TLcdFrame expected;
    expected.FillAll(kWhite);
    DrawPopup(expected, c.w, c.h, c.font, c.icon, c.line2, c.line1, 53);
    for (int y = 0; y < kLcdHeight; ++y)
      for (int x = 0; x < kLcdWidth; ++x)
        if (f.frame.px[y][x] != expected.px[y][x]) ADD_FAILURE() << "page " << c.page << " at " << x << "," << y;
  }
  f.in.PageMode = 0;
  f.Compose();
  EXPECT_EQ(InkBox(f.frame).right, -1);
  DrawCapturePopup(f.frame, "C:\\Users\\me\\Pictures\\2026-12-06-014715.bmp");
  TLcdFrame expected;
  expected.FillAll(kWhite);
  DrawPopup(expected, 140, 26, kFont5x7, kPopupNoIcon, "2026-12-06-014715.bmp", "Capture:");
  EXPECT_EQ(std::memcmp(&f.frame, &expected, sizeof expected), 0);
}

TEST(ComposeHelpers, NumbersAndGathering) {
  const std::pair<double, const char*> numbers[] = {
      {2.5, "2"}, {3.5, "4"}, {-1.5, "-2"}, {-0.4, "0"}, {2666.666, "2667"}, {0.0 / 0.0, "0"}, {1e300, "1000000000000000"},
  };
  for (auto& n : numbers) {
    char text[24];
    FormatItemNumber(n.first, text, sizeof text);
    EXPECT_STREQ(text, n.second);
  }
  Fixture f("[Processor]\nTemperature.01=10,10\n", 4);
  const double temps[4] = {50, 80, 60, 41};
  for (int i = 0; i < 4; ++i) f.layout.CpuData.TemperatureItems[i].Value = temps[i];
  const double loads[2] = {10, 30};
  FinishGathering(f.layout, loads, 2, kAdapterIntel);
  EXPECT_DOUBLE_EQ(f.layout.CpuAverageItem.Value, 57.75);
  EXPECT_DOUBLE_EQ(f.layout.IntelItem.Value, 58);
  EXPECT_DOUBLE_EQ(f.layout.CpuUsageItem.Value, 20);
}

// Coordinates and bar sizes at the limits of 32 bits, in every font and for
// every element, are drawn (here: clipped away) without a signed overflow;
// the sanitizer of the native build stops the test at the first one.
TEST(ComposeFrame, CoordinatesAtTheLimitsOfInt32) {
  const char* const values[] = {"2147483647", "-2147483648", "2147483646", "-2147483647", "0", "159"};
  const char* const texts[][2] = {
      {"Common", "Date"},        {"Common", "Week"},       {"Common", "Clock"},
      {"Memory", "Usage"},       {"Processor", "Usage"},   {"Processor", "Temperature.Average"},
      {"Processor", "Frequency"}, {"Processor", "Usage.00"}, {"Processor", "Temperature.00"},
      {"Network", "UpStream"},   {"Network", "DnStream"},  {"Intel", "Temperature"},
      {"NVidia", "Usage.00"},    {"NVidia", "VRam.00"},    {"NVidia", "FanSpeed.00"},
      {"NVidia", "FanRPM.00"},   {"NVidia", "CoreClock.00"}, {"NVidia", "MemClock.00"},
      {"NVidia", "Temperature.00"}, {"ATi", "Usage.00"},   {"ATi", "FanSpeed.00"},
      {"ATi", "CoreClock.00"},   {"ATi", "MemClock.00"},   {"ATi", "Temperature.00"},
  };
  const char* const bars[][2] = {
      {"Memory", "Usage.BarGraph"},   {"Processor", "Usage.BarGraph"}, {"Processor", "Usage.BarGraph.00"},
      {"NVidia", "Usage.BarGraph.00"}, {"NVidia", "VRam.BarGraph.00"}, {"NVidia", "FanSpeed.BarGraph.00"},
      {"ATi", "Usage.BarGraph.00"},   {"ATi", "FanSpeed.BarGraph.00"},
  };
  const tNvReading nv[1] = {{1e9, -1e9, 2147483647.0, 100, 100, 65535, 100}};
  const tAtiReading ati[1] = {{-2147483648.0, 1e9, 1e9, 100, 100}};
  for (int font = 0; font < kFontCount; ++font) {
    for (const char* x : values) {
      for (const char* y : values) {
        std::string ini;
        for (const auto& t : texts)
          ini += std::string("[") + t[0] + "]\n" + t[1] + "=" + x + "," + y + "\n" + t[1] + ".Font=" +
                 kFontNames[font] + "\n";
        for (const auto& b : bars)  // each style in two fonts' rounds
          ini += std::string("[") + b[0] + "]\n" + b[1] + ".Position=" + x + "," + y + "\n" + b[1] + ".Size=" + y +
                 "," + x + "\n" + b[1] + ".Style=" + std::to_string(font % 4) + "\n";
        TIniFile file(ini);
        Fixture f("", 1);
        ReadLayout(file, 1, kAdapterIntel, 1, 1, f.layout, f.settings);
        f.loads.assign(1, 100.0);
        f.in.CoreLoads = f.loads.data();
        f.in.Nv = nv;
        f.in.NvCount = 1;
        f.in.Ati = ati;
        f.in.AtiCount = 1;
        f.layout.MemoryItem.Value = 100;
        f.layout.CpuData.Frequency.Value = 2147483648.0;
        f.layout.UpStreamItem.Value = 1e12;
        f.Compose();
        f.Compose();  // the bars' averages moved
      }
    }
  }
}

TEST(ComposeFrame, InvertedBackgroundAndWhiteBars) {
  Fixture f("[Common]\nDoInvert=1\nClock=255,0\n[Processor]\nUsage.BarGraph.Position=0,42\nUsage.BarGraph.Size=100,2\n"
            "Usage.BarGraph.Style=1\n");
  EXPECT_TRUE(f.settings.DoInvert);
  TRgb px[2] = {kWhite, kWhite};
  const std::vector<uint8_t> bmp = EncodeBmp24(px, 2, 1);
  TBmpImage img;
  ASSERT_TRUE(DecodeBmp(bmp.data(), bmp.size(), img));
  f.in.Background = &img;
  f.layout.CpuUsageItem.Value = 20;
  f.Compose();  // average 10: 10 pixels wide, rows 41..42, white
  EXPECT_EQ(f.frame.Get(0, 0), kBlack);
  EXPECT_EQ(f.frame.Get(2, 0), kWhite);
  f.frame.Set(0, 0, kWhite);
  f.frame.Set(1, 0, kWhite);
  EXPECT_EQ(InkBox(f.frame).right, -1);
}

// The elements go onto the frame in a fixed order: processor 0's temperature,
// then its load bar, then the mean temperature. The bar paints over the
// number drawn before it, and the number drawn after it inverts the bar.
TEST(ComposeFrame, BarCoversTheEarlierNumberAndTheLaterNumberInvertsIt) {
  const std::string before = "Temperature.00=40,10\nTemperature.Font.00=D7x10\n";
  const std::string bar = "Usage.BarGraph.Position.00=20,25\nUsage.BarGraph.Size.00=30,12\nUsage.BarGraph.Style.00=90\n";
  const std::string after = "Temperature.Average=50,19\nTemperature.Average.Font=D7x10\n";
  // The frame of the given elements of the layout, the bar full.
  auto compose = [](const std::string& keys) {
    Fixture f("[Processor]\n" + keys, 1);
    f.layout.CpuData.TemperatureItems[0].Value = 88;
    f.layout.CpuAverageItem.Value = 88;
    f.loads[0] = 100;
    f.layout.CpuData.UsageBars[0].Average = 100;
    f.Compose();
    return f.frame;
  };
  const TLcdFrame textBefore = compose(before), barOnly = compose(bar), textAfter = compose(after);
  const TLcdFrame all = compose(before + bar + after);
  int coveredInk = 0, invertedBar = 0;
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x) {
      const bool inBar = barOnly.px[y][x] == kBlack;
      const bool inkBefore = textBefore.px[y][x] == kBlack, inkAfter = textAfter.px[y][x] == kBlack;
      const TRgb expected = (inBar || inkBefore) != inkAfter ? kBlack : kWhite;
      coveredInk += inBar && inkBefore && !inkAfter;
      invertedBar += inBar && inkAfter;
      ASSERT_EQ(all.px[y][x], expected) << "x " << x << ", y " << y;
    }
  EXPECT_GT(coveredInk, 10);  // the bar lies over the first number
  EXPECT_GT(invertedBar, 10);  // the second number lies over the bar
}

}  // namespace
