#include <windows.h>

#include "applet/lcd/G15Unit.h"

#include <string>

namespace {

template <class Fn>
void Resolve(HMODULE module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The folder of the running program, with a trailing backslash.
std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  std::string folder(path, n);
  const size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

}  // namespace

TLgLcdLibrary LoadLgLcdWrapper() {
  TLgLcdLibrary lib;
  const std::string folder = ProgramFolder();
  if (folder.empty()) return lib;
  HMODULE module = LoadLibraryA((folder + "lgLcdWrapper.dll").c_str());
  if (!module) return lib;
  lib.module = std::shared_ptr<void>(module, [](void* m) { FreeLibrary(static_cast<HMODULE>(m)); });
  TLgLcdApi& api = lib.api;
  Resolve(module, "lgLcdInitWrap", api.InitWrap);
  Resolve(module, "lgLcdDeInitWrap", api.DeInitWrap);
  Resolve(module, "lgLcdConnectAWrap", api.ConnectAWrap);
  Resolve(module, "lgLcdDisconnectWrap", api.DisconnectWrap);
  Resolve(module, "lgLcdEnumerateWrap", api.EnumerateWrap);
  Resolve(module, "lgLcdOpenWrap", api.OpenWrap);
  Resolve(module, "lgLcdCloseWrap", api.CloseWrap);
  Resolve(module, "lgLcdUpdateBitmapWrap", api.UpdateBitmapWrap);
  Resolve(module, "lgLcdReadSoftButtonsWrap", api.ReadSoftButtonsWrap);
  Resolve(module, "lgLcdSetAsLCDForegroundAppWrap", api.SetAsLCDForegroundAppWrap);
  return lib;
}

TLcdG15::TLcdG15(const char* appName, bool configurable, bool autostartable, bool persistent)
    : TLcdG15(LoadLgLcdWrapper(), appName, configurable, autostartable, persistent) {}
