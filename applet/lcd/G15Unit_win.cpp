#include <windows.h>

#include "applet/lcd/G15Unit.h"

#include <string>

#include "common/ProcAddress_win.h"
#include "common/ProgramFiles_win.h"

TLgLcdLibrary LoadLgLcdWrapper() {
  const std::string folder = ProgramFolder();
  if (folder.empty()) return TLgLcdLibrary();
  return LoadLgLcdWrapper(folder + "lgLcdWrapper.dll");
}

TLgLcdLibrary LoadLgLcdWrapper(const std::string& path) {
  TLgLcdLibrary lib;
  if (path.empty()) return lib;
  tUniqueModule owner(LoadLibraryA(path.c_str()));
  if (!owner) return lib;
  const HMODULE module = owner.get();
  lib.module = ShareModule(std::move(owner));
  TLgLcdApi& api = lib.api;
  ResolveProc(module, "lgLcdInitWrap", api.InitWrap);
  ResolveProc(module, "lgLcdDeInitWrap", api.DeInitWrap);
  ResolveProc(module, "lgLcdConnectAWrap", api.ConnectAWrap);
  ResolveProc(module, "lgLcdDisconnectWrap", api.DisconnectWrap);
  ResolveProc(module, "lgLcdEnumerateWrap", api.EnumerateWrap);
  ResolveProc(module, "lgLcdOpenWrap", api.OpenWrap);
  ResolveProc(module, "lgLcdCloseWrap", api.CloseWrap);
  ResolveProc(module, "lgLcdUpdateBitmapWrap", api.UpdateBitmapWrap);
  ResolveProc(module, "lgLcdReadSoftButtonsWrap", api.ReadSoftButtonsWrap);
  ResolveProc(module, "lgLcdSetAsLCDForegroundAppWrap", api.SetAsLCDForegroundAppWrap);
  return lib;
}

TLcdG15::TLcdG15(const char* appName, bool configurable, bool autostartable, bool persistent)
    : TLcdG15(LoadLgLcdWrapper(), appName, configurable, autostartable, persistent) {}
