#include <windows.h>

#include "applet/sensors/ATIUnit.h"

#include <utility>

#include "common/ProcAddress_win.h"

namespace {

struct TLoaded {
  TAdlApi api{};
  std::shared_ptr<void> library;
  bool ready = false;
};

TLoaded LoadAdl() {
  TLoaded l;
  tUniqueModule owner(LoadLibraryA("atiadlxx.dll"));
  if (!owner) owner.reset(LoadLibraryA("atiadlxy.dll"));
  if (!owner) return l;
  const HMODULE module = owner.get();
  l.library = ShareModule(std::move(owner));
  TAdlMainControlCreate create = nullptr;
  ResolveProc(module, "ADL_Main_Control_Create", create);
  if (!create || create(&AdlAlloc, kAdlConnectedAdaptersOnly) != 0) return l;
  ResolveProc(module, "ADL_Adapter_NumberOfAdapters_Get", l.api.NumberOfAdapters);
  ResolveProc(module, "ADL_Adapter_AdapterInfo_Get", l.api.AdapterInfo);
  ResolveProc(module, "ADL_Adapter_Active_Get", l.api.AdapterActive);
  ResolveProc(module, "ADL_Overdrive5_FanSpeedInfo_Get", l.api.FanSpeedInfo);
  ResolveProc(module, "ADL_Overdrive5_FanSpeed_Get", l.api.FanSpeed);
  ResolveProc(module, "ADL_Overdrive5_CurrentActivity_Get", l.api.CurrentActivity);
  ResolveProc(module, "ADL_Overdrive5_Temperature_Get", l.api.Temperature);
  ResolveProc(module, "ADL_Main_Control_Destroy", l.api.MainControlDestroy);
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
