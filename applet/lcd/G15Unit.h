// TLcdG15: the binding to the keyboard's LCD through "lgLcdWrapper.dll".
// The records and the entry-point table are the library's contract; the
// binding's logic works on a table, so it runs against the real library, the
// stand-in under Wine, or a fake table in a native test.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "applet/lcd/LcdFrame.h"

// The library's entry points use the C calling convention; the callbacks we
// hand it use the standard one. The difference only exists in 32-bit x86.
#if defined(_WIN32) && !defined(_WIN64)
#define KES_LGLCD_CDECL __attribute__((__cdecl__))
#define KES_LGLCD_STDCALL __attribute__((__stdcall__))
#else
#define KES_LGLCD_CDECL
#define KES_LGLCD_STDCALL
#endif

typedef int32_t(KES_LGLCD_STDCALL* TLgLcdConfigureCallback)(int32_t connection, void* context);
typedef int32_t(KES_LGLCD_STDCALL* TLgLcdSoftButtonCallback)(int32_t device, uint32_t buttons, void* context);

constexpr uint32_t kLgLcdBitmapFormat160x43x8 = 1;
constexpr uint32_t kLgLcdSynchronousUpdate = 0x80000000u;  // or-ed into the priority
constexpr uint32_t kLgLcdPriorityNormal = 128;

struct TLgLcdConnectContext {
  const char* appFriendlyName;
  int32_t isPersistent;
  int32_t isAutostartable;
  TLgLcdConfigureCallback configureCallback;
  void* configureContext;
  int32_t connection;  // -1 before the call, written by the library
};

struct TLgLcdOpenContext {
  int32_t connection;
  int32_t index;
  TLgLcdSoftButtonCallback softButtonCallback;
  void* softButtonContext;
  int32_t device;  // -1 before the call, written by the library
};

struct TLgLcdBitmap {
  uint32_t format;
  uint8_t pixels[kLcdPixels];  // rows from the top, one byte a pixel
};

static_assert(sizeof(TLgLcdBitmap) == 6884, "bitmap record");
static_assert(offsetof(TLgLcdBitmap, pixels) == 4, "bitmap pixels");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(TLgLcdConnectContext) == 24, "connect context");
static_assert(offsetof(TLgLcdConnectContext, configureCallback) == 12, "connect context");
static_assert(offsetof(TLgLcdConnectContext, connection) == 20, "connect context");
static_assert(sizeof(TLgLcdOpenContext) == 20, "open context");
static_assert(offsetof(TLgLcdOpenContext, softButtonCallback) == 8, "open context");
static_assert(offsetof(TLgLcdOpenContext, device) == 16, "open context");
#endif

// The ten entry points; a missing one is null and its operation is skipped.
struct TLgLcdApi {
  int32_t(KES_LGLCD_CDECL* InitWrap)();
  int32_t(KES_LGLCD_CDECL* DeInitWrap)();
  int32_t(KES_LGLCD_CDECL* ConnectAWrap)(TLgLcdConnectContext* context);
  int32_t(KES_LGLCD_CDECL* DisconnectWrap)(int32_t connection);
  int32_t(KES_LGLCD_CDECL* EnumerateWrap)(int32_t connection, int32_t index, void* description);
  int32_t(KES_LGLCD_CDECL* OpenWrap)(TLgLcdOpenContext* context);
  int32_t(KES_LGLCD_CDECL* CloseWrap)(int32_t device);
  int32_t(KES_LGLCD_CDECL* UpdateBitmapWrap)(int32_t device, const TLgLcdBitmap* bitmap, uint32_t priority);
  int32_t(KES_LGLCD_CDECL* ReadSoftButtonsWrap)(int32_t device, uint32_t* buttons);
  int32_t(KES_LGLCD_CDECL* SetAsLCDForegroundAppWrap)(int32_t device, int32_t foreground);
};

// A loaded library: its table and the handle that keeps it loaded (empty
// when it could not be loaded).
struct TLgLcdLibrary {
  TLgLcdApi api{};
  std::shared_ptr<void> module;
};

// Loads "lgLcdWrapper.dll" from the running program's folder and resolves the
// ten entry points by name (Windows builds only).
TLgLcdLibrary LoadLgLcdWrapper();
// The same from the given full file name.
TLgLcdLibrary LoadLgLcdWrapper(const std::string& path);

using TLcdButtonsHandler = void (*)(uint32_t buttons);
using TLcdConfigureHandler = void (*)();

class TLcdG15 {
 public:
  // Loads the library from the program's folder, registers appName and opens
  // the first device (Windows builds only). Never fails outright: Device is
  // an open device or -1 afterwards.
  TLcdG15(const char* appName, bool configurable, bool autostartable, bool persistent);
  // The same on an already loaded library.
  TLcdG15(TLgLcdLibrary library, const char* appName, bool configurable, bool autostartable, bool persistent);
  // Clears the handlers and withdraws the object from the library's
  // callbacks (waiting for one that runs now), then closes the device,
  // de-initialises and releases the library.
  ~TLcdG15();
  TLcdG15(const TLcdG15&) = delete;
  TLcdG15& operator=(const TLcdG15&) = delete;

  // Sends Canvas, converted to the LCD's 8-bit form, with this priority
  // (0..255); the update is synchronous. Nothing without a device or canvas.
  void UpdateFromCanvas(uint32_t priority);
  // Sends an all-black picture with the normal priority.
  void Clear();
  // 1 asks for the LCD's foreground, 0 gives it back. Returns the library's
  // result, 0 without a device.
  int32_t SetForeground(int32_t flag);

  const TLcdFrame* Canvas = nullptr;
  int32_t Device = -1;
  bool Foreground = false;
  // Handlers called from the library's thread. A handler must not wait for
  // the thread that destroys the binding (post, do not send).
  std::atomic<TLcdButtonsHandler> OnSoftButtons{nullptr};
  std::atomic<TLcdConfigureHandler> OnConfigure{nullptr};

 private:
  friend int32_t KES_LGLCD_STDCALL LcdSoftButtonCallback(int32_t, uint32_t, void*);
  friend int32_t KES_LGLCD_STDCALL LcdConfigureCallback(int32_t, void*);

  void Open(bool configurable, bool autostartable, bool persistent);
  void Send(const TLgLcdBitmap& bitmap, uint32_t word);
  // The bindings alive now, linked through nextLive_: the callbacks reach an
  // object only through this list and under its lock.
  static TLcdG15* FindLive(const void* context);

  TLgLcdBitmap bitmap_{};  // the record every send fills, so a send allocates nothing

  TLgLcdLibrary library_;
  std::string appName_;
  TLgLcdConnectContext connect_{};
  TLgLcdOpenContext open_{};
  TLcdG15* nextLive_ = nullptr;
};

// The callbacks handed to the library; context is the TLcdG15 or 0. They
// forward to the object's handler when one is set and the object is alive
// and not being destroyed, and return 0. A call that comes during or after
// the object's destruction (a library whose thread still delivers a press
// while the device closes, or later) reaches nothing.
int32_t KES_LGLCD_STDCALL LcdSoftButtonCallback(int32_t device, uint32_t buttons, void* context);
int32_t KES_LGLCD_STDCALL LcdConfigureCallback(int32_t connection, void* context);
