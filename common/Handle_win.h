#pragma once
// Move-only owners of Windows handles: the only code that closes or frees them.
// Each traits type names the handle, its invalid value and its close call.

#include <windows.h>

template <typename Traits>
class tUniqueResource {
 public:
  using type = typename Traits::type;
  tUniqueResource() = default;
  explicit tUniqueResource(type value) : Value(value) {}
  ~tUniqueResource() { reset(); }
  tUniqueResource(tUniqueResource&& other) noexcept : Value(other.release()) {}
  tUniqueResource& operator=(tUniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  tUniqueResource(const tUniqueResource&) = delete;
  tUniqueResource& operator=(const tUniqueResource&) = delete;

  type get() const { return Value; }
  explicit operator bool() const { return Value != Traits::Invalid(); }
  type release() {
    type value = Value;
    Value = Traits::Invalid();
    return value;
  }
  void reset(type value = Traits::Invalid()) {
    if (Value != Traits::Invalid()) Traits::Close(Value);
    Value = value;
  }

 private:
  type Value = Traits::Invalid();
};

struct tNullHandleTraits {
  using type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct tInvalidHandleTraits {
  using type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct tModuleTraits {
  using type = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};

using tUniqueHandle = tUniqueResource<tNullHandleTraits>;          // null is invalid
using tUniqueFileHandle = tUniqueResource<tInvalidHandleTraits>;   // INVALID_HANDLE_VALUE is invalid
using tUniqueModule = tUniqueResource<tModuleTraits>;
