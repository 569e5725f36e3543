#include "applet/lcd/IniFile.h"
#include "applet/lcd/Layout.h"

#include <gtest/gtest.h>

namespace {

struct PairCase {
  const char* text;
  int32_t first, second;
};

TEST(ParsePair, PositionTexts) {
  const PairCase cases[] = {
      {"10,20", 10, 20},       {"10,20,30", 10, 255}, {"255,10", 255, 10}, {"12", 12, 255},
      {"", 255, 255},          {",5", 255, 5},        {"a,5", 255, 5},     {"-3,4", -3, 4},
      {" 7 , 8 ", 7, 8},       {"1.5,2", 255, 2},     {"0x10,2", 255, 2},  {"99999999999,1", 255, 1},
      {"2147483647,-2147483648", 2147483647, INT32_MIN},
  };
  for (const PairCase& c : cases) {
    int32_t a, b;
    ParsePair(c.text, 255, a, b);
    EXPECT_EQ(a, c.first) << c.text;
    EXPECT_EQ(b, c.second) << c.text;
  }
}

TEST(IndexedKey, TwoDigitsAtLeast) {
  EXPECT_EQ(IndexedKey("Usage", 3), "Usage.03");
  EXPECT_EQ(IndexedKey("Usage.BarGraph.Position", 12), "Usage.BarGraph.Position.12");
  EXPECT_EQ(IndexedKey("Usage", 100), "Usage.100");
  EXPECT_EQ(IndexedKey("Usage", kNoIndex), "Usage");
}

TEST(ParseValues, TruthIntegersFractionsFonts) {
  const std::pair<const char*, bool> truths[] = {
      {"1", true},     {"0", false},   {"2", true},     {"-1", true},     {"true", true},  {"TRUE", true},
      {"tRuE", true},  {"False", false}, {"yes", false}, {"", false},      {" 1 ", true},   {"0.0", false},
      {"on", false},
  };
  for (auto& t : truths) EXPECT_EQ(ParseTruth(t.first), t.second) << t.first;

  int32_t v = 0;
  EXPECT_TRUE(ParseAlarmInteger("0x50", v));
  EXPECT_EQ(v, 80);
  EXPECT_TRUE(ParseAlarmInteger("0X1f", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(ParseAlarmInteger("-10", v));
  EXPECT_EQ(v, -10);
  EXPECT_FALSE(ParseAlarmInteger("0x", v));
  EXPECT_FALSE(ParseAlarmInteger("0x1g", v));
  EXPECT_FALSE(ParseAlarmInteger("0x100000000", v));
  EXPECT_FALSE(ParseInteger("0x50", v));
  EXPECT_FALSE(ParseInteger("12a", v));

  const std::pair<const char*, double> factors[] = {
      {"7", 4.0}, {"0.5", 1.0}, {"2,5", 1.0}, {"2.5", 2.5}, {"abc", 1.0}, {"4", 4.0}, {"1e1", 4.0},
      {"nan", 1.0}, {"inf", 1.0}, {"-3", 1.0}, {"", 1.0},
  };
  for (auto& f : factors) {
    std::string text = f.first;
    EXPECT_DOUBLE_EQ(MemClockFactorFromText(&text), f.second) << f.first;
  }
  EXPECT_DOUBLE_EQ(MemClockFactorFromText(nullptr), 1.0);

  EXPECT_EQ(FontIdFromName("d7x10"), 5);
  EXPECT_EQ(FontIdFromName("D8x14"), 7);
  EXPECT_EQ(FontIdFromName("5x6"), 2);
  EXPECT_EQ(FontIdFromName("6x9"), 0);
  EXPECT_EQ(FontIdFromName(""), 0);
}

TEST(ReadTextItem, PositionFontAndShift) {
  TIniFile ini(
      "[Processor]\n"
      "Usage.00=10,20\nUsage.Font.00=D7x10\n"
      "Usage.100=1,2\n"
      "Temperature=150,10\nTemperature.Font=5x6\n"
      "[Common]\n"
      "Clock=3,2\nClock.Font=5x6\n"
      "Date=255,0\nWeek=12\n");
  tTextItem item;
  ReadTextItem(ini, item, "Processor", "Usage", 0);
  EXPECT_TRUE(item.Visible);
  EXPECT_EQ(item.X, 11);
  EXPECT_EQ(item.Y, 20);
  EXPECT_EQ(item.Font, 5);
  ReadTextItem(ini, item, "Processor", "Usage", 100);
  EXPECT_TRUE(item.Visible);
  EXPECT_EQ(item.X, 2);
  ReadTextItem(ini, item, "Common", "Clock", kNoIndex);
  EXPECT_TRUE(item.Visible);
  EXPECT_EQ(item.X, 4);
  EXPECT_EQ(item.Y, 1);
  EXPECT_EQ(item.Font, 2);
  item.Value = 5;
  ReadTextItem(ini, item, "Common", "Date", kNoIndex);
  EXPECT_FALSE(item.Visible);
  EXPECT_EQ(item.Value, 0);
  ReadTextItem(ini, item, "Common", "Week", kNoIndex);
  EXPECT_FALSE(item.Visible);
  ReadTextItem(ini, item, "Processor", "Usage", 1);
  EXPECT_FALSE(item.Visible);
}

TEST(ReadTextItem, LoadsSettingsWithTheirKeys) {
  TIniFile ini(
      "[Common]\nDateStr=yyyy-mm-dd\nTimeStr=hh:nn\nDoInvert=true\nFahrenheit=2\nHideTrayIcon=no\n"
      "Date=1,1\nClock=2,2\n"
      "[processor]\nAlarm=0x50\n[NVIDIA]\nAlarm=85\n[ati]\nAlarm=junk\n"
      "[NetWork]\nIndex=7\nUpStream=3,3\n");
  tLcdSettings s;
  tTextItem item;
  ReadTextItem(ini, item, "Common", "Week", kNoIndex, &s);
  EXPECT_EQ(s.DateFormat, "dd.mm.yy");
  ReadTextItem(ini, item, "Common", "Date", kNoIndex, &s);
  EXPECT_EQ(s.DateFormat, "yyyy-mm-dd");
  EXPECT_EQ(s.LCorePath, "LCore.exe");
  EXPECT_FALSE(s.DoInvert);
  ReadTextItem(ini, item, "Common", "Clock", kNoIndex, &s);
  EXPECT_EQ(s.TimeFormat, "hh:nn");
  EXPECT_TRUE(s.DoInvert);
  EXPECT_TRUE(s.Fahrenheit);
  EXPECT_FALSE(s.HideTrayIcon);
  EXPECT_EQ(s.CpuAlarm, 80);
  EXPECT_EQ(s.NvAlarm, 85);
  EXPECT_EQ(s.AtiAlarm, 0);
  ReadTextItem(ini, item, "Network", "UpStream", kNoIndex, &s);
  EXPECT_EQ(s.NetworkIndex, 7);
  EXPECT_TRUE(item.Visible);
  // The key is compared exactly: another spelling loads nothing.
  tLcdSettings fresh;
  ReadTextItem(ini, item, "Common", "clock", kNoIndex, &fresh);
  EXPECT_FALSE(fresh.DoInvert);
  EXPECT_TRUE(item.Visible);  // while the key itself matches regardless of case
}

TEST(ReadBarItem, KeysAndDefaults) {
  TIniFile ini(
      "[Processor]\n"
      "Usage.BarGraph.Position.03=5,40\nUsage.BarGraph.Size.03=30,4\nUsage.BarGraph.Style.03=270\n"
      "Usage.BarGraph.Position=7,8\n"
      "[Memory]\nUsage.BarGraph.Position=255,3\nUsage.BarGraph.Size=9,9\n");
  tBarItem bar;
  ReadBarItem(ini, bar, "Processor", "Usage.BarGraph", 3);
  EXPECT_TRUE(bar.Visible);
  EXPECT_EQ(bar.X, 5);
  EXPECT_EQ(bar.Y, 40);
  EXPECT_EQ(bar.Length, 30);
  EXPECT_EQ(bar.Thickness, 4);
  EXPECT_EQ(bar.Style, 270);
  ReadBarItem(ini, bar, "Processor", "Usage.BarGraph", kNoIndex);
  EXPECT_TRUE(bar.Visible);
  EXPECT_EQ(bar.Length, 0);
  EXPECT_EQ(bar.Thickness, 0);
  EXPECT_EQ(bar.Style, 0);
  ReadBarItem(ini, bar, "Memory", "Usage.BarGraph", kNoIndex);
  EXPECT_FALSE(bar.Visible);
  EXPECT_EQ(bar.Length, 0);
}

TEST(ReadLayout, ArraysAndFactors) {
  TIniFile ini(
      "[Processor]\nTemperature.02=20,1\nFrequency=50,0\nFrequency.Font=D8x14\n"
      "[Intel]\nTemperature=5,5\n"
      "[nVidia]\nTemperature.01=9,9\nMemClock.Multiplier=2.0\n"
      "[ATi]\nMemClock.Multiplier=9\n");
  tLcdLayout layout;
  tLcdSettings s;
  ReadLayout(ini, 4, kAdapterNvidia, 2, 0, layout, s);
  ASSERT_EQ(layout.CpuData.TemperatureItems.size(), 4u);
  EXPECT_TRUE(layout.CpuData.TemperatureItems[2].Visible);
  EXPECT_FALSE(layout.CpuData.TemperatureItems[1].Visible);
  EXPECT_EQ(layout.CpuData.Frequency.Font, 7);
  EXPECT_FALSE(layout.IntelItem.Visible);
  ASSERT_EQ(layout.NvItems.size(), 2u);
  EXPECT_TRUE(layout.NvItems[1].Temperature.Visible);
  EXPECT_FALSE(layout.NvItems[0].Temperature.Visible);
  EXPECT_DOUBLE_EQ(s.NvMemClockFactor, 2.0);
  EXPECT_DOUBLE_EQ(s.AtiMemClockFactor, 1.0);  // no ATI adapter: not read
  ReadLayout(ini, 1, kAdapterIntel, 0, 1, layout, s);
  EXPECT_TRUE(layout.IntelItem.Visible);
  EXPECT_TRUE(layout.NvItems.empty());
  EXPECT_DOUBLE_EQ(s.AtiMemClockFactor, 4.0);
}

TEST(TIniFile, ProfileMatchingRules) {
  TIniFile ini(
      "\xEF\xBB\xBF; comment line\r\n"
      "orphan=1\r\n"
      "[ Network ]\r\n"
      "  Index  =  3  \r\n"
      "index=4\r\n"
      "Quoted=\"  a b \"\r\n"
      "Empty=\r\n"
      "NoEquals\r\n"
      "[NETWORK]\r\n"
      "Other=5\r\n"
      "[Common]\r\n"
      "Date=1,2");
  std::string v;
  EXPECT_TRUE(ini.ReadKey("NetWork", "INDEX", v));
  EXPECT_EQ(v, "3");
  EXPECT_TRUE(ini.ReadKey("network", "quoted", v));
  EXPECT_EQ(v, "  a b ");
  EXPECT_TRUE(ini.ReadKey("network", "Empty", v));
  EXPECT_EQ(v, "");
  EXPECT_FALSE(ini.ReadKey("network", "NoEquals", v));
  EXPECT_FALSE(ini.ReadKey("network", "Other", v));  // only the first section of a name counts
  EXPECT_FALSE(ini.ReadKey("", "orphan", v));
  EXPECT_TRUE(ini.ReadKey("common", "date", v));
  EXPECT_EQ(v, "1,2");
  EXPECT_FALSE(ini.ReadKey("Missing", "Date", v));
  TIniFile none;
  EXPECT_FALSE(none.Load("/nonexistent/dir/x.ini"));
  EXPECT_FALSE(none.ReadKey("Common", "Date", v));
}

}  // namespace
