// Owners of the handle kinds the service uses beyond those of the engine:
// mapped views and service-manager handles.
#pragma once
#include <windows.h>

#include "common/Handle_win.h"

struct tMappedViewTraits {
  using type = void*;
  static void* Invalid() { return nullptr; }
  static void Close(void* view) { UnmapViewOfFile(view); }
};
struct tServiceHandleTraits {
  using type = SC_HANDLE;
  static SC_HANDLE Invalid() { return nullptr; }
  static void Close(SC_HANDLE h) { CloseServiceHandle(h); }
};

using tMappedView = tUniqueResource<tMappedViewTraits>;
using tServiceHandle = tUniqueResource<tServiceHandleTraits>;
