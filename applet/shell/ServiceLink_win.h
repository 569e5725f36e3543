// The applet's reading of the hardware service's block.
#pragma once
#include <cstdint>
#include <string>

#include "applet/lcd/Layout.h"

// Opens, reads and closes the published block. On an accepted block it fills
// the snapshot (ApplyServiceReading) and returns "Service %d.%d.%d.%d";
// otherwise it returns "Service not found" and changes nothing.
std::string ReadServiceBlock(tCPUData& cpu, bool fahrenheit, int32_t& cpuAlarm);
