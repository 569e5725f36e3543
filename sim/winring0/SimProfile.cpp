#include "sim/winring0/SimProfile.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

struct tBuiltin {
  const char* Name;
  const char* Text;
};

// Readouts of MSR 0x19C: bit 27 valid, bits 22..16 degrees below TjMax.
const tBuiltin kBuiltins[] = {
    {"haswell", R"(# Core i7-4770 class: 8 threads at 3400 MHz, base ratio 34, turbo to 38
vendor=GenuineIntel
signature=0x306C3
processors=8
tsc_mhz=3400
effective_ratio=38
msr.0x1A2=0x00640000
msr.0xCE=0x00002200
msr.0x1A0=0x00850089
msr.0x198=0x00002200
msr.0x19C.0=0x883C0000
msr.0x19C.1=0x883A0000
msr.0x19C.2=0x88380000
msr.0x19C.3=0x88360000
msr.0x19C.4=0x88340000
msr.0x19C.5=0x88320000
msr.0x19C.6=0x88300000
msr.0x19C.7=0x882E0000
)"},
    {"haswell-hot", R"(# The Haswell profile running hot: 88 to 95 C
base=haswell
msr.0x19C.0=0x880C0000
msr.0x19C.1=0x880A0000
msr.0x19C.2=0x88080000
msr.0x19C.3=0x88060000
msr.0x19C.4=0x880B0000
msr.0x19C.5=0x88090000
msr.0x19C.6=0x88070000
msr.0x19C.7=0x88050000
)"},
    {"haswell-noturbo", R"(# The Haswell profile with turbo disengaged (MSR 0x1A0 bit 38)
base=haswell
msr.0x1A0=0x4000850089
)"},
    {"skylake", R"(# Core i5-6600 class: 4 threads at 3300 MHz, base 33, turbo to 39
vendor=GenuineIntel
signature=0x506E3
processors=4
tsc_mhz=3300
effective_ratio=39
msr.0x1A2=0x00640000
msr.0xCE=0x00002100
msr.0x1A0=0x00850089
msr.0x198=0x00002100
msr.0x19C=0x88320000
)"},
    {"core2", R"(# Core 2 Quad Q9650 class (model 0x17): 4 threads at 3000 MHz, ratio 9
vendor=GenuineIntel
signature=0x10676
processors=4
tsc_mhz=3000
msr.0x198=0x0000090000000900
msr.0x19C=0x88320000
msr.0x19C.1=0x882D0000
)"},
    {"nehalem", R"(# Core i7-920 class: 8 threads at 2667 MHz, ratio 20 in bits 7..0, turbo to 21
vendor=GenuineIntel
signature=0x106A5
processors=8
tsc_mhz=2666.667
effective_ratio=21
msr.0x1A2=0x00640000
msr.0xCE=0x00001400
msr.0x1A0=0x00850089
msr.0x198=0x00000014
msr.0x19C=0x883C0000
)"},
    {"atom", R"(# Atom N270 class (model 0x1C stepping 10): 2 threads at 1600 MHz, ratio 12
vendor=GenuineIntel
signature=0x106CA
processors=2
tsc_mhz=1600
msr.0x198=0x00000C0000000C00
msr.0x19C=0x88280000
)"},
    {"k8", R"(# Athlon 64 X2 class (family 0Fh): 2 cores at 2200 MHz, sensors 51 and 49 C
vendor=AuthenticAMD
signature=0x00020FB1
processors=2
tsc_mhz=2200
pci_device.0x1022.0x1103=0xC3
pci.0xC3.0xE4=0x00000000
k8_sensor.0=100
k8_sensor.1=98
)"},
    {"amd10h", R"(# Phenom II X4 class (family 10h): 4 cores at 3000 MHz, 52.625 C
vendor=AuthenticAMD
signature=0x00100F42
processors=4
tsc_mhz=3000
pci_device.0x1022.0x1203=0xC3
pci.0xC3.0xA4=0x34A00000
)"},
    {"amd15h-m0", R"(# Family 15h model 0: 8 cores at 3600 MHz, half-degree steps (52.5 C)
vendor=AuthenticAMD
signature=0x00600F00
processors=8
tsc_mhz=3600
pci_device.0x1022.0x1603=0xC3
pci.0xC3.0xA4=0x34E00000
)"},
    {"amd15h-m3", R"(# Family 15h model 3, thermal device under its second id: 52.875 C
vendor=AuthenticAMD
signature=0x00600F30
processors=4
tsc_mhz=3700
pci_device.0x1022.0x1403=0xC3
pci.0xC3.0xA4=0x34E00000
)"},
    {"unknown", R"(# A processor of another vendor: only the TSC clock is measured
vendor=CentaurHauls
signature=0x000006F2
processors=2
tsc_mhz=1800
)"},
};

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  const size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool ParseNumber(const std::string& text, uint64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoull(text.c_str(), &end, 0);
  return end != nullptr && *end == 0;
}

bool ParseDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != nullptr && *end == 0;
}

std::vector<std::string> Split(const std::string& key) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(key);
  while (std::getline(in, part, '.')) parts.push_back(part);
  return parts;
}

bool ApplyLine(const std::string& key, const std::string& value, tSimProfile& p,
               std::string& error) {
  const std::vector<std::string> parts = Split(key);
  uint64_t a = 0, b = 0, v = 0;
  if (key == "base") {
    const char* text = FindBuiltinProfile(value);
    if (text == nullptr) return error = "unknown base profile " + value, false;
    return ParseSimProfile(text, p, error);
  }
  if (key == "vendor") {
    if (value.size() != 12) return error = "vendor needs 12 characters", false;
    p.Vendor = value;
    return true;
  }
  if (key == "signature") {
    if (!ParseNumber(value, v)) return error = "bad signature", false;
    p.Signature = static_cast<uint32_t>(v);
    return true;
  }
  if (key == "processors") {
    if (!ParseNumber(value, v) || v < 1 || v > tSimProfile::kMaxProcessors)
      return error = "processors must be 1 to 64", false;
    p.Processors = static_cast<int>(v);
    return true;
  }
  if (key == "tsc_mhz") return ParseDouble(value, p.TscMhz) || (error = "bad tsc_mhz", false);
  if (key == "base_ratio")
    return ParseDouble(value, p.BaseRatio) || (error = "bad base_ratio", false);
  if (key == "effective_ratio")
    return ParseDouble(value, p.EffectiveRatio) || (error = "bad effective_ratio", false);
  if (key == "fail_initialize" || key == "fail_cpuid") {
    if (!ParseNumber(value, v)) return error = "bad " + key, false;
    (key == "fail_initialize" ? p.FailInitialize : p.FailCpuid) = v != 0;
    return true;
  }
  if (parts.size() >= 2 && parts[0] == "msr") {
    if (!ParseNumber(parts[1], a) || !ParseNumber(value, v)) return error = "bad msr line", false;
    if (parts.size() == 2) {
      p.AllMsrs[static_cast<uint32_t>(a)] = v;
      return true;
    }
    if (parts.size() == 3 && ParseNumber(parts[2], b) && b < tSimProfile::kMaxProcessors) {
      p.CpuMsrs[b][static_cast<uint32_t>(a)] = v;
      return true;
    }
    return error = "bad msr processor", false;
  }
  if (parts.size() == 3 && parts[0] == "pci_device") {
    if (!ParseNumber(parts[1], a) || !ParseNumber(parts[2], b) || !ParseNumber(value, v))
      return error = "bad pci_device line", false;
    p.PciDevices[static_cast<uint32_t>((a & 0xFFFF) << 16 | (b & 0xFFFF))] = static_cast<uint32_t>(v);
    return true;
  }
  if (parts.size() == 3 && parts[0] == "pci") {
    if (!ParseNumber(parts[1], a) || !ParseNumber(parts[2], b) || !ParseNumber(value, v))
      return error = "bad pci line", false;
    p.PciRegs[a << 8 | (b & 0xFF)] = static_cast<uint32_t>(v);
    return true;
  }
  if (parts.size() == 2 && parts[0] == "k8_sensor") {
    if (!ParseNumber(parts[1], a) || a > 1 || !ParseNumber(value, v))
      return error = "bad k8_sensor line", false;
    p.K8Sensors = true;
    p.K8Reading[a] = static_cast<uint8_t>(v);
    return true;
  }
  error = "unknown key " + key;
  return false;
}

}  // namespace

uint64_t tSimProfile::Msr(int processor, uint32_t index) const {
  const auto own = CpuMsrs[processor].find(index);
  if (own != CpuMsrs[processor].end()) return own->second;
  const auto all = AllMsrs.find(index);
  return all != AllMsrs.end() ? all->second : 0;
}

bool ParseSimProfile(const std::string& text, tSimProfile& profile, std::string& error) {
  std::istringstream lines(text);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line = Trim(line);
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = "line " + std::to_string(number) + ": no '='";
      return false;
    }
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (!ApplyLine(key, value, profile, error)) {
      error = "line " + std::to_string(number) + ": " + error;
      return false;
    }
  }
  return true;
}

const char* FindBuiltinProfile(const std::string& name) {
  for (const tBuiltin& b : kBuiltins)
    if (name == b.Name) return b.Text;
  return nullptr;
}
