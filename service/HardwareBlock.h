// The shared hardware block: the 316-byte record through which MorvaithSvc
// hands its processor readings to other programs, the rules by which the
// service fills it, and the rules by which a reader accepts it.
// The layout crosses a process boundary, so every offset is fixed below.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Generations.h"

// Name of the named section in the global namespace of kernel objects.
constexpr const char kHardwareBlockName[] = "Global\\{247860EB-EAFC-4966-8976-C82C2A2F68C1}";

constexpr uint32_t kHardwareBlockSize = 316;     // the current form
constexpr uint32_t kOldHardwareBlockSize = 296;  // the older form, without Generation and after
constexpr int kHardwareBlockSlots = 16;          // per-processor slots of Temperatures and Loads

#pragma pack(push, 1)
struct tHardwareBlock {
  uint32_t RecordSize;                       // 316 (296 in the older form); 0 until the first update
  uint32_t VersionMS;                        // file version: major << 16 | minor
  uint32_t VersionLS;                        // file version: release << 16 | build
  uint32_t Signature;                        // CPUID leaf 1 EAX
  int32_t ProcessorCount;                    // logical processors the sampler watches
  int32_t TjMax;                             // whole degrees Celsius, 0 when unknown
  double TscClock;                           // MHz
  double CpuClock;                           // MHz
  double Temperatures[kHardwareBlockSlots];  // degrees Celsius per logical processor
  double Loads[kHardwareBlockSlots];         // percent per logical processor
  uint32_t Generation;                       // processor generation code 0..14 (low byte)
  double MultiplierClock;                    // MHz, multiplier x bus clock (or TscClock)
  double BusClock;                           // MHz, 0 unless IsMultiplierGeneration
};
#pragma pack(pop)

static_assert(sizeof(tHardwareBlock) == kHardwareBlockSize, "block size");
static_assert(offsetof(tHardwareBlock, RecordSize) == 0, "RecordSize offset");
static_assert(offsetof(tHardwareBlock, VersionMS) == 4, "VersionMS offset");
static_assert(offsetof(tHardwareBlock, VersionLS) == 8, "VersionLS offset");
static_assert(offsetof(tHardwareBlock, Signature) == 12, "Signature offset");
static_assert(offsetof(tHardwareBlock, ProcessorCount) == 16, "ProcessorCount offset");
static_assert(offsetof(tHardwareBlock, TjMax) == 20, "TjMax offset");
static_assert(offsetof(tHardwareBlock, TscClock) == 24, "TscClock offset");
static_assert(offsetof(tHardwareBlock, CpuClock) == 32, "CpuClock offset");
static_assert(offsetof(tHardwareBlock, Temperatures) == 40, "Temperatures offset");
static_assert(offsetof(tHardwareBlock, Loads) == 168, "Loads offset");
static_assert(offsetof(tHardwareBlock, Generation) == 296, "Generation offset");
static_assert(offsetof(tHardwareBlock, MultiplierClock) == 300, "MultiplierClock offset");
static_assert(offsetof(tHardwareBlock, BusClock) == 308, "BusClock offset");


// Nearest integer, halves to even (the rounding of every integer the service
// derives from a measured value).
int RoundHalfEven(double value);

// ---- Writer side -------------------------------------------------------------

// The sampler's values the service copies every second, as plain numbers.
struct tBlockReadings {
  double TjMax = 0;
  double TscClock = 0;
  double CpuClock = 0;
  double Multiplier = 0;
  double BusClock = 0;
  uint32_t Generation = 0;
  int ProcessorCount = 0;
  const double* Temperatures = nullptr;  // ProcessorCount entries (may be null when 0)
};

// Zeroes the record and sets RecordSize and the program's file version.
void PrepareHardwareBlock(tHardwareBlock& block, uint32_t versionMS, uint32_t versionLS);

// Sets the fields written once after the sampler's warm-up.
void SetBlockIdentity(tHardwareBlock& block, uint32_t signature, int processorCount);

// Copies one second's readings into the record: clocks, rounded TjMax,
// temperatures of processors 0..min(count,16)-1, the generation, and
// MultiplierClock/BusClock by the generation rule (BusClock is left alone
// outside the multiplier generations).
void UpdateHardwareBlock(tHardwareBlock& block, const tBlockReadings& readings);

// Copies per-processor loads into the Loads slots, never past slot 15.
void StoreBlockLoads(tHardwareBlock& block, const double* loads, int count);

// ---- Reader side -------------------------------------------------------------

// What a reader takes from an accepted block.
struct tBlockReading {
  uint32_t RecordSize = 0;
  uint32_t VersionMS = 0;
  uint32_t VersionLS = 0;
  uint32_t Signature = 0;
  int32_t TjMax = 0;
  double TscClock = 0;
  double CpuClock = 0;
  double Temperatures[kHardwareBlockSlots] = {};
  uint32_t Generation = 0;      // 0 in the older form
  double MultiplierClock = 0;   // MultiplierClock, or TscClock where that is not valid
  bool HasBusClock = false;     // BusClock is only taken from a 316-byte record of a multiplier generation
  double BusClock = 0;
};

// Applies the reader's rules to the bytes of a mapped view. `length` is how
// many bytes are readable there; fields past it are never touched. Returns
// false ("no service") unless RecordSize is 296 or 316 and that many bytes
// are readable.
bool ReadHardwareBlock(const void* data, size_t length, tBlockReading& reading);

// "Service %d.%d.%d.%d" from the two version halves.
std::string FormatServiceVersion(uint32_t versionMS, uint32_t versionLS);
// The same into text, reusing its storage: no allocation once text has held
// a version as long.
void FormatServiceVersion(uint32_t versionMS, uint32_t versionLS, std::string& text);
