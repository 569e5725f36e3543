// Move-only owners of Windows handles; the only code of the service that
// closes handles, unmaps views and closes service-manager handles.
#pragma once
#include <windows.h>

template <typename T, T Invalid, typename Closer>
class tUniqueHandle {
 public:
  tUniqueHandle() = default;
  explicit tUniqueHandle(T value) : Value(value) {}
  tUniqueHandle(const tUniqueHandle&) = delete;
  tUniqueHandle& operator=(const tUniqueHandle&) = delete;
  tUniqueHandle(tUniqueHandle&& other) noexcept : Value(other.Release()) {}
  tUniqueHandle& operator=(tUniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~tUniqueHandle() { Reset(); }

  T Get() const { return Value; }
  explicit operator bool() const { return Value != Invalid; }
  T Release() {
    T value = Value;
    Value = Invalid;
    return value;
  }
  void Reset(T value = Invalid) {
    if (Value != Invalid) Closer()(Value);
    Value = value;
  }

 private:
  T Value = Invalid;
};

struct tCloseHandle {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
struct tUnmapView {
  void operator()(void* view) const { UnmapViewOfFile(view); }
};
struct tCloseServiceHandle {
  void operator()(SC_HANDLE h) const { CloseServiceHandle(h); }
};

// Handles whose invalid value is null (events, mappings, threads).
using tNullHandle = tUniqueHandle<HANDLE, nullptr, tCloseHandle>;
// A mapped view of a section.
using tMappedView = tUniqueHandle<void*, nullptr, tUnmapView>;
// A handle of the service control manager or of one service.
using tServiceHandle = tUniqueHandle<SC_HANDLE, nullptr, tCloseServiceHandle>;
// File handles, whose invalid value is INVALID_HANDLE_VALUE, are closed directly
// where they are opened: a non-type template argument cannot hold that pointer.
