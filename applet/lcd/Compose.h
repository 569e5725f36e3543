// Composition of one LCD frame: background, every visible element in the
// renderer's order with the bars' averaging, the alarm check, and the pop-up
// of the page or the alarm. The applet's tick gathers the readings, calls
// ComposeFrame, then sends and previews the frame; the layout tool calls the
// same function with a snapshot of readings. Nothing here allocates once the
// layout is read (texts short enough for the strings' inline storage).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "applet/lcd/Bmp.h"
#include "applet/lcd/DatePattern.h"
#include "applet/lcd/Layout.h"
#include "applet/lcd/LcdFrame.h"

// Readings of one NVIDIA adapter, as the reader's getters give them
// (degrees Celsius, MHz, percent, revolutions per minute).
struct tNvReading {
  double Temperature;
  double CoreClock;
  double MemClock;
  double Usage;
  double VRamUsage;
  double FanRPM;
  double FanSpeed;
};

// Readings of one ATI adapter.
struct tAtiReading {
  double Temperature;
  double CoreClock;
  double MemClock;
  double Usage;
  double FanSpeed;
};

// The renderer's state that lives from tick to tick.
struct tRenderState {
  bool AlarmPending = false;
  char AlarmLine1[32] = "";
  char AlarmLine2[32] = "";
};

// Everything one composition reads besides the layout and its settings.
struct tComposeInput {
  const TBmpImage* Background = nullptr;  // none: white paper
  const double* CoreLoads = nullptr;      // per logical processor, percent
  size_t CoreLoadCount = 0;
  const tNvReading* Nv = nullptr;  // present only with an NVIDIA reader
  size_t NvCount = 0;
  const tAtiReading* Ati = nullptr;  // present only with an ATI reader
  size_t AtiCount = 0;
  TDateTimeParts Now;                   // local date and time of the tick
  const TDateLocale* Locale = nullptr;  // none: DefaultDateLocale()
  char DecimalSeparator = '.';          // the user's, for the real-clock page
  uint32_t TickNow = 0;                 // tick count of this tick, ms
  uint32_t NextGather = 0;              // next gathering's tick count
  int32_t PageMode = 0;                 // 0..5
  std::string_view ProductTitle;
  std::string_view ServiceText;  // line 2 of page 2
  std::string_view MessageText;  // line 2 of page 5
};

struct tComposeResult {
  bool AlarmShown = false;      // the alarm pop-up was drawn
  bool WantForeground = false;  // the alarm or the message page asks for the LCD
};

// The author's contact line of the product page.
extern const char kContactLine[];

// A temperature in the display unit.
double ToDisplayUnit(double celsius, bool fahrenheit);

// Gathering's arithmetic after the sources were read: the mean of all
// processor temperatures into CpuAverageItem (hidden items count too), the
// Intel item from it when the primary adapter is Intel, the mean of the
// loads into CpuUsageItem. With no processors or loads the means stay.
void FinishGathering(tLcdLayout& layout, const double* coreLoads, size_t coreLoadCount,
                     tAdapterKind kind);

// The alarm check of one temperature v in the display unit against the
// threshold: over when threshold >= 1 and v > threshold; then the lines are
// set ("Alarm, TjMax=%3d°C" and "CPU=%3d°C" or "GPU=%3d°C", °F forms).
bool CheckAlarm(double value, int32_t threshold, bool gpu, bool fahrenheit, tRenderState& state);

// True in the second half of the gathering second: the next gathering lies
// 0..499 ms ahead of now, measured by the ticks' signed distance so that the
// rule holds across the tick count's wrap. The alarm pop-up shows only then.
bool InSecondHalf(uint32_t nextGather, uint32_t now);

// The number text of a value: rounded (halves to even), plain decimal.
// Writes at most size - 1 characters and returns the text's length.
int FormatItemNumber(double value, char* out, size_t size);

// Steps of the tick after gathering: frame, elements, alarm and page pop-up.
tComposeResult ComposeFrame(TLcdFrame& frame, tLcdLayout& layout, const tLcdSettings& settings,
                            tRenderState& state, const tComposeInput& in);

// The capture notice: "Capture:" and the file name part of path.
void DrawCapturePopup(TLcdFrame& frame, std::string_view capturePath);
