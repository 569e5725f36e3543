#include "applet/lcd/Compose.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "applet/lcd/Decimal.h"
#include "applet/lcd/LCDFont.h"
#include "applet/lcd/LcdDraw.h"
#include "common/TickCount.h"

const char kContactLine[] = "(c) the Kestrani team";

namespace {

constexpr char kDegree = static_cast<char>(176);

// Round half to even, as the values' formatting does, kept inside a range
// that every caller can hold; not-a-number gives 0.
double RoundEven(double v, double limit) {
  if (std::isnan(v)) return 0;
  if (v > limit) return limit;
  if (v < -limit) return -limit;
  return std::nearbyint(v);
}

int RoundToInt(double v) { return static_cast<int>(RoundEven(v, 2147483647.0)); }

void DrawNumber(TLcdFrame& frame, const tTextItem& item) {
  if (!item.Visible) return;
  char text[24];
  const int length = FormatItemNumber(item.Value, text, sizeof text);
  DrawLcdText(&frame, item.Font, item.X, std::string_view(text, static_cast<size_t>(length)), item.Y);
}

// Stores the reading and draws the number.
void ShowValue(TLcdFrame& frame, tTextItem& item, double value) {
  item.Value = value;
  DrawNumber(frame, item);
}

// Moves the bar halfway towards the reading and draws it.
void ShowBar(TLcdFrame& frame, tBarItem& bar, double value, bool invert) {
  if (!bar.Visible) return;
  bar.Average = (bar.Average + value) / 2;
  DrawBar(frame, bar.X, bar.Y, bar.Length, bar.Thickness, bar.Style, RoundToInt(bar.Average), invert);
}

void ShowText(TLcdFrame& frame, const tTextItem& item, std::string_view text) {
  if (item.Visible) DrawLcdText(&frame, item.Font, item.X, text, item.Y);
}

// A GPU temperature: display unit, alarm check while none is pending, number.
void ShowGpuTemperature(TLcdFrame& frame, tTextItem& item, double celsius, int32_t threshold,
                        const tLcdSettings& s, tRenderState& state) {
  item.Value = ToDisplayUnit(celsius, s.Fahrenheit);
  if (!item.Visible) return;
  if (!state.AlarmPending && CheckAlarm(item.Value, threshold, true, s.Fahrenheit, state))
    state.AlarmPending = true;
  DrawNumber(frame, item);
}

// A date or time text: formatted into a buffer of the tick's frame, or, for
// the rare pattern whose text outgrows it, into spill.
class TDateText {
 public:
  TDateText(std::string_view pattern, const TDateTimeParts& t, const TDateLocale& locale) {
    const size_t n = FormatDateTime(buffer_, sizeof buffer_, pattern, t, locale);
    if (n < sizeof buffer_) {
      text_ = std::string_view(buffer_, n);
    } else {
      spill_ = FormatDateTime(pattern, t, locale);
      text_ = spill_;
    }
  }
  TDateText(const TDateText&) = delete;
  TDateText& operator=(const TDateText&) = delete;
  std::string_view View() const { return text_; }

 private:
  char buffer_[96];
  std::string spill_;
  std::string_view text_;
};

void DrawPage(TLcdFrame& frame, const tLcdSettings& s, const tLcdLayout& layout,
              const tComposeInput& in, const TDateLocale& locale) {
  switch (in.PageMode) {
    case 1:
      DrawPopup(frame, 140, 26, kFont5x7, kPopupNoIcon, kContactLine, in.ProductTitle);
      break;
    case 2:
      DrawPopup(frame, 140, 26, kFont5x7, kPopupNoIcon, in.ServiceText, in.ProductTitle);
      break;
    case 3: {
      char line2[64];
      std::snprintf(line2, sizeof line2, "%.6fMhz", layout.CpuData.RealClock);
      for (char* p = line2; *p != '\0'; ++p)
        if (*p == '.') *p = in.DecimalSeparator;
      DrawPopup(frame, 140, 30, kFontD7x12, kPopupNoIcon, line2, "Realclock");
      break;
    }
    case 4:
      DrawPopup(frame, 140, 26, kFont5x7, kPopupWeekBadge, TDateText(s.TimeFormat, in.Now, locale).View(),
                TDateText(s.DateFormat, in.Now, locale).View(), IsoWeekNumber(in.Now));
      break;
    case 5:
      DrawPopup(frame, 140, 26, kFont5x7, kPopupNoIcon, in.MessageText, "Information");
      break;
    default:
      break;
  }
}

}  // namespace

double ToDisplayUnit(double celsius, bool fahrenheit) { return fahrenheit ? celsius * 9 / 5 + 32 : celsius; }

int FormatItemNumber(double value, char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  // By hand rather than by printf: this runs for every number of every tick.
  const long long n = static_cast<long long>(RoundEven(value, 1e15));
  char text[24];
  int count = 0;
  if (n < 0) text[count++] = '-';
  count += WriteDecimal(Magnitude(n), text + count);
  const int len = static_cast<size_t>(count) < size ? count : static_cast<int>(size - 1);
  std::memcpy(out, text, static_cast<size_t>(len));
  out[len] = '\0';
  return len;
}

void FinishGathering(tLcdLayout& L, const double* coreLoads, size_t coreLoadCount, tAdapterKind kind) {
  const auto& temps = L.CpuData.TemperatureItems;
  if (!temps.empty()) {
    double sum = 0;
    for (const tTextItem& t : temps) sum += t.Value;
    L.CpuAverageItem.Value = sum / static_cast<double>(temps.size());
  }
  if (kind == kAdapterIntel) L.IntelItem.Value = RoundEven(L.CpuAverageItem.Value, 1e15);
  if (coreLoads != nullptr && coreLoadCount > 0) {
    double sum = 0;
    for (size_t i = 0; i < coreLoadCount; ++i) sum += coreLoads[i];
    L.CpuUsageItem.Value = sum / static_cast<double>(coreLoadCount);
  }
}

bool CheckAlarm(double value, int32_t threshold, bool gpu, bool fahrenheit, tRenderState& state) {
  if (threshold < 1 || !(value > threshold)) return false;
  const char unit = fahrenheit ? 'F' : 'C';
  std::snprintf(state.AlarmLine1, sizeof state.AlarmLine1, "Alarm, TjMax=%3d%c%c", static_cast<int>(threshold),
                kDegree, unit);
  std::snprintf(state.AlarmLine2, sizeof state.AlarmLine2, "%s=%3d%c%c", gpu ? "GPU" : "CPU",
                RoundToInt(value), kDegree, unit);
  return true;
}

tComposeResult ComposeFrame(TLcdFrame& frame, tLcdLayout& L, const tLcdSettings& s, tRenderState& state,
                            const tComposeInput& in) {
  static const TBmpImage kNoPicture;
  const TDateLocale& locale = in.Locale != nullptr ? *in.Locale : DefaultDateLocale();
  CopyBackground(frame, in.Background != nullptr ? *in.Background : kNoPicture, s.DoInvert);

  if (L.WeekItem.Visible) {
    char week[16];
    ShowText(frame, L.WeekItem, std::string_view(week, FormatWeekNumber(IsoWeekNumber(in.Now), week)));
  }
  if (L.DateItem.Visible) ShowText(frame, L.DateItem, TDateText(s.DateFormat, in.Now, locale).View());
  if (L.ClockItem.Visible) ShowText(frame, L.ClockItem, TDateText(s.TimeFormat, in.Now, locale).View());
  DrawNumber(frame, L.MemoryItem);
  ShowBar(frame, L.MemoryBar, L.MemoryItem.Value, s.DoInvert);
  DrawNumber(frame, L.CpuData.Frequency);

  tCPUData& c = L.CpuData;
  bool anyTemperature = false, cpuOver = false;
  for (size_t i = 0; i < c.TemperatureItems.size(); ++i) {
    tTextItem& t = c.TemperatureItems[i];
    if (t.Visible) {
      anyTemperature = true;
      if (CheckAlarm(t.Value, s.CpuAlarm, false, s.Fahrenheit, state)) cpuOver = true;
      DrawNumber(frame, t);
    }
    const double load = i < in.CoreLoadCount && in.CoreLoads != nullptr ? in.CoreLoads[i] : 0.0;
    if (i < c.UsageItems.size()) ShowValue(frame, c.UsageItems[i], load);
    if (i < c.UsageBars.size()) ShowBar(frame, c.UsageBars[i], load, s.DoInvert);
  }
  if (anyTemperature) state.AlarmPending = cpuOver;

  DrawNumber(frame, L.CpuAverageItem);
  DrawNumber(frame, L.CpuUsageItem);
  ShowBar(frame, L.CpuUsageBar, L.CpuUsageItem.Value, s.DoInvert);
  DrawNumber(frame, L.IntelItem);

  if (in.Nv != nullptr) {
    const size_t n = in.NvCount < L.NvItems.size() ? in.NvCount : L.NvItems.size();
    for (size_t a = 0; a < n; ++a) {
      tNvItems& g = L.NvItems[a];
      const tNvReading& r = in.Nv[a];
      ShowGpuTemperature(frame, g.Temperature, r.Temperature, s.NvAlarm, s, state);
      ShowValue(frame, g.CoreClock, r.CoreClock);
      ShowValue(frame, g.MemClock, r.MemClock * s.NvMemClockFactor);
      ShowValue(frame, g.Usage, r.Usage);
      ShowBar(frame, g.UsageBar, r.Usage, s.DoInvert);
      ShowValue(frame, g.VRam, r.VRamUsage);
      ShowBar(frame, g.VRamBar, r.VRamUsage, s.DoInvert);
      ShowValue(frame, g.FanRPM, r.FanRPM);
      ShowValue(frame, g.FanSpeed, r.FanSpeed);
      ShowBar(frame, g.FanSpeedBar, r.FanSpeed, s.DoInvert);
    }
  }
  if (in.Ati != nullptr) {
    const size_t n = in.AtiCount < L.AtiItems.size() ? in.AtiCount : L.AtiItems.size();
    for (size_t a = 0; a < n; ++a) {
      tAtiItems& g = L.AtiItems[a];
      const tAtiReading& r = in.Ati[a];
      ShowGpuTemperature(frame, g.Temperature, r.Temperature, s.AtiAlarm, s, state);
      ShowValue(frame, g.CoreClock, r.CoreClock);
      ShowValue(frame, g.MemClock, r.MemClock * s.AtiMemClockFactor);
      ShowValue(frame, g.Usage, r.Usage);
      ShowBar(frame, g.UsageBar, r.Usage, s.DoInvert);
      ShowValue(frame, g.FanSpeed, r.FanSpeed);
      ShowBar(frame, g.FanSpeedBar, r.FanSpeed, s.DoInvert);
    }
  }
  if (L.UpStreamItem.Visible)
    DrawRate(frame, L.UpStreamItem.Font, L.UpStreamItem.X, L.UpStreamItem.Y, L.UpStreamItem.Value);
  if (L.DnStreamItem.Visible)
    DrawRate(frame, L.DnStreamItem.Font, L.DnStreamItem.X, L.DnStreamItem.Y, L.DnStreamItem.Value);

  tComposeResult result;
  // The alarm shows only in the second half of the gathering second, so that
  // it blinks while the temperature stays over.
  if (state.AlarmPending && InSecondHalf(in.NextGather, in.TickNow)) {
    result.AlarmShown = result.WantForeground = true;
    DrawPopup(frame, 140, 26, kFont5x7, kPopupBell, state.AlarmLine2, state.AlarmLine1);
    state.AlarmPending = false;
  } else {
    result.WantForeground = in.PageMode == 5;
    DrawPage(frame, s, L, in, locale);
  }
  return result;
}

bool InSecondHalf(uint32_t nextGather, uint32_t now) {
  const int32_t ahead = TickDistance(now, nextGather);
  return ahead >= 0 && ahead < 500;
}

void DrawCapturePopup(TLcdFrame& frame, std::string_view capturePath) {
  const size_t cut = capturePath.find_last_of("\\/");
  const std::string_view name = cut == std::string_view::npos ? capturePath : capturePath.substr(cut + 1);
  DrawPopup(frame, 140, 26, kFont5x7, kPopupNoIcon, name, "Capture:");
}
