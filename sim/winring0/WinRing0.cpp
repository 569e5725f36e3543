// Stand-in for the ring-0 driver library "WinRing0.dll": exports the entry
// points the sampling engine uses and simulates one processor from a profile.
//
// The profile is chosen, first match wins, by: a file "WinRing0.profile" beside
// this DLL; the environment variable KES_WINRING0_PROFILE, holding the name of
// a built-in profile or the path of a profile file; the built-in "haswell".
// A profile that cannot be read or parsed makes InitializeOls fail.

#include "common/DriverApi.h"
#include "sim/SimProfile_win.h"
#include "sim/winring0/SimProfile.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ProfileBesideDll() {
  const std::string folder = SimModuleFolder();
  return folder.empty() ? std::string() : folder + "WinRing0.profile";
}

// The simulated processor: the profile, MSR writes that stick, counters that
// advance with real time.
class tSimCpu {
 public:
  tSimCpu() {
    bool found = false;
    std::string text = ReadFile(ProfileBesideDll(), found);
    if (!found) {
      char name[MAX_PATH] = {};
      const DWORD n = GetEnvironmentVariableA("KES_WINRING0_PROFILE", name, MAX_PATH);
      const std::string chosen = n > 0 && n < MAX_PATH ? std::string(name, n) : kDefaultSimProfile;
      if (const char* builtin = FindBuiltinProfile(chosen)) {
        text = builtin;
        found = true;
      } else {
        text = ReadFile(chosen, found);
      }
    }
    std::string error;
    Valid = found && ParseSimProfile(text, Profile, error);
    if (!Valid) OutputDebugStringA(("WinRing0 stand-in: no usable profile " + error).c_str());
    if (Profile.BaseRatio == 0.0) Profile.BaseRatio = (Profile.Msr(0, 0xCE) >> 8) & 0xFF;
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    Frequency = static_cast<double>(f.QuadPart);
    Start = Seconds();
  }

  // Seconds since the performance counter's origin.
  double Seconds() const {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / Frequency;
  }

  // Processor of a single-bit mask within the profile, or -1.
  int ProcessorOf(uintptr_t mask) const {
    for (int p = 0; p < Profile.Processors && p < static_cast<int>(sizeof mask * 8); ++p)
      if (mask == uintptr_t(1) << p) return p;
    return -1;
  }

  bool NoMsrs() const { return Profile.NoMsrs; }

  uint64_t Tsc() const { return static_cast<uint64_t>(Seconds() * Profile.TscMhz * 1e6); }

  // Fixed counter 2 and MPERF count reference cycles at the TSC rate since
  // this DLL was loaded; fixed counter 1 and APERF count core cycles at the
  // effective ratio.
  static bool IsReferenceCounter(uint32_t msr) {
    return msr == 0x30B || msr == 0xE7 || msr == 0xC00000E7;
  }
  static bool IsCounter(uint32_t msr) {
    return IsReferenceCounter(msr) || msr == 0x30A || msr == 0xE8 || msr == 0xC00000E8;
  }
  double CounterRate(uint32_t msr) const {
    const double ref = Profile.TscMhz * 1e6;
    if (IsReferenceCounter(msr)) return ref;
    return Profile.BaseRatio > 0 ? ref * Profile.EffectiveRatio / Profile.BaseRatio : 0.0;
  }

  uint64_t ReadMsr(int p, uint32_t msr) {
    std::lock_guard<std::mutex> hold(Lock);
    if (IsCounter(msr)) {
      const double advanced = (Seconds() - Start) * CounterRate(msr);
      return Offsets[p][msr] + static_cast<uint64_t>(advanced);
    }
    const auto written = Written[p].find(msr);
    return written != Written[p].end() ? written->second : Profile.Msr(p, msr);
  }

  void WriteMsr(int p, uint32_t msr, uint64_t value) {
    std::lock_guard<std::mutex> hold(Lock);
    if (IsCounter(msr)) {
      const double advanced = (Seconds() - Start) * CounterRate(msr);
      Offsets[p][msr] = value - static_cast<uint64_t>(advanced);
    } else {
      Written[p][msr] = value;
    }
  }

  uint32_t ReadPci(uint32_t address, uint8_t reg) {
    std::lock_guard<std::mutex> hold(Lock);
    // The SMN data register of the first root complex shows the register
    // whose address was last written to its index register.
    if (address == 0 && reg == kSmnData) return Profile.SmnRegister(SmnIndex);
    const auto it = Profile.PciRegs.find(uint64_t(address) << 8 | reg);
    uint32_t value = it != Profile.PciRegs.end() ? it->second : 0xFFFFFFFFu;
    // K8: the thermal-trip register shows the sensor of the core that bit 2 of
    // the last write to bus 0, device 24, function 3 selects.
    if (Profile.K8Sensors && reg == 0xE4 && it != Profile.PciRegs.end())
      value = (value & 0xFF00FFFFu) | uint32_t(Profile.K8Reading[(K8Select >> 2) & 1]) << 16;
    return value;
  }

  void WritePci(uint32_t address, uint8_t reg, uint32_t value) {
    std::lock_guard<std::mutex> hold(Lock);
    if (address == 0xC3 && reg == 0xE4) K8Select = value;
    if (address == 0 && reg == kSmnIndex) {
      SmnIndex = value;
      return;
    }
    Profile.PciRegs[uint64_t(address) << 8 | reg] = value;
  }

  tSimProfile Profile;
  bool Valid = false;

 private:
  std::mutex Lock;
  double Frequency = 1.0;
  double Start = 0.0;
  std::map<uint32_t, uint64_t> Written[tSimProfile::kMaxProcessors];
  std::map<uint32_t, uint64_t> Offsets[tSimProfile::kMaxProcessors];
  uint32_t K8Select = 0;
  uint32_t SmnIndex = 0;
  static constexpr uint8_t kSmnIndex = 0x60;
  static constexpr uint8_t kSmnData = 0x64;
};

tSimCpu& Sim() {
  static tSimCpu sim;
  return sim;
}

// The logical processor the calling thread is pinned to; 0 for a thread
// that may run on several (CPUID then answers as processor 0).
int CallingProcessor() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 0;
  const DWORD_PTR own = SetThreadAffinityMask(GetCurrentThread(), process);
  if (own == 0) return 0;
  SetThreadAffinityMask(GetCurrentThread(), own);
  if ((own & (own - 1)) != 0) return 0;
  int p = 0;
  while ((DWORD_PTR(1) << p) != own) ++p;
  return p;
}

void Split(uint64_t value, uint32_t* low, uint32_t* high) {
  *low = static_cast<uint32_t>(value);
  *high = static_cast<uint32_t>(value >> 32);
}

}  // namespace

#define KES_EXPORT extern "C" __declspec(dllexport)

KES_EXPORT tDriverBool KES_STDCALL InitializeOls() {
  return Sim().Valid && !Sim().Profile.FailInitialize;
}

KES_EXPORT void KES_STDCALL DeinitializeOls() {}

KES_EXPORT tDriverBool KES_STDCALL IsCpuid() { return Sim().Valid && !Sim().Profile.FailCpuid; }

KES_EXPORT tDriverBool KES_STDCALL Cpuid(uint32_t leaf, uint32_t* eax, uint32_t* ebx, uint32_t* ecx,
                                         uint32_t* edx) {
  const tSimProfile::tLeaf regs = Sim().Profile.Cpuid(CallingProcessor(), leaf);
  *eax = regs[0];
  *ebx = regs[1];
  *ecx = regs[2];
  *edx = regs[3];
  return TRUE;
}

KES_EXPORT tDriverBool KES_STDCALL RdmsrEx(uint32_t msr, uint32_t* low, uint32_t* high,
                                           uintptr_t mask) {
  const int p = Sim().NoMsrs() ? -1 : Sim().ProcessorOf(mask);
  Split(p >= 0 ? Sim().ReadMsr(p, msr) : 0, low, high);
  return p >= 0;
}

KES_EXPORT tDriverBool KES_STDCALL WrmsrEx(uint32_t msr, uint32_t low, uint32_t high,
                                           uintptr_t mask) {
  const int p = Sim().NoMsrs() ? -1 : Sim().ProcessorOf(mask);
  if (p >= 0) Sim().WriteMsr(p, msr, uint64_t(high) << 32 | low);
  return p >= 0;
}

KES_EXPORT tDriverBool KES_STDCALL RdtscEx(uint32_t* low, uint32_t* high, uintptr_t mask) {
  const int p = Sim().ProcessorOf(mask);
  Split(p >= 0 ? Sim().Tsc() : 0, low, high);
  return p >= 0;
}

KES_EXPORT uint32_t KES_STDCALL FindPciDeviceById(uint16_t vendor, uint16_t device, uint8_t index) {
  const auto& devices = Sim().Profile.PciDevices;
  const auto it = devices.find(uint32_t(vendor) << 16 | device);
  return it != devices.end() && index == 0 ? it->second : kPciNotFound;
}

KES_EXPORT uint32_t KES_STDCALL ReadPciConfigDword(uint32_t address, uint8_t reg) {
  return Sim().ReadPci(address, reg);
}

KES_EXPORT void KES_STDCALL WritePciConfigDword(uint32_t address, uint8_t reg, uint32_t value) {
  Sim().WritePci(address, reg, value);
}
