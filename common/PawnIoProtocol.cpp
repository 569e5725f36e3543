#include "common/PawnIoProtocol.h"

#include <cstdio>
#include <cstring>

namespace {

struct tModuleRow {
  tPawnIoModule Module;
  const char* Name;
};

const tModuleRow kModules[] = {
    {tPawnIoModule::IntelMsr, "IntelMSR"},        // every Intel processor
    {tPawnIoModule::AmdFamily17, "AMDFamily17"},  // Zen: families 17h..1Ah
    {tPawnIoModule::AmdFamily10, "AMDFamily10"},  // families 10h..16h
    {tPawnIoModule::AmdFamily0F, "AMDFamily0F"},  // K8
};

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

const char* WinRing0Reason(tWinRing0State state) {
  switch (state) {
    case tWinRing0State::NotLoaded: return "WinRing0.dll could not be loaded";
    case tWinRing0State::NotReady: return "WinRing0.dll did not start its driver";
    default: return "WinRing0.dll not found";
  }
}

std::string PawnIoPrefix() { return "PawnIO: "; }

}  // namespace

bool PackPawnIoRequest(const std::string& function, const uint64_t* args, size_t argCount,
                       std::vector<uint8_t>& out) {
  if (function.empty() || function.size() > kPawnIoMaxName ||
      function.find('\0') != std::string::npos)
    return false;
  out.assign(kPawnIoNameField + 8 * argCount, 0);
  std::memcpy(out.data(), function.data(), function.size());
  for (size_t i = 0; i < argCount; ++i)
    for (size_t b = 0; b < 8; ++b)
      out[kPawnIoNameField + 8 * i + b] = static_cast<uint8_t>(args[i] >> (8 * b));
  return true;
}

size_t UnpackPawnIoResults(const uint8_t* bytes, size_t size, uint64_t* results, size_t count) {
  const size_t whole = size / 8 < count ? size / 8 : count;
  for (size_t i = 0; i < whole; ++i) {
    uint64_t value = 0;
    for (size_t b = 0; b < 8; ++b) value |= uint64_t(bytes[8 * i + b]) << (8 * b);
    results[i] = value;
  }
  return whole;
}

std::string FormatPawnIoVersion(uint32_t version) {
  return std::to_string(version >> 16 & 0xFFFF) + "." + std::to_string(version >> 8 & 0xFF) + "." +
         std::to_string(version & 0xFF);
}

tPawnIoModule SelectPawnIoModule(const char* vendor, uint32_t family) {
  if (std::memcmp(vendor, "GenuineIntel", 12) == 0) return tPawnIoModule::IntelMsr;
  if (std::memcmp(vendor, "AuthenticAMD", 12) != 0) return tPawnIoModule::None;
  if (family >= 0x17 && family <= 0x1A) return tPawnIoModule::AmdFamily17;
  if (family >= 0x10 && family <= 0x16) return tPawnIoModule::AmdFamily10;
  if (family == 0x0F) return tPawnIoModule::AmdFamily0F;
  return tPawnIoModule::None;
}

const char* PawnIoModuleName(tPawnIoModule module) {
  for (const tModuleRow& row : kModules)
    if (row.Module == module) return row.Name;
  return "";
}

std::string PawnIoModuleFileName(tPawnIoModule module) {
  const char* name = PawnIoModuleName(module);
  return *name ? std::string(name) + ".bin" : std::string();
}

tModuleFile CheckPawnIoModuleFile(bool exists, uint64_t size) {
  if (!exists) return tModuleFile::Missing;
  if (size == 0) return tModuleFile::Empty;
  if (size > kPawnIoMaxModuleBytes) return tModuleFile::TooLarge;
  return tModuleFile::Usable;
}

tPawnIoOpen ClassifyPawnIoOpenError(uint32_t windowsError) {
  constexpr uint32_t kErrorFileNotFound = 2, kErrorPathNotFound = 3, kErrorAccessDenied = 5;
  if (windowsError == kErrorFileNotFound || windowsError == kErrorPathNotFound)
    return tPawnIoOpen::NotInstalled;
  if (windowsError == kErrorAccessDenied) return tPawnIoOpen::AccessDenied;
  return tPawnIoOpen::Failed;
}

tBackEndChoice DecideDriverBackEnd(const tBackEndFacts& facts) {
  tBackEndChoice choice;
  if (facts.WinRing0 == tWinRing0State::Ready) {
    choice.BackEnd = tDriverBackEnd::WinRing0;
    choice.LogLine = "Driver: WinRing0.dll";
    return choice;
  }
  switch (facts.PawnIo) {
    case tPawnIoOpen::NotInstalled:
      choice.LogLine = std::string(WinRing0Reason(facts.WinRing0)) + "; PawnIO not installed";
      return choice;
    case tPawnIoOpen::AccessDenied:
      choice.LogLine = PawnIoPrefix() + "access denied (run as the service or as administrator)";
      return choice;
    case tPawnIoOpen::Failed:
      choice.LogLine = PawnIoPrefix() + "the device could not be opened (error " +
                       std::to_string(facts.OpenError) + ")";
      return choice;
    case tPawnIoOpen::Opened: break;
  }
  if (facts.Module == tPawnIoModule::None) {
    choice.LogLine = PawnIoPrefix() + "no module for this processor";
    return choice;
  }
  const std::string file = PawnIoModuleFileName(facts.Module);
  switch (facts.File) {
    case tModuleFile::Missing:
      choice.LogLine = PawnIoPrefix() + "module " + file + " not found beside the program";
      return choice;
    case tModuleFile::Unreadable:
      choice.LogLine = PawnIoPrefix() + "module " + file + " could not be read";
      return choice;
    case tModuleFile::Empty:
      choice.LogLine = PawnIoPrefix() + "module " + file + " is empty";
      return choice;
    case tModuleFile::TooLarge:
      choice.LogLine = PawnIoPrefix() + "module " + file + " is larger than 1 MiB";
      return choice;
    case tModuleFile::Usable: break;
  }
  if (facts.LoadStatus != kNtSuccess) {
    choice.LogLine = PawnIoPrefix() + "module " + file + " refused by the driver (status " +
                     Hex32(facts.LoadStatus) + ")";
    return choice;
  }
  choice.BackEnd = tDriverBackEnd::PawnIo;
  choice.LogLine = "Driver: PawnIO " + FormatPawnIoVersion(facts.Version) + ", module " +
                   PawnIoModuleName(facts.Module);
  return choice;
}

tBackEndChoice ChooseDriverBackEnd(tBackEndProbe& probe, tPawnIoModule module) {
  tBackEndFacts facts;
  facts.Module = module;
  facts.WinRing0 = probe.ProbeWinRing0();
  if (facts.WinRing0 == tWinRing0State::Ready) return DecideDriverBackEnd(facts);
  facts.PawnIo = probe.OpenPawnIo(facts.OpenError, facts.Version);
  if (facts.PawnIo != tPawnIoOpen::Opened || module == tPawnIoModule::None)
    return DecideDriverBackEnd(facts);
  facts.File = probe.ReadModuleFile(module);
  if (facts.File == tModuleFile::Usable) facts.LoadStatus = probe.LoadModule(module);
  return DecideDriverBackEnd(facts);
}
