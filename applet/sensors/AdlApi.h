// The part of the AMD Display Library that the ATI reader uses: structures
// and the function table. Functions use the C calling convention, the
// allocation callback the standard one (they differ only in 32-bit x86).
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define KES_ADL_CALL __attribute__((__cdecl__))
#define KES_ADL_CALLBACK __attribute__((__stdcall__))
#else
#define KES_ADL_CALL
#define KES_ADL_CALLBACK
#endif

constexpr int32_t kAdlConnectedAdaptersOnly = 1;
constexpr int32_t kAdlThermalController0 = 0;
constexpr int32_t kAdlFanSpeedPercent = 1;     // speed type of a fan-speed value
constexpr int32_t kAdlFanReadsPercent = 1;     // flag bit of the fan-speed information

// One adapter-information record as the library fills it; only the adapter
// index, which names the adapter in every other call, is read.
struct TAdlAdapterInfo {
  int32_t size;
  int32_t adapterIndex;
  uint8_t rest[1564];
};

struct TAdlFanSpeedInfo {
  int32_t size;
  int32_t flags;
  int32_t minPercent;
  int32_t maxPercent;
  int32_t minRpm;
  int32_t maxRpm;
};

struct TAdlFanSpeedValue {
  int32_t size;
  int32_t speedType;
  int32_t fanSpeed;
  int32_t flags;
};

struct TAdlActivity {
  int32_t size;
  int32_t engineClock;  // 10 kHz
  int32_t memoryClock;  // 10 kHz
  int32_t vddc;
  int32_t activityPercent;
  int32_t currentPerformanceLevel;
  int32_t currentBusSpeed;
  int32_t currentBusLanes;
  int32_t maximumBusLanes;
  int32_t reserved;
};

struct TAdlTemperature {
  int32_t size;
  int32_t temperature;  // thousandths of a degree Celsius
};

static_assert(sizeof(TAdlAdapterInfo) == 1572 && offsetof(TAdlAdapterInfo, adapterIndex) == 4, "adapter info");
static_assert(sizeof(TAdlFanSpeedInfo) == 24 && offsetof(TAdlFanSpeedInfo, flags) == 4, "fan-speed info");
static_assert(sizeof(TAdlFanSpeedValue) == 16 && offsetof(TAdlFanSpeedValue, fanSpeed) == 8, "fan-speed value");
static_assert(sizeof(TAdlActivity) == 40 && offsetof(TAdlActivity, activityPercent) == 16, "activity");
static_assert(sizeof(TAdlTemperature) == 8, "temperature");

typedef void*(KES_ADL_CALLBACK* TAdlAllocCallback)(int32_t size);

// The eight functions looked up after a successful ADL_Main_Control_Create;
// a missing one is null and counts as a failing call.
struct TAdlApi {
  int32_t(KES_ADL_CALL* NumberOfAdapters)(int32_t* count);
  int32_t(KES_ADL_CALL* AdapterInfo)(TAdlAdapterInfo* info, int32_t bytes);
  int32_t(KES_ADL_CALL* AdapterActive)(int32_t adapterIndex, int32_t* active);
  int32_t(KES_ADL_CALL* FanSpeedInfo)(int32_t adapterIndex, int32_t controller, TAdlFanSpeedInfo* info);
  int32_t(KES_ADL_CALL* FanSpeed)(int32_t adapterIndex, int32_t controller, TAdlFanSpeedValue* value);
  int32_t(KES_ADL_CALL* CurrentActivity)(int32_t adapterIndex, TAdlActivity* activity);
  int32_t(KES_ADL_CALL* Temperature)(int32_t adapterIndex, int32_t controller, TAdlTemperature* temperature);
  int32_t(KES_ADL_CALL* MainControlDestroy)();
};

typedef int32_t(KES_ADL_CALL* TAdlMainControlCreate)(TAdlAllocCallback alloc, int32_t connectedOnly);

// The allocation callback handed to the library: a zero-filled block from
// the program's heap (never freed by the reader, which asks for no such
// memory); null for a negative size.
void* KES_ADL_CALLBACK AdlAlloc(int32_t size);
