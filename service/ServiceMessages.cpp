#include "service/ServiceMessages.h"

#include <cstdarg>
#include <cstdio>

#include "service/HardwareBlock.h"

std::string ComposeLogLine(const std::string& date, const std::string& time, bool midnight,
                           const std::string& message) {
  std::string line = date;
  if (!midnight) line += " " + time;
  line += " - ";
  line += message;
  return line;
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

std::string VersionLine(unsigned versionMS, unsigned versionLS) {
  return FormatText("%s %d.%d.%d.%d", kServiceDisplayName, static_cast<int>(versionMS >> 16),
                    static_cast<int>(versionMS & 0xFFFF), static_cast<int>(versionLS >> 16),
                    static_cast<int>(versionLS & 0xFFFF));
}

std::string ModelLine(const std::string& modelName, int processorCount) {
  return FormatText("%s, %d threads", modelName.c_str(), processorCount);
}

std::string FrequencyDetailLine(double tscClock, double baseMultiplier, double busClock) {
  return FormatText("Frequency: %d Mhz: %.6f Mhz (%.1f * %.6f)", RoundHalfEven(tscClock),
                    baseMultiplier * busClock, baseMultiplier, busClock);
}

std::string TjMaxLine(double tjMax) {
  return FormatText("TjMax: %d\xB0" "C (%d\xB0" "F)", RoundHalfEven(tjMax),
                    RoundHalfEven(tjMax * 9 / 5 + 32));
}

std::string ClockDetailLine(double cpuClock, double multiplier, double busClock) {
  return FormatText("%d Mhz: %.6f Mhz (%.1f * %.6f)", RoundHalfEven(cpuClock),
                    multiplier * busClock, multiplier, busClock);
}

std::string SkippedDriverLine(const std::string& path, const std::string& programFolder) {
  return "Skipped " + path + ": the service loads WinRing0.dll only from " + programFolder +
         " or the system folder; move it there";
}

std::vector<std::string> DriverSearchCandidates(const std::string& pathValue,
                                                const std::string& fileName) {
  std::vector<std::string> candidates{fileName};
  const std::string path = pathValue.substr(0, pathValue.find('\0'));
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    std::string folder = path.substr(start, end - start);
    if (!folder.empty()) {
      const char last = folder.back();
      if (last != '\\' && last != '/' && last != ':') folder += '\\';
      candidates.push_back(folder + fileName);
    }
    start = end + 1;
  }
  return candidates;
}
