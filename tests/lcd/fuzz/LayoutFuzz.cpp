// Any INI text: reading a layout for a few processors and adapters, and the
// single value parsers, on every key text of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "applet/lcd/IniFile.h"
#include "applet/lcd/Layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TIniFile ini(text);
  tLcdLayout layout;
  tLcdSettings settings;
  ReadLayout(ini, 3, kAdapterIntel, 2, 1, layout, settings);
  int32_t a, b;
  double d;
  ParsePair(text, 255, a, b);
  ParseAlarmInteger(text, a);
  ParseFraction(text, d);
  ParseTruth(text);
  FontIdFromName(text);
  MemClockFactorFromText(&text);
  return 0;
}
