#include <windows.h>

#include "applet/sensors/NvUnit.h"

#include "common/ProcAddress_win.h"

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
  TNvQueryInterface query = nullptr;
  if (!ResolveProc(module, "nvapi_QueryInterface", query) || ResolveNvApi(query, g_api) != 0) return -1;
  g_loaded = true;
  return 0;
}

tNvGPU::tNvGPU() : tNvGPU((LoadNvApi() & 0xFF) == 0 ? &g_api : nullptr) {}
