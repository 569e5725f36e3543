#pragma once
// Entry points of libraries loaded at run time, and shared ownership of a
// loaded library for readers whose tables point into it.

#include <windows.h>

#include <memory>
#include <utility>

#include "common/Handle_win.h"

// Resolves one entry point into its typed table slot; false (and a null
// slot) when the library does not export it.
template <typename Fn>
bool ResolveProc(HMODULE module, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

// A shared owner of a loaded library: the library is freed when the last
// copy goes. Empty for an empty module.
inline std::shared_ptr<void> ShareModule(tUniqueModule module) {
  if (!module) return nullptr;
  return std::make_shared<tUniqueModule>(std::move(module));
}
