#pragma once
// The simulated processor of the WinRing0 stand-in, read from a key=value
// profile text (format in README.md beside this file).

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct tSimProfile {
  static constexpr int kMaxProcessors = 64;

  std::string Vendor = "GenuineIntel";
  uint32_t Signature = 0;
  int Processors = 1;
  double TscMhz = 1000.0;
  double BaseRatio = 0.0;       // 0: bits 15..8 of MSR 0xCE of processor 0
  double EffectiveRatio = 0.0;  // 0: fixed counter 1 stands still
  std::map<uint32_t, uint64_t> AllMsrs;                 // msr.N=V
  std::map<uint32_t, uint64_t> CpuMsrs[kMaxProcessors];  // msr.N.P=V
  std::map<uint32_t, uint32_t> PciDevices;  // vendor << 16 | device -> address
  std::map<uint64_t, uint32_t> PciRegs;     // address << 8 | register -> value
  bool K8Sensors = false;
  uint8_t K8Reading[2] = {};
  bool FailInitialize = false;
  bool FailCpuid = false;
  bool NoMsrs = false;  // every MSR access fails
  typedef std::array<uint32_t, 4> tLeaf;                  // eax, ebx, ecx, edx
  std::map<uint32_t, tLeaf> AllLeaves;                    // cpuid.LEAF=...
  std::map<uint32_t, tLeaf> CpuLeaves[kMaxProcessors];   // cpuid.LEAF.P=...
  std::string Brand;                                      // CPUID 0x80000002..4
  std::map<uint32_t, uint32_t> Smn;  // SMN address -> value; unset reads all ones

  uint64_t Msr(int processor, uint32_t index) const;
  // CPUID leaf as processor sees it (see README.md for the derived leaves).
  tLeaf Cpuid(int processor, uint32_t leaf) const;
  // The SMN register at address: all ones when the profile has none.
  uint32_t SmnRegister(uint32_t address) const;
};

// Applies the lines of text to profile; false with a message on a bad line.
// "base=NAME" first applies the built-in profile NAME.
bool ParseSimProfile(const std::string& text, tSimProfile& profile, std::string& error);

// The text of a built-in profile, or null when there is none of that name.
const char* FindBuiltinProfile(const std::string& name);

// Name of the profile used when nothing else is chosen.
constexpr const char* kDefaultSimProfile = "haswell";
