// Stand-in for the AMD Display Library ("atiadlxx.dll" and "atiadlxy.dll"
// are both built from this file): adapters, their activity and the failures
// of each call come from a profile. README.md beside this file lists the
// keys. Structures are written at the library's byte offsets.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/SimProfile_win.h"

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kError = -1;
constexpr int32_t kNotInitialised = -2;
constexpr int32_t kInvalidParameter = -3;
constexpr int32_t kInvalidAdapter = -5;
constexpr int32_t kNotSupported = -8;
constexpr int32_t kInfoSize = 1572;

typedef void*(__stdcall* TAlloc)(int32_t size);

bool g_created = false;

TSimProfile Profile() { return TSimProfile(SimLocate("KES_ADL_PROFILE", "atiadl.profile")); }

// Appends "create <file name of this DLL> result=<status>" to the log, so a
// test sees which of the two library names a reader loaded.
void LogCreate(int32_t rc) {
  char path[MAX_PATH];
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&LogCreate), &self);
  const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  const std::string module(path, n < MAX_PATH ? n : 0);
  const size_t slash = module.find_last_of("\\/");
  FILE* log = std::fopen(SimLocate("KES_ADL_LOG", "atiadl.log").c_str(), "ab");
  if (!log) return;
  std::fprintf(log, "create %s result=%d\n", module.substr(slash == std::string::npos ? 0 : slash + 1).c_str(),
               static_cast<int>(rc));
  std::fclose(log);
}

int64_t AdapterInt(const TSimProfile& p, int adapter, const std::string& name, int64_t def) {
  return p.Int("adapter" + std::to_string(adapter) + "." + name, def);
}

int32_t Count(const TSimProfile& p) {
  const int64_t n = p.Int("adapters", 1);
  return n < 0 ? 0 : n > 64 ? 64 : static_cast<int32_t>(n);
}

// The profile position of the adapter with this adapter index, or -1.
int Find(const TSimProfile& p, int32_t adapterIndex) {
  for (int i = 0; i < Count(p); ++i)
    if (AdapterInt(p, i, "index", i) == adapterIndex) return i;
  return -1;
}

// Common checks of a per-adapter call; 0 lets the call go on.
int32_t Check(const TSimProfile& p, int32_t adapterIndex, const void* out, const char* call, int& adapter) {
  if (!g_created) return kNotInitialised;
  if (!out) return kInvalidParameter;
  adapter = Find(p, adapterIndex);
  if (adapter < 0) return kInvalidAdapter;
  return static_cast<int32_t>(AdapterInt(p, adapter, std::string("status.") + call, 0));
}

}  // namespace

extern "C" {

int32_t ADL_Main_Control_Create(TAlloc alloc, int32_t connectedOnly) {
  const TSimProfile p = Profile();
  if (!alloc || (connectedOnly != 0 && connectedOnly != 1)) return kInvalidParameter;
  // The library hands out memory through the callback: it must give a block.
  void* probe = alloc(16);
  if (!probe) return kError;
  const int32_t rc = static_cast<int32_t>(p.Int("create", 0));
  if (rc == 0) g_created = true;
  LogCreate(rc);
  return rc;
}

int32_t ADL_Main_Control_Destroy() {
  if (!g_created) return kNotInitialised;
  g_created = false;
  return kOk;
}

int32_t ADL_Adapter_NumberOfAdapters_Get(int32_t* count) {
  const TSimProfile p = Profile();
  if (!g_created) return kNotInitialised;
  if (!count) return kInvalidParameter;
  const int32_t rc = static_cast<int32_t>(p.Int("count", 0));
  if (rc != 0) return rc;
  *count = Count(p);
  return kOk;
}

int32_t ADL_Adapter_AdapterInfo_Get(void* info, int32_t bytes) {
  const TSimProfile p = Profile();
  if (!g_created) return kNotInitialised;
  const int32_t n = Count(p);
  if (!info || bytes < n * kInfoSize) return kInvalidParameter;
  const int32_t rc = static_cast<int32_t>(p.Int("info", 0));
  if (rc != 0) return rc;
  std::memset(info, 0, static_cast<size_t>(n) * kInfoSize);
  for (int i = 0; i < n; ++i) {
    void* rec = static_cast<unsigned char*>(info) + static_cast<size_t>(i) * kInfoSize;
    SimPut(rec, 0, kInfoSize);
    SimPut(rec, 4, AdapterInt(p, i, "index", i));
  }
  return kOk;
}

int32_t ADL_Adapter_Active_Get(int32_t adapterIndex, int32_t* active) {
  const TSimProfile p = Profile();
  int a;
  if (int32_t rc = Check(p, adapterIndex, active, "active", a)) return rc;
  *active = static_cast<int32_t>(AdapterInt(p, a, "active", 1));
  return kOk;
}

int32_t ADL_Overdrive5_FanSpeedInfo_Get(int32_t adapterIndex, int32_t controller, void* info) {
  const TSimProfile p = Profile();
  int a;
  if (int32_t rc = Check(p, adapterIndex, info, "faninfo", a)) return rc;
  if (controller != 0) return kInvalidParameter;
  SimPut(info, 4, AdapterInt(p, a, "fan.flags", 1));
  SimPut(info, 8, 0);
  SimPut(info, 12, 100);
  SimPut(info, 16, 0);
  SimPut(info, 20, 4000);
  return kOk;
}

int32_t ADL_Overdrive5_FanSpeed_Get(int32_t adapterIndex, int32_t controller, void* value) {
  const TSimProfile p = Profile();
  int a;
  if (int32_t rc = Check(p, adapterIndex, value, "fan", a)) return rc;
  if (controller != 0) return kInvalidParameter;
  int32_t type;
  std::memcpy(&type, static_cast<unsigned char*>(value) + 4, 4);
  if (type != 1) return kNotSupported;  // only percentages are simulated
  SimPut(value, 8, AdapterInt(p, a, "fan.speed", 45));
  return kOk;
}

int32_t ADL_Overdrive5_CurrentActivity_Get(int32_t adapterIndex, void* activity) {
  const TSimProfile p = Profile();
  int a;
  if (int32_t rc = Check(p, adapterIndex, activity, "activity", a)) return rc;
  SimPut(activity, 4, AdapterInt(p, a, "engine", 50000));
  SimPut(activity, 8, AdapterInt(p, a, "memory", 90000));
  SimPut(activity, 12, 1100);
  SimPut(activity, 16, AdapterInt(p, a, "activity", 37));
  SimPut(activity, 20, 2);
  return kOk;
}

int32_t ADL_Overdrive5_Temperature_Get(int32_t adapterIndex, int32_t controller, void* temperature) {
  const TSimProfile p = Profile();
  int a;
  if (int32_t rc = Check(p, adapterIndex, temperature, "temp", a)) return rc;
  if (controller != 0) return kInvalidParameter;
  SimPut(temperature, 4, AdapterInt(p, a, "temp", 61400));
  return kOk;
}

}  // extern "C"
