#include "applet/sensors/NvApi.h"

namespace {

// The stand-in for an entry point the driver does not provide.
template <class... Args>
TNvStatus KES_NVAPI_CALL NotImplemented(Args...) {
  return kNvNoImplementation;
}

template <class R, class... Args>
void SetFallback(R(KES_NVAPI_CALL*& fn)(Args...)) {
  fn = &NotImplemented<Args...>;
}

template <class Fn>
void Lookup(TNvQueryInterface query, uint32_t id, Fn& fn) {
  SetFallback(fn);
  if (void* address = query(id)) fn = reinterpret_cast<Fn>(address);
}

}  // namespace

TNvApiTable NvFallbackTable() {
  TNvApiTable t;
  SetFallback(t.EnumPhysicalGPUs);
  SetFallback(t.GetThermalSettings);
  SetFallback(t.GetCoolerSettings);
  SetFallback(t.GetUsages);
  SetFallback(t.GetAllClocks);
  SetFallback(t.GetTachReading);
  return t;
}

int32_t ResolveNvApi(TNvQueryInterface query, TNvApiTable& table) {
  table = NvFallbackTable();
  if (!query) return -1;
  using TInitialize = TNvStatus(KES_NVAPI_CALL*)();
  void* init = query(kNvIdInitialize);
  if (!init || reinterpret_cast<TInitialize>(init)() < 0) return -1;
  Lookup(query, kNvIdEnumPhysicalGPUs, table.EnumPhysicalGPUs);
  Lookup(query, kNvIdGetThermalSettings, table.GetThermalSettings);
  Lookup(query, kNvIdGetCoolerSettings, table.GetCoolerSettings);
  Lookup(query, kNvIdGetUsages, table.GetUsages);
  Lookup(query, kNvIdGetAllClocks, table.GetAllClocks);
  Lookup(query, kNvIdGetTachReading, table.GetTachReading);
  return 0;
}
