#include "applet/lcd/Layout.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "common/Fnv1a.h"

const char* const kFontNames[kFontCount] = {"5x7", "4x7", "5x6", "4x6", "4x5", "D7x10", "D7x12", "D8x14"};

namespace {

// v + d kept within 32 bits: a coordinate at the limit stays there (and off
// the display) instead of overflowing.
int32_t MoveCoordinate(int32_t v, int32_t d) {
  const int64_t moved = static_cast<int64_t>(v) + d;
  return moved > INT32_MAX ? INT32_MAX : moved < INT32_MIN ? INT32_MIN : static_cast<int32_t>(moved);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return i == a.size() && b[i] == '\0';
}

// Digits in the given base after an optional sign; false on anything else or
// when the value leaves the 32-bit range.
bool ParseDigits(const std::string& t, size_t pos, bool negative, int base, int32_t& value) {
  if (pos >= t.size()) return false;
  int64_t v = 0;
  for (; pos < t.size(); ++pos) {
    char c = t[pos];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && Lower(c) >= 'a' && Lower(c) <= 'f')
      d = Lower(c) - 'a' + 10;
    else
      return false;
    v = v * base + d;
    if (v > 0x80000000LL) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool ParseSigned(const std::string& text, bool allowHex, int32_t& value) {
  std::string t = Trim(text);
  size_t pos = 0;
  bool negative = false;
  if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) {
    negative = t[pos] == '-';
    ++pos;
  }
  if (allowHex && t.size() > pos + 1 && t[pos] == '0' && Lower(t[pos + 1]) == 'x')
    return ParseDigits(t, pos + 2, negative, 16, value);
  return ParseDigits(t, pos, negative, 10, value);
}

std::string ReadOr(const TIniSource& ini, const std::string& section, const std::string& key,
                   const char* fallback) {
  std::string value;
  if (!ini.ReadKey(section, key, value)) return fallback;
  return value;
}

int32_t ReadInteger(const TIniSource& ini, const std::string& section, const std::string& key,
                    int32_t fallback, bool allowHex = false) {
  std::string text;
  int32_t v;
  if (ini.ReadKey(section, key, text) && ParseSigned(text, allowHex, v)) return v;
  return fallback;
}

bool ReadTruth(const TIniSource& ini, const std::string& section, const std::string& key) {
  return ParseTruth(ReadOr(ini, section, key, "0"));
}

}  // namespace

std::string IndexedKey(const std::string& key, int index) {
  if (index < 0) return key;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%.02d", index);
  return key + suffix;
}

bool ParseInteger(const std::string& text, int32_t& value) { return ParseSigned(text, false, value); }

bool ParseAlarmInteger(const std::string& text, int32_t& value) { return ParseSigned(text, true, value); }

bool ParseFraction(const std::string& text, double& value) {
  std::string t = Trim(text);
  // Only a sign, digits, one "." and an exponent: strtod alone would also take
  // "inf", "nan" and hex forms.
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && Lower(t[i]) == 'e') {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j, ++expDigits;
    if (expDigits == 0) return false;
    i = j;
  }
  if (i != t.size()) return false;
  // strtod follows the C locale here, whose separator is "." whatever the
  // user's settings.
  errno = 0;
  double v = std::strtod(t.c_str(), nullptr);
  if (errno == ERANGE && (v > 1.0 || v < -1.0)) return false;
  value = v;
  return true;
}

bool ParseTruth(const std::string& text) {
  std::string t = Trim(text);
  if (EqualNoCase(t, "true")) return true;
  if (EqualNoCase(t, "false")) return false;
  double v;
  if (ParseFraction(t, v)) return v != 0.0;
  return false;
}

void ParsePair(const std::string& text, int32_t missing, int32_t& first, int32_t& second) {
  first = second = missing;
  size_t comma = text.find(',');
  int32_t v;
  if (ParseInteger(text.substr(0, comma), v)) first = v;
  if (comma != std::string::npos && ParseInteger(text.substr(comma + 1), v)) second = v;
}

int32_t FontIdFromName(const std::string& name) {
  std::string t = Trim(name);
  for (int i = 0; i < kFontCount; ++i)
    if (EqualNoCase(t, kFontNames[i])) return i;
  return 0;
}

double MemClockFactorFromText(const std::string* text) {
  double v = 1.0;
  if (text == nullptr || !ParseFraction(*text, v)) v = 1.0;
  if (!(v >= 1.0)) return 1.0;  // also catches NaN
  if (v > 4.0) return 4.0;
  return v;
}

void LoadItemSettings(const TIniSource& ini, const std::string& section, const std::string& key,
                      tLcdSettings& s) {
  switch (Fnv1a(key.data(), key.size())) {
    case Fnv1a("Date"):
      if (key != "Date") break;
      s.DateFormat = ReadOr(ini, section, "DateStr", "dd.mm.yy");
      s.LCorePath = ReadOr(ini, "Common", "LCore", "LCore.exe");
      break;
    case Fnv1a("Clock"):
      if (key != "Clock") break;
      s.TimeFormat = ReadOr(ini, section, "TimeStr", "hh:nn:ss");
      s.DoInvert = ReadTruth(ini, section, "DoInvert");
      s.Fahrenheit = ReadTruth(ini, section, "Fahrenheit");
      s.HideTrayIcon = ReadTruth(ini, section, "HideTrayIcon");
      s.CpuAlarm = s.CpuAlarmSetting = ReadInteger(ini, "Processor", "Alarm", 0, true);
      s.CpuAlarmTjMax = 0;
      s.NvAlarm = ReadInteger(ini, "nVidia", "Alarm", 0, true);
      s.AtiAlarm = ReadInteger(ini, "ATi", "Alarm", 0, true);
      break;
    case Fnv1a("UpStream"):
    case Fnv1a("DnStream"):
      if (key != "UpStream" && key != "DnStream") break;
      s.NetworkIndex = ReadInteger(ini, section, "Index", 0);
      break;
    default:
      break;
  }
}

void ReadTextItem(const TIniSource& ini, tTextItem& item, const std::string& section,
                  const std::string& key, int index, tLcdSettings* settings) {
  if (settings != nullptr) LoadItemSettings(ini, section, key, *settings);
  item = tTextItem{};
  int32_t x, y;
  ParsePair(ReadOr(ini, section, IndexedKey(key, index), ""), kMissingCoordinate, x, y);
  if (x == kMissingCoordinate || y == kMissingCoordinate) return;
  item.Visible = true;
  item.X = MoveCoordinate(x, 1);
  item.Y = y;
  item.Font = FontIdFromName(ReadOr(ini, section, IndexedKey(key + ".Font", index), ""));
  if (item.Font == 2) item.Y = MoveCoordinate(y, -1);
}

void ReadBarItem(const TIniSource& ini, tBarItem& item, const std::string& section,
                 const std::string& key, int index) {
  item = tBarItem{};
  int32_t x, y;
  ParsePair(ReadOr(ini, section, IndexedKey(key + ".Position", index), ""), kMissingCoordinate, x, y);
  if (x == kMissingCoordinate || y == kMissingCoordinate) return;
  item.Visible = true;
  item.X = x;
  item.Y = y;
  ParsePair(ReadOr(ini, section, IndexedKey(key + ".Size", index), ""), 0, item.Length, item.Thickness);
  item.Style = ReadInteger(ini, section, IndexedKey(key + ".Style", index), 0);
}

void ReadNvItems(const TIniSource& ini, tNvItems& g, int a) {
  const std::string s = "NVidia";
  ReadTextItem(ini, g.Usage, s, "Usage", a);
  ReadBarItem(ini, g.UsageBar, s, "Usage.BarGraph", a);
  ReadTextItem(ini, g.VRam, s, "VRam", a);
  ReadBarItem(ini, g.VRamBar, s, "VRam.BarGraph", a);
  ReadTextItem(ini, g.FanSpeed, s, "FanSpeed", a);
  ReadBarItem(ini, g.FanSpeedBar, s, "FanSpeed.BarGraph", a);
  ReadTextItem(ini, g.FanRPM, s, "FanRPM", a);
  ReadTextItem(ini, g.CoreClock, s, "CoreClock", a);
  ReadTextItem(ini, g.MemClock, s, "MemClock", a);
  ReadTextItem(ini, g.Temperature, s, "Temperature", a);
}

void ReadAtiItems(const TIniSource& ini, tAtiItems& g, int a) {
  const std::string s = "ATi";
  ReadTextItem(ini, g.Usage, s, "Usage", a);
  ReadBarItem(ini, g.UsageBar, s, "Usage.BarGraph", a);
  ReadTextItem(ini, g.FanSpeed, s, "FanSpeed", a);
  ReadBarItem(ini, g.FanSpeedBar, s, "FanSpeed.BarGraph", a);
  ReadTextItem(ini, g.CoreClock, s, "CoreClock", a);
  ReadTextItem(ini, g.MemClock, s, "MemClock", a);
  ReadTextItem(ini, g.Temperature, s, "Temperature", a);
}

void ReadLayout(const TIniSource& ini, int processorCount, tAdapterKind kind, int nvAdapters,
                int atiAdapters, tLcdLayout& L, tLcdSettings& settings) {
  if (processorCount < 0) processorCount = 0;
  if (nvAdapters < 0) nvAdapters = 0;
  if (atiAdapters < 0) atiAdapters = 0;
  ReadTextItem(ini, L.DateItem, "Common", "Date", kNoIndex, &settings);
  ReadTextItem(ini, L.WeekItem, "Common", "Week", kNoIndex, &settings);
  ReadTextItem(ini, L.ClockItem, "Common", "Clock", kNoIndex, &settings);
  ReadTextItem(ini, L.MemoryItem, "Memory", "Usage", kNoIndex, &settings);
  ReadBarItem(ini, L.MemoryBar, "Memory", "Usage.BarGraph", kNoIndex);
  ReadTextItem(ini, L.CpuUsageItem, "Processor", "Usage", kNoIndex, &settings);
  ReadBarItem(ini, L.CpuUsageBar, "Processor", "Usage.BarGraph", kNoIndex);
  ReadTextItem(ini, L.CpuAverageItem, "Processor", "Temperature.Average", kNoIndex, &settings);
  ReadTextItem(ini, L.UpStreamItem, "Network", "UpStream", kNoIndex, &settings);
  ReadTextItem(ini, L.DnStreamItem, "Network", "DnStream", kNoIndex, &settings);
  tCPUData& c = L.CpuData;
  c.UsageItems.assign(processorCount, tTextItem{});
  c.UsageBars.assign(processorCount, tBarItem{});
  c.TemperatureItems.assign(processorCount, tTextItem{});
  for (int i = 0; i < processorCount; ++i) ReadTextItem(ini, c.UsageItems[i], "Processor", "Usage", i);
  for (int i = 0; i < processorCount; ++i) ReadBarItem(ini, c.UsageBars[i], "Processor", "Usage.BarGraph", i);
  for (int i = 0; i < processorCount; ++i)
    ReadTextItem(ini, c.TemperatureItems[i], "Processor", "Temperature", i);
  ReadTextItem(ini, c.Frequency, "Processor", "Frequency", kNoIndex);
  c.RealClock = c.BusClock = 0;
  c.Signature = 0;
  L.IntelItem = tTextItem{};
  if (kind == kAdapterIntel) ReadTextItem(ini, L.IntelItem, "Intel", "Temperature", kNoIndex);
  L.NvItems.assign(nvAdapters, tNvItems{});
  for (int a = 0; a < nvAdapters; ++a) ReadNvItems(ini, L.NvItems[a], a);
  L.AtiItems.assign(atiAdapters, tAtiItems{});
  for (int a = 0; a < atiAdapters; ++a) ReadAtiItems(ini, L.AtiItems[a], a);
  std::string text;
  if (nvAdapters > 0)
    settings.NvMemClockFactor =
        MemClockFactorFromText(ini.ReadKey("NVidia", "MemClock.Multiplier", text) ? &text : nullptr);
  if (atiAdapters > 0)
    settings.AtiMemClockFactor =
        MemClockFactorFromText(ini.ReadKey("ATi", "MemClock.Multiplier", text) ? &text : nullptr);
}
