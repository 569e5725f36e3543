#include "applet/shell/ServiceLink_win.h"

#include "applet/shell/ShellRules.h"
#include "service/HardwareBlockReader_win.h"

std::string ReadServiceBlock(tCPUData& cpu, bool fahrenheit, int32_t& cpuAlarm) {
  // The reader opens, copies, unmaps and closes on every call.
  tBlockReading reading;
  if (!ReadPublishedBlock(reading)) return kServiceNotFoundText;
  return ApplyServiceReading(reading, fahrenheit, cpu, cpuAlarm);
}
