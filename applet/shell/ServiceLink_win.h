// The applet's reading of the hardware service's block.
#pragma once
#include <cstdint>
#include <string>

#include "applet/lcd/Layout.h"

// Opens, reads and closes the published block. On an accepted block it fills
// the snapshot and the processor alarm (ApplyServiceReading) and sets
// serviceText to "Service %d.%d.%d.%d"; otherwise serviceText becomes
// "Service not found" and nothing else changes.
void ReadServiceBlock(tCPUData& cpu, tLcdSettings& settings, std::string& serviceText);
