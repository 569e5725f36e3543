#include <windows.h>

#include "applet/sensors/ATIUnit.h"

namespace {

template <class Fn>
void Resolve(HMODULE module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct TLoaded {
  TAdlApi api{};
  std::shared_ptr<void> library;
  bool ready = false;
};

TLoaded LoadAdl() {
  TLoaded l;
  HMODULE module = LoadLibraryA("atiadlxx.dll");
  if (!module) module = LoadLibraryA("atiadlxy.dll");
  if (!module) return l;
  l.library = std::shared_ptr<void>(module, [](void* m) { FreeLibrary(static_cast<HMODULE>(m)); });
  TAdlMainControlCreate create = nullptr;
  Resolve(module, "ADL_Main_Control_Create", create);
  if (!create || create(&AdlAlloc, kAdlConnectedAdaptersOnly) != 0) return l;
  Resolve(module, "ADL_Adapter_NumberOfAdapters_Get", l.api.NumberOfAdapters);
  Resolve(module, "ADL_Adapter_AdapterInfo_Get", l.api.AdapterInfo);
  Resolve(module, "ADL_Adapter_Active_Get", l.api.AdapterActive);
  Resolve(module, "ADL_Overdrive5_FanSpeedInfo_Get", l.api.FanSpeedInfo);
  Resolve(module, "ADL_Overdrive5_FanSpeed_Get", l.api.FanSpeed);
  Resolve(module, "ADL_Overdrive5_CurrentActivity_Get", l.api.CurrentActivity);
  Resolve(module, "ADL_Overdrive5_Temperature_Get", l.api.Temperature);
  Resolve(module, "ADL_Main_Control_Destroy", l.api.MainControlDestroy);
  l.ready = true;
  return l;
}

}  // namespace

tAtiGPU::tAtiGPU() {
  TLoaded l = LoadAdl();
  library_ = std::move(l.library);
  if (!l.ready) return;
  api_ = l.api;
  Init();
}
