#include "applet/shell/ServiceLink_win.h"

#include "applet/shell/ShellRules.h"
#include "service/HardwareBlockReader_win.h"

void ReadServiceBlock(tCPUData& cpu, tLcdSettings& settings, std::string& serviceText) {
  // The reader opens, copies, unmaps and closes on every call.
  tBlockReading reading;
  if (!ReadPublishedBlock(reading)) {
    serviceText.assign(kServiceNotFoundText);
    return;
  }
  ApplyServiceReading(reading, settings, cpu, serviceText);
}
