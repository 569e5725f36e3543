// The part of the NVIDIA driver interface that the GPU reader uses: interface
// ids, the structures with their version words, and the entry-point table.
// Entry points are obtained by id through the library's one export
// "nvapi_QueryInterface"; all use the C calling convention.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define KES_NVAPI_CALL __attribute__((__cdecl__))
#else
#define KES_NVAPI_CALL
#endif

using TNvStatus = int32_t;  // 0 = success
constexpr TNvStatus kNvNoImplementation = -3;

using TNvGpuHandle = void*;
constexpr uint32_t kNvMaxPhysicalGpus = 64;
constexpr int32_t kNvAllThermalSensors = 15;

enum : uint32_t {
  kNvIdInitialize = 0x0150E828,
  kNvIdEnumPhysicalGPUs = 0xE5AC921F,
  kNvIdGetThermalSettings = 0xE3640A56,
  kNvIdGetCoolerSettings = 0xDA141340,
  kNvIdGetUsages = 0x189A1FDF,
  kNvIdGetAllClocks = 0x1BD69F49,
  kNvIdGetTachReading = 0x5F608315,
};

// A structure's first word: its size in the low 16 bits, version above.
constexpr uint32_t NvVersionWord(size_t size, uint32_t version) {
  return static_cast<uint32_t>(size) | (version << 16);
}

struct TNvThermalSensor {
  int32_t controller;
  int32_t defaultMinTemp;
  int32_t defaultMaxTemp;
  int32_t currentTemp;  // degrees Celsius
  int32_t target;       // low byte 1 = the GPU
};

struct TNvThermalSettings {
  uint32_t version;
  uint32_t count;
  TNvThermalSensor sensor[3];
};

// One cooler slot; only the current level (percent) is read.
struct TNvCooler {
  uint32_t before[6];
  uint32_t currentLevel;
  uint32_t after[5];
};

struct TNvCoolerSettings {
  uint32_t version;
  uint32_t count;
  TNvCooler cooler[20];
};

struct TNvUsages {
  uint32_t version;
  uint32_t usage[33];  // percent; 2 = graphics engine, 6 = memory controller
};

struct TNvAllClocks {
  uint32_t version;
  uint32_t clock[288];  // kHz; 0 = core, 8 = memory, 30 = core (when not 0)
};

constexpr uint32_t kNvUsageGpu = 2;
constexpr uint32_t kNvUsageMemory = 6;
constexpr uint32_t kNvClockCore = 0;
constexpr uint32_t kNvClockMemory = 8;
constexpr uint32_t kNvClockCoreAlt = 30;

static_assert(sizeof(TNvThermalSettings) == 68 && offsetof(TNvThermalSettings, sensor) == 8, "thermal settings");
static_assert(sizeof(TNvThermalSensor) == 20 && offsetof(TNvThermalSensor, currentTemp) == 12 &&
                  offsetof(TNvThermalSensor, target) == 16,
              "thermal sensor slot");
static_assert(sizeof(TNvCoolerSettings) == 968 && sizeof(TNvCooler) == 48, "cooler settings");
static_assert(offsetof(TNvCoolerSettings, cooler) + offsetof(TNvCooler, currentLevel) == 32, "cooler 0 level");
static_assert(sizeof(TNvUsages) == 136 && offsetof(TNvUsages, usage) + 4 * kNvUsageGpu == 12 &&
                  offsetof(TNvUsages, usage) + 4 * kNvUsageMemory == 28,
              "usages");
static_assert(sizeof(TNvAllClocks) == 1156 && offsetof(TNvAllClocks, clock) + 4 * kNvClockMemory == 36 &&
                  offsetof(TNvAllClocks, clock) + 4 * kNvClockCoreAlt == 124,
              "all clocks");

constexpr uint32_t kNvThermalSettingsVersion = NvVersionWord(sizeof(TNvThermalSettings), 1);
constexpr uint32_t kNvCoolerSettingsVersion = NvVersionWord(sizeof(TNvCoolerSettings), 2);
constexpr uint32_t kNvUsagesVersion = NvVersionWord(sizeof(TNvUsages), 1);
constexpr uint32_t kNvAllClocksVersion = NvVersionWord(sizeof(TNvAllClocks), 2);
static_assert(kNvThermalSettingsVersion == 0x00010044 && kNvCoolerSettingsVersion == 0x000203C8 &&
                  kNvUsagesVersion == 0x00010088 && kNvAllClocksVersion == 0x00020484,
              "version words");

typedef void*(KES_NVAPI_CALL* TNvQueryInterface)(uint32_t id);

struct TNvApiTable {
  TNvStatus(KES_NVAPI_CALL* EnumPhysicalGPUs)(TNvGpuHandle handles[kNvMaxPhysicalGpus], uint32_t* count);
  TNvStatus(KES_NVAPI_CALL* GetThermalSettings)(TNvGpuHandle gpu, int32_t sensorIndex, TNvThermalSettings* settings);
  TNvStatus(KES_NVAPI_CALL* GetCoolerSettings)(TNvGpuHandle gpu, int32_t coolerIndex, TNvCoolerSettings* settings);
  TNvStatus(KES_NVAPI_CALL* GetUsages)(TNvGpuHandle gpu, TNvUsages* usages);
  TNvStatus(KES_NVAPI_CALL* GetAllClocks)(TNvGpuHandle gpu, TNvAllClocks* clocks);
  TNvStatus(KES_NVAPI_CALL* GetTachReading)(TNvGpuHandle gpu, uint32_t* rpm);
};

// Initialises the interface through query and fills the table: every entry
// starts as a stand-in answering kNvNoImplementation and is replaced by what
// query returns for its id. Returns 0, or -1 when the initialisation entry
// point is missing or answers a negative status (the table then holds only
// the stand-ins).
int32_t ResolveNvApi(TNvQueryInterface query, TNvApiTable& table);

// A table whose every entry answers kNvNoImplementation.
TNvApiTable NvFallbackTable();
