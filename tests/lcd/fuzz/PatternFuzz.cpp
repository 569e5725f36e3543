// Any date or time pattern, on any date: formatting must stay in bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "applet/lcd/DatePattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  TDateTimeParts t;
  t.year = 1900 + data[0] * 2;
  t.month = 1 + data[1] % 12;
  t.day = 1 + data[2] % 28;
  t.hour = data[3] % 24;
  t.minute = data[3] % 60;
  t.second = data[2] % 60;
  t.millisecond = data[1] * 3;
  const std::string_view pattern(reinterpret_cast<const char*>(data + 4), size - 4);
  FormatDateTime(pattern, t);
  IsoWeekNumber(t);
  return 0;
}
