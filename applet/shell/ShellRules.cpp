#include "applet/shell/ShellRules.h"

#include <cmath>
#include <cstring>

#include "common/Fnv1a.h"

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperText(const std::string& text) {
  std::string upper(text);
  for (char& c : upper) c = Upper(c);
  return upper;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The hashes the shell dispatches on.
constexpr uint32_t kDashUninstallHash = 0xED44C91Au;   // "-UNINSTALL"
constexpr uint32_t kSlashUninstallHash = 0xC9629958u;  // "/UNINSTALL"
constexpr uint32_t kNviHash = 0x54B56624u;             // "NVI"
constexpr uint32_t kAtiHash = 0x529C2493u;             // "ATI"
constexpr uint32_t kAmdHash = 0x7363FFF5u;             // "AMD"
constexpr uint32_t kRadHash = 0x93D93E88u;             // "RAD"
constexpr uint32_t kIntHash = 0xD8C3957Eu;             // "INT"
static_assert(Fnv1a("-UNINSTALL") == kDashUninstallHash, "stop switch hash");
static_assert(Fnv1a("/UNINSTALL") == kSlashUninstallHash, "stop switch hash");
static_assert(Fnv1a("NVI") == kNviHash && Fnv1a("ATI") == kAtiHash && Fnv1a("AMD") == kAmdHash &&
                  Fnv1a("RAD") == kRadHash && Fnv1a("INT") == kIntHash,
              "adapter hashes");

constexpr size_t kMinimumHeaderBytes = 512;
constexpr uint32_t kFirstHeaderOffset = 64;
constexpr uint32_t kLastHeaderOffset = 3848;
constexpr uint32_t kPeSignature = 0x00004550u;  // "PE\0\0"
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ull;
constexpr size_t kTrayTipLength = 63;

}  // namespace

uint32_t HashText(const std::string& text) { return Fnv1a(text.data(), text.size()); }

double Clamp(double value, double minimum, double maximum) {
  if (value > maximum) return maximum;
  if (value < minimum) return minimum;
  return value;
}

int IndexOfText(const std::string& text, const std::vector<std::string>& list) {
  for (size_t i = 0; i < list.size(); ++i)
    if (EqualNoCase(text, list[i])) return static_cast<int>(i);
  return 0;
}

bool IsStopSwitch(const std::string& firstArgument) {
  const uint32_t hash = HashText(UpperText(firstArgument));
  return hash == kDashUninstallHash || hash == kSlashUninstallHash;
}

tRunningCopy RunningCopyFromOpen(bool opened, uint32_t lastError) {
  constexpr uint32_t kFileNotFound = 2;
  if (opened) return kRunningCopyOpened;
  return lastError == kFileNotFound ? kNoRunningCopy : kRunningCopyUnreachable;
}

tAdapterKind AdapterKindFromName(const std::string& deviceString) {
  switch (HashText(UpperText(deviceString.substr(0, 3)))) {
    case kNviHash:
      return kAdapterNvidia;
    case kAtiHash:
    case kAmdHash:
    case kRadHash:
      return kAdapterAti;
    case kIntHash:
      return kAdapterIntel;
    default:
      return kAdapterNone;
  }
}

std::string MissingIniText(const std::string& iniPath) {
  std::string text = "Error, " + iniPath;
  if (iniPath.size() < 30) text.append(30 - iniPath.size(), ' ');
  return text + "\n\r\r";
}

std::string TrayTipText(const std::string& title, const std::string& buildDate,
                        const std::string& buildTime) {
  std::string text = title + "\rBuild: " + buildDate + "-" + buildTime;
  if (text.size() > kTrayTipLength) text.resize(kTrayTipLength);
  return text;
}

bool LinkStampFromHeader(const uint8_t* bytes, size_t length, uint32_t& stamp) {
  if (bytes == nullptr || length < kMinimumHeaderBytes) return false;
  if (bytes[0] != 'M' || bytes[1] != 'Z') return false;
  const uint32_t offset = Read32(bytes + 60);
  if (offset < kFirstHeaderOffset || offset > kLastHeaderOffset) return false;
  // A short file may end before the PE header its DOS header points at.
  if (static_cast<size_t>(offset) + 12 > length) return false;
  if (Read32(bytes + offset) != kPeSignature) return false;
  stamp = Read32(bytes + offset + 8);
  return true;
}

uint64_t LinkStampToFileTime(uint32_t stamp) {
  // Unsigned all the way: stamps from 2038 on are later dates, not earlier ones.
  return static_cast<uint64_t>(stamp) * kFileTimeUnitsPerSecond + kUnixEpochAsFileTime;
}

bool ReplaceDevicePrefix(std::string& path, const std::string& device, char driveLetter) {
  if (device.empty() || path.size() < device.size()) return false;
  if (!EqualNoCase(path.substr(0, device.size()), device)) return false;
  path.replace(0, device.size(), std::string(1, Upper(driveLetter)) + ":");
  return true;
}

std::string CopyDataText(const void* data, size_t cbData) {
  if (data == nullptr || cbData == 0) return std::string();
  const char* text = static_cast<const char*>(data);
  const void* nul = std::memchr(text, '\0', cbData);
  const size_t length = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - text) : cbData;
  return std::string(text, length);
}

std::string ServiceVersionText(uint32_t versionMS, uint32_t versionLS) {
  return FormatServiceVersion(versionMS, versionLS);
}

void ServiceVersionText(uint32_t versionMS, uint32_t versionLS, std::string& text) {
  FormatServiceVersion(versionMS, versionLS, text);
}

namespace {

double DisplayTemperature(double celsius, bool fahrenheit) {
  return fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

}  // namespace

int32_t CpuAlarmThreshold(int32_t configured, int32_t tjMax, bool fahrenheit) {
  if (configured >= 0) return configured;
  if (tjMax <= 0) return configured;
  const int64_t celsius = static_cast<int64_t>(tjMax) + configured;
  if (celsius < 1) return 0;
  return static_cast<int32_t>(fahrenheit ? std::lround(DisplayTemperature(static_cast<double>(celsius), true))
                                         : celsius);
}

void UpdateCpuAlarm(tLcdSettings& settings, double tjMax) {
  if (settings.CpuAlarmTjMax <= 0 && tjMax >= 0.5 && tjMax < 1000.0)
    settings.CpuAlarmTjMax = static_cast<int32_t>(std::lround(tjMax));
  settings.CpuAlarm = CpuAlarmThreshold(settings.CpuAlarmSetting, settings.CpuAlarmTjMax, settings.Fahrenheit);
}

void ApplyServiceReading(const tBlockReading& reading, tLcdSettings& settings, tCPUData& cpu,
                         std::string& serviceText) {
  const bool fahrenheit = settings.Fahrenheit;
  cpu.Frequency.Value = reading.CpuClock;
  for (size_t i = 0; i < cpu.TemperatureItems.size(); ++i) {
    // The block has 16 slots; processors past them have no reading.
    if (i >= static_cast<size_t>(kHardwareBlockSlots)) {
      cpu.TemperatureItems[i].Value = 0;
      continue;
    }
    cpu.TemperatureItems[i].Value = DisplayTemperature(reading.Temperatures[i], fahrenheit);
  }
  if (reading.HasBusClock) {
    cpu.RealClock = reading.MultiplierClock;
    cpu.BusClock = reading.BusClock;
  } else {
    cpu.RealClock = reading.TscClock;
  }
  UpdateCpuAlarm(settings, reading.TjMax);
  cpu.Signature = reading.Signature;
  ServiceVersionText(reading.VersionMS, reading.VersionLS, serviceText);
}

void ApplySamplerReading(const tBlockReadings& reading, uint32_t signature, bool fahrenheit,
                         tCPUData& cpu) {
  cpu.Frequency.Value = reading.CpuClock;
  if (IsMultiplierGeneration(reading.Generation)) {
    cpu.BusClock = reading.BusClock;
    cpu.RealClock = reading.Multiplier * reading.BusClock;
  } else {
    cpu.RealClock = reading.TscClock;
  }
  cpu.Signature = signature;
  const size_t count = reading.ProcessorCount > 0 ? static_cast<size_t>(reading.ProcessorCount) : 0;
  for (size_t i = 0; i < cpu.TemperatureItems.size(); ++i) {
    cpu.TemperatureItems[i].Value =
        i < count ? DisplayTemperature(reading.Temperatures[i], fahrenheit) : 0.0;
  }
}

std::string CaptureFileName(const std::string& folder, const std::string& date,
                            const std::string& time) {
  return folder + date + "-" + time + ".bmp";
}
