// The LCD layout: the display element records, the settings the renderer
// reads, and the parsing of their INI values. Everything here reads keys
// through TIniSource, so the applet (profile calls), the layout tool and the
// tests (an INI file in memory) share the same rules.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "applet/lcd/IniSource.h"

// A number drawn right-aligned. X is the column just right of the text (the
// configured column + 1); Y the top row (configured row, minus 1 for "5x6").
struct tTextItem {
  bool Visible;
  int32_t X;
  int32_t Y;
  int32_t Font;
  double Value;
};

// A filled rectangle whose length follows a percentage. X, Y are the
// configured column and the bottom row of the bar area.
struct tBarItem {
  bool Visible;
  int32_t X;
  int32_t Y;
  int32_t Length;
  int32_t Thickness;
  int32_t Style;
  double Average;
};

// The applet's processor snapshot: one entry per logical processor in the
// three arrays.
struct tCPUData {
  tTextItem Frequency;
  double RealClock;
  double BusClock;
  uint32_t Signature;
  std::vector<tTextItem> UsageItems;
  std::vector<tBarItem> UsageBars;
  std::vector<tTextItem> TemperatureItems;
};

// One NVIDIA adapter's elements, in the order of the "NVidia" section.
struct tNvItems {
  tTextItem Usage;
  tBarItem UsageBar;
  tTextItem VRam;
  tBarItem VRamBar;
  tTextItem FanSpeed;
  tBarItem FanSpeedBar;
  tTextItem FanRPM;
  tTextItem CoreClock;
  tTextItem MemClock;
  tTextItem Temperature;
};

// One ATI adapter's elements, in the order of the "ATi" section.
struct tAtiItems {
  tTextItem Usage;
  tBarItem UsageBar;
  tTextItem FanSpeed;
  tBarItem FanSpeedBar;
  tTextItem CoreClock;
  tTextItem MemClock;
  tTextItem Temperature;
};

// The settings that ReadTextItem loads along with the "Date", "Clock",
// "UpStream" and "DnStream" items, and the memory-clock factors.
struct tLcdSettings {
  std::string DateFormat = "dd.mm.yy";
  std::string LCorePath = "LCore.exe";
  std::string TimeFormat = "hh:nn:ss";
  bool DoInvert = false;
  bool Fahrenheit = false;
  bool HideTrayIcon = false;
  int32_t CpuAlarm = 0;         // processor alarm threshold in the display unit, as compared
  int32_t CpuAlarmSetting = 0;  // [Processor] Alarm as configured; negative counts down from TjMax
  int32_t CpuAlarmTjMax = 0;    // TjMax (degrees C) a negative setting counts from; 0 while unknown
  int32_t NvAlarm = 0;
  int32_t AtiAlarm = 0;
  int32_t NetworkIndex = 0;
  double NvMemClockFactor = 1.0;
  double AtiMemClockFactor = 1.0;
};

// Which graphics adapter the layout is read for (the primary display's maker).
enum tAdapterKind : int32_t { kAdapterNone = 0, kAdapterNvidia = 1, kAdapterAti = 2, kAdapterIntel = 3 };

// Every element of the layout, as the renderer draws them.
struct tLcdLayout {
  tTextItem DateItem;
  tTextItem WeekItem;
  tTextItem ClockItem;
  tTextItem MemoryItem;
  tBarItem MemoryBar;
  tTextItem CpuUsageItem;
  tBarItem CpuUsageBar;
  tTextItem CpuAverageItem;
  tTextItem UpStreamItem;
  tTextItem DnStreamItem;
  tTextItem IntelItem;
  tCPUData CpuData;
  std::vector<tNvItems> NvItems;
  std::vector<tAtiItems> AtiItems;
};

constexpr int kNoIndex = -1;
constexpr int32_t kMissingCoordinate = 255;
constexpr int kFontCount = 8;  // configurable text fonts, ids 0..7

// The font names of the configuration, in id order.
extern const char* const kFontNames[kFontCount];

// Key with the index suffix: "Usage" and 3 give "Usage.03", 100 gives
// "Usage.100"; kNoIndex (any negative index) gives the key unchanged.
std::string IndexedKey(const std::string& key, int index);

// Decimal integer, optional sign, surrounding blanks allowed; the whole text
// must be the number and it must fit 32 bits.
bool ParseInteger(const std::string& text, int32_t& value);
// As ParseInteger, also "0x"/"0X" followed by hex digits (alarm thresholds).
bool ParseAlarmInteger(const std::string& text, int32_t& value);
// Fraction with "." as the only decimal separator ("2,5" is no number).
bool ParseFraction(const std::string& text, double& value);
// A number (0 false, anything else true) or True/False in any case; anything
// else, the empty text included, is false.
bool ParseTruth(const std::string& text);
// Two integers separated by the first comma. Each is `missing` when absent
// or not an integer: "10,20,30" gives 10 and missing, "12" gives 12 and missing.
void ParsePair(const std::string& text, int32_t missing, int32_t& first, int32_t& second);
// Font id of a configuration name, case-insensitive; 0 ("5x7") when unknown.
int32_t FontIdFromName(const std::string& name);
// The memory-clock factor from its key's text: default 1.0 when absent or no
// number, clamped to 1.0 .. 4.0.
double MemClockFactorFromText(const std::string* text);

// The settings loaded with particular items (the key given is compared exactly).
// "Date": DateFormat from section/DateStr, LCorePath from Common/LCore (the
// search for a running LCore.exe is the applet's). "Clock": TimeFormat, the
// three truth values and the three alarm thresholds. "UpStream"/"DnStream":
// NetworkIndex from section/Index. Other keys load nothing.
void LoadItemSettings(const TIniSource& ini, const std::string& section, const std::string& key,
                      tLcdSettings& settings);

// Fill one text item from its position and font keys; settings may be null
// when the caller does not want the settings that go with the key.
void ReadTextItem(const TIniSource& ini, tTextItem& item, const std::string& section,
                  const std::string& key, int index, tLcdSettings* settings = nullptr);
// Fill one bar item from its ".Position", ".Size" and ".Style" keys.
void ReadBarItem(const TIniSource& ini, tBarItem& item, const std::string& section,
                 const std::string& key, int index);

// One adapter group.
void ReadNvItems(const TIniSource& ini, tNvItems& items, int adapter);
void ReadAtiItems(const TIniSource& ini, tAtiItems& items, int adapter);

// Read the whole layout in the applet's start-up order for the given numbers
// of logical processors and adapters; the Intel item only for kAdapterIntel,
// memory-clock factors only when adapters of that maker exist.
void ReadLayout(const TIniSource& ini, int processorCount, tAdapterKind kind, int nvAdapters,
                int atiAdapters, tLcdLayout& layout, tLcdSettings& settings);
