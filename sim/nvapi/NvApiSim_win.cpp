// Stand-in for "nvapi.dll": physical GPUs with readings and per-call results
// from a profile, reached through "nvapi_QueryInterface" by interface id.
// README.md beside this file lists the profile keys. The structures are
// written at the byte offsets of the interface, field by field.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include "sim/SimProfile_win.h"

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kNotInitialised = -4;
constexpr int32_t kInvalidArgument = -5;
constexpr int32_t kBadHandle = -101;
constexpr int32_t kWrongVersion = -9;
constexpr uint32_t kMaxGpus = 64;

bool g_initialised = false;
unsigned char g_gpuMarks[kMaxGpus];  // the handles are the addresses of these bytes

TSimProfile Profile() { return TSimProfile(SimLocate("KES_NVAPI_PROFILE", "nvapi.profile")); }

std::string Key(int gpu, const char* name) { return "gpu" + std::to_string(gpu) + "." + name; }

// The GPU a handle names, or -1.
int GpuOf(const void* handle, const TSimProfile& p) {
  const auto* mark = static_cast<const unsigned char*>(handle);
  if (mark < g_gpuMarks || mark >= g_gpuMarks + kMaxGpus) return -1;
  const int gpu = static_cast<int>(mark - g_gpuMarks);
  return gpu < p.Int("gpus", 1) ? gpu : -1;
}

uint32_t VersionOf(const void* s) {
  uint32_t v;
  std::memcpy(&v, s, 4);
  return v;
}

// Common checks of a per-GPU call; 0 lets the call go on.
int32_t Check(const TSimProfile& p, const void* handle, const void* out, int& gpu) {
  if (!g_initialised) return kNotInitialised;
  if (!out) return kInvalidArgument;
  gpu = GpuOf(handle, p);
  return gpu < 0 ? kBadHandle : kOk;
}

int32_t Status(const TSimProfile& p, int gpu, const char* call) {
  return static_cast<int32_t>(p.Int(Key(gpu, (std::string("status.") + call).c_str()), 0));
}

int32_t Initialize() {
  const int32_t rc = static_cast<int32_t>(Profile().Int("initialize", 0));
  if (rc >= 0) g_initialised = true;
  return rc;
}

int32_t EnumPhysicalGPUs(void** handles, uint32_t* count) {
  const TSimProfile p = Profile();
  if (!g_initialised) return kNotInitialised;
  if (!handles || !count) return kInvalidArgument;
  const int32_t rc = static_cast<int32_t>(p.Int("enumerate", 0));
  if (rc != 0) return rc;
  int64_t n = p.Int("gpus", 1);
  if (n < 0) n = 0;
  if (n > kMaxGpus) n = kMaxGpus;
  for (int64_t i = 0; i < n; ++i) handles[i] = &g_gpuMarks[i];
  *count = static_cast<uint32_t>(n);
  return kOk;
}

int32_t GetThermalSettings(void* handle, int32_t sensorIndex, void* settings) {
  const TSimProfile p = Profile();
  int gpu;
  if (int32_t rc = Check(p, handle, settings, gpu)) return rc;
  if (VersionOf(settings) != 0x00010044u) return kWrongVersion;
  if (sensorIndex != 15 && (sensorIndex < 0 || sensorIndex > 2)) return kInvalidArgument;
  if (int32_t rc = Status(p, gpu, "thermal")) return rc;
  SimPut(settings, 4, p.Int(Key(gpu, "sensors"), 1));
  for (int slot = 0; slot < 3; ++slot) {
    const std::string s = "sensor" + std::to_string(slot) + ".";
    const size_t at = 8 + 20 * slot;
    SimPut(settings, at + 0, p.Int(Key(gpu, (s + "controller").c_str()), 1));
    SimPut(settings, at + 4, 0);
    SimPut(settings, at + 8, 127);
    SimPut(settings, at + 12, p.Int(Key(gpu, (s + "temp").c_str()), slot == 0 ? 55 : 0));
    SimPut(settings, at + 16, p.Int(Key(gpu, (s + "target").c_str()), slot == 0 ? 1 : 0));
  }
  return kOk;
}

int32_t GetCoolerSettings(void* handle, int32_t coolerIndex, void* settings) {
  const TSimProfile p = Profile();
  int gpu;
  if (int32_t rc = Check(p, handle, settings, gpu)) return rc;
  if (VersionOf(settings) != 0x000203C8u) return kWrongVersion;
  if (coolerIndex != 0) return kInvalidArgument;
  if (int32_t rc = Status(p, gpu, "cooler")) return rc;
  SimPut(settings, 4, p.Int(Key(gpu, "cooler.count"), 1));
  SimPut(settings, 32, p.Int(Key(gpu, "cooler.level"), 40));
  return kOk;
}

int32_t GetUsages(void* handle, void* usages) {
  const TSimProfile p = Profile();
  int gpu;
  if (int32_t rc = Check(p, handle, usages, gpu)) return rc;
  if (VersionOf(usages) != 0x00010088u) return kWrongVersion;
  if (int32_t rc = Status(p, gpu, "usages")) return rc;
  SimPut(usages, 4, 1);  // word 0: the usages are valid
  SimPut(usages, 12, p.Int(Key(gpu, "usage.gpu"), 30));
  SimPut(usages, 28, p.Int(Key(gpu, "usage.memory"), 12));
  return kOk;
}

int32_t GetAllClocks(void* handle, void* clocks) {
  const TSimProfile p = Profile();
  int gpu;
  if (int32_t rc = Check(p, handle, clocks, gpu)) return rc;
  if (VersionOf(clocks) != 0x00020484u) return kWrongVersion;
  if (int32_t rc = Status(p, gpu, "clocks")) return rc;
  SimPut(clocks, 4, p.Int(Key(gpu, "clock.core"), 405000));
  SimPut(clocks, 36, p.Int(Key(gpu, "clock.memory"), 1848000));
  SimPut(clocks, 124, p.Int(Key(gpu, "clock.word30"), 0));
  return kOk;
}

int32_t GetTachReading(void* handle, uint32_t* rpm) {
  const TSimProfile p = Profile();
  int gpu;
  if (int32_t rc = Check(p, handle, rpm, gpu)) return rc;
  if (int32_t rc = Status(p, gpu, "tach")) return rc;
  *rpm = static_cast<uint32_t>(p.Int(Key(gpu, "tach"), 1500));
  return kOk;
}

// Ids listed under "missing" (comma or space separated) are not answered.
bool Missing(const TSimProfile& p, uint32_t id) {
  std::string list = p.Str("missing");
  for (char& c : list)
    if (c == ',') c = ' ';
  std::istringstream in(list);
  std::string item;
  while (in >> item)
    if (static_cast<uint32_t>(std::strtoul(item.c_str(), nullptr, 0)) == id) return true;
  return false;
}

}  // namespace

extern "C" void* nvapi_QueryInterface(uint32_t id) {
  const TSimProfile p = Profile();
  if (Missing(p, id)) return nullptr;
  switch (id) {
    case 0x0150E828u: return reinterpret_cast<void*>(&Initialize);
    case 0xE5AC921Fu: return reinterpret_cast<void*>(&EnumPhysicalGPUs);
    case 0xE3640A56u: return reinterpret_cast<void*>(&GetThermalSettings);
    case 0xDA141340u: return reinterpret_cast<void*>(&GetCoolerSettings);
    case 0x189A1FDFu: return reinterpret_cast<void*>(&GetUsages);
    case 0x1BD69F49u: return reinterpret_cast<void*>(&GetAllClocks);
    case 0x5F608315u: return reinterpret_cast<void*>(&GetTachReading);
    default: return nullptr;
  }
}
