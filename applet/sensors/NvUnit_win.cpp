#include <windows.h>

#include "applet/sensors/NvUnit.h"

namespace {

bool g_loaded = false;
TNvApiTable g_api = NvFallbackTable();

}  // namespace

const TNvApiTable& NvApi() { return g_api; }

int32_t LoadNvApi() {
  if (g_loaded) return 0;
  // Loaded for the rest of the process: the table points into it.
  HMODULE module = LoadLibraryA("nvapi.dll");
  if (!module) return 254;
  auto query = reinterpret_cast<TNvQueryInterface>(
      reinterpret_cast<void*>(GetProcAddress(module, "nvapi_QueryInterface")));
  if (!query || ResolveNvApi(query, g_api) != 0) return -1;
  g_loaded = true;
  return 0;
}

tNvGPU::tNvGPU() : tNvGPU((LoadNvApi() & 0xFF) == 0 ? &g_api : nullptr) {}
