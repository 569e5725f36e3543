#include "sim/winring0/SimProfile.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

struct tBuiltin {
  const char* Name;
  const char* Text;
};

// Readouts of MSR 0x19C: bit 27 valid, bits 22..16 (23..16) degrees below TjMax.
const tBuiltin kBuiltins[] = {
#include "sim/winring0/BuiltinProfiles.inc"
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

// Four numbers separated by commas.
bool ParseRegisters(const std::string& text, tSimProfile::tLeaf& regs) {
  std::istringstream in(text);
  std::string part;
  size_t n = 0;
  while (std::getline(in, part, ',')) {
    uint64_t v = 0;
    if (n == regs.size() || !ParseNumber(Trim(part), v)) return false;
    regs[n++] = static_cast<uint32_t>(v);
  }
  return n == regs.size();
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
  if (key == "no_msrs") {
    if (!ParseNumber(value, v)) return error = "bad no_msrs", false;
    p.NoMsrs = v != 0;
    return true;
  }
  if (key == "brand") {
    if (value.size() > 47) return error = "brand has at most 47 characters", false;
    p.Brand = value;
    return true;
  }
  if ((parts.size() == 2 || parts.size() == 3) && parts[0] == "cpuid") {
    tSimProfile::tLeaf regs{};
    if (!ParseNumber(parts[1], a) || !ParseRegisters(value, regs))
      return error = "bad cpuid line (cpuid.LEAF[.P]=eax,ebx,ecx,edx)", false;
    if (parts.size() == 2) {
      p.AllLeaves[static_cast<uint32_t>(a)] = regs;
      return true;
    }
    if (ParseNumber(parts[2], b) && b < tSimProfile::kMaxProcessors) {
      p.CpuLeaves[b][static_cast<uint32_t>(a)] = regs;
      return true;
    }
    return error = "bad cpuid processor", false;
  }
  if (parts.size() == 2 && parts[0] == "smn") {
    if (!ParseNumber(parts[1], a) || !ParseNumber(value, v)) return error = "bad smn line", false;
    p.Smn[static_cast<uint32_t>(a)] = static_cast<uint32_t>(v);
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

tSimProfile::tLeaf tSimProfile::Cpuid(int processor, uint32_t leaf) const {
  if (processor >= 0 && processor < kMaxProcessors) {
    const auto own = CpuLeaves[processor].find(leaf);
    if (own != CpuLeaves[processor].end()) return own->second;
  }
  const auto all = AllLeaves.find(leaf);
  if (all != AllLeaves.end()) return all->second;
  tLeaf regs{};
  constexpr uint32_t kExtended = 0x80000000;
  if (leaf == 0 || leaf == kExtended) {
    // The highest leaf of the range the profile answers.
    uint32_t highest = leaf == 0 ? 1 : (Brand.empty() ? 0 : kExtended + 4);
    auto consider = [&](const std::map<uint32_t, tLeaf>& leaves) {
      for (const auto& l : leaves)
        if ((l.first >= kExtended) == (leaf == kExtended) && l.first > highest) highest = l.first;
    };
    consider(AllLeaves);
    for (const auto& own : CpuLeaves) consider(own);
    regs[0] = highest;
    if (leaf == 0) {
      std::memcpy(&regs[1], Vendor.data(), 4);
      std::memcpy(&regs[3], Vendor.data() + 4, 4);
      std::memcpy(&regs[2], Vendor.data() + 8, 4);
    }
  } else if (leaf == 1) {
    regs[0] = Signature;
    regs[1] = static_cast<uint32_t>(Processors) << 16;
  } else if (leaf >= kExtended + 2 && leaf <= kExtended + 4 && !Brand.empty()) {
    char text[48] = {};
    std::memcpy(text, Brand.data(), Brand.size());
    std::memcpy(regs.data(), text + 16 * (leaf - kExtended - 2), 16);
  }
  return regs;
}

uint32_t tSimProfile::SmnRegister(uint32_t address) const {
  const auto it = Smn.find(address);
  return it != Smn.end() ? it->second : 0xFFFFFFFFu;
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
