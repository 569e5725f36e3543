#pragma once
// The PawnIO driver's device interface and the choice of the engine's driver
// back end, free of any Windows call: control codes, the byte layout of an
// execute request and its results, the version text, which module a
// processor needs, when a module file is used, and the log line that says
// which back end runs or why none does.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Device and control codes: CTL_CODE(41394, function, METHOD_BUFFERED, FILE_ANY_ACCESS).
constexpr const char kPawnIoDevicePath[] = "\\\\?\\GLOBALROOT\\Device\\PawnIO";
constexpr uint32_t kPawnIoDeviceType = 41394;
constexpr uint32_t PawnIoControlCode(uint32_t function) {
  return kPawnIoDeviceType << 16 | 0u << 14 | function << 2 | 0u;  // any access, buffered
}
constexpr uint32_t kPawnIoLoadCode = PawnIoControlCode(0x821);     // input: module file bytes
constexpr uint32_t kPawnIoExecuteCode = PawnIoControlCode(0x841);  // name field, arguments
constexpr uint32_t kPawnIoVersionCode = PawnIoControlCode(0x861);  // output: exactly 4 bytes

// An execute request: the function's name NUL-padded to 32 bytes (at most 31
// characters), then the arguments as little-endian ULONG64s.
constexpr size_t kPawnIoNameField = 32;
constexpr size_t kPawnIoMaxName = kPawnIoNameField - 1;

// A module file larger than this is not offered to the driver.
constexpr uint64_t kPawnIoMaxModuleBytes = 1u << 20;

// NTSTATUS values the back end tells apart.
constexpr uint32_t kNtSuccess = 0x00000000u;
constexpr uint32_t kNtInvalidParameter = 0xC000000Du;
constexpr uint32_t kNtAccessDenied = 0xC0000022u;
constexpr uint32_t kNtAlreadyInitialized = 0xC0000510u;

// The request bytes; false (and out untouched) for an empty or too long name.
bool PackPawnIoRequest(const std::string& function, const uint64_t* args, size_t argCount,
                       std::vector<uint8_t>& out);

// Up to `count` results from the output bytes; returns how many were whole.
size_t UnpackPawnIoResults(const uint8_t* bytes, size_t size, uint64_t* results, size_t count);

// (major << 16) | (minor << 8) | patch as "2.2.0".
std::string FormatPawnIoVersion(uint32_t version);

enum class tPawnIoModule { None, IntelMsr, AmdFamily17, AmdFamily10, AmdFamily0F };

// The module this processor needs: Intel -> IntelMSR; AMD families 17h..1Ah
// -> AMDFamily17, 10h..16h -> AMDFamily10, 0Fh -> AMDFamily0F; else none.
// `vendor` is the 12-character CPUID vendor text (need not be terminated).
tPawnIoModule SelectPawnIoModule(const char* vendor, uint32_t family);

// "AMDFamily17"; "" for none.
const char* PawnIoModuleName(tPawnIoModule module);
// "AMDFamily17.bin"; "" for none.
std::string PawnIoModuleFileName(tPawnIoModule module);

// Whether a module file may be offered to the driver.
enum class tModuleFile { Usable, Missing, Unreadable, Empty, TooLarge };
tModuleFile CheckPawnIoModuleFile(bool exists, uint64_t size);

enum class tDriverBackEnd { None, WinRing0, PawnIo };

// How far "WinRing0.dll" got: found, loaded, then InitializeOls and IsCpuid non-zero.
enum class tWinRing0State { NotFound, NotLoaded, NotReady, Ready };
// Opening the PawnIO device.
enum class tPawnIoOpen { Opened, NotInstalled, AccessDenied, Failed };

// A failed open by its Windows error: not found means not installed.
tPawnIoOpen ClassifyPawnIoOpenError(uint32_t windowsError);

// What the engine learnt about both back ends, in the order it asks. Facts
// after the one that decides are ignored.
struct tBackEndFacts {
  tWinRing0State WinRing0 = tWinRing0State::NotFound;
  tPawnIoOpen PawnIo = tPawnIoOpen::NotInstalled;
  uint32_t OpenError = 0;  // the Windows error of a failed open
  uint32_t Version = 0;
  tPawnIoModule Module = tPawnIoModule::None;
  tModuleFile File = tModuleFile::Missing;
  uint32_t LoadStatus = kNtSuccess;  // the driver's answer to the module load
};

struct tBackEndChoice {
  tDriverBackEnd BackEnd = tDriverBackEnd::None;
  std::string LogLine;  // which back end runs, or why none does
};

// WinRing0 when ready; otherwise PawnIO when the device opened and the module
// of this processor loaded; otherwise none, with the reason.
tBackEndChoice DecideDriverBackEnd(const tBackEndFacts& facts);

// The steps the choice takes, asked lazily in order so that nothing of
// PawnIO is touched while WinRing0 works.
class tBackEndProbe {
 public:
  virtual ~tBackEndProbe() = default;
  virtual tWinRing0State ProbeWinRing0() = 0;
  // Opens the device and reads the driver's version (as tPawnIoDevice::Open).
  virtual tPawnIoOpen OpenPawnIo(uint32_t& windowsError, uint32_t& version) = 0;
  // Checks the module's file beside the program and reads it.
  virtual tModuleFile ReadModuleFile(tPawnIoModule module) = 0;
  // Offers the file read last to the driver; its NTSTATUS.
  virtual uint32_t LoadModule(tPawnIoModule module) = 0;
};

// Runs the steps up to the one that decides. `module` is the one this
// processor needs (from the CPUID instruction, which needs no driver).
tBackEndChoice ChooseDriverBackEnd(tBackEndProbe& probe, tPawnIoModule module);
