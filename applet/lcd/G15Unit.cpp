#include "applet/lcd/G15Unit.h"

#include <cstring>
#include <mutex>
#include <utility>

namespace {

// The bindings alive now (see TLcdG15::FindLive) and the lock over them and
// over every handler call; a binding leaves the list before it closes its
// device.
std::mutex& LiveLock() {
  static std::mutex lock;
  return lock;
}
TLcdG15* LiveBindings = nullptr;

}  // namespace

TLcdG15::TLcdG15(TLgLcdLibrary library, const char* appName, bool configurable, bool autostartable,
                 bool persistent)
    : library_(std::move(library)), appName_(appName ? appName : "") {
  open_.device = -1;
  connect_.connection = -1;
  {
    std::lock_guard<std::mutex> hold(LiveLock());
    nextLive_ = LiveBindings;
    LiveBindings = this;
  }
  Open(configurable, autostartable, persistent);
}

TLcdG15* TLcdG15::FindLive(const void* context) {
  for (TLcdG15* live = LiveBindings; live; live = live->nextLive_)
    if (live == context) return live;
  return nullptr;
}

void TLcdG15::Open(bool configurable, bool autostartable, bool persistent) {
  const TLgLcdApi& api = library_.api;
  if (!api.InitWrap || api.InitWrap() != 0) return;

  connect_.appFriendlyName = appName_.c_str();
  connect_.isPersistent = persistent ? -1 : 0;
  connect_.isAutostartable = autostartable ? -1 : 0;
  connect_.configureCallback = configurable ? &LcdConfigureCallback : nullptr;
  connect_.configureContext = configurable ? this : nullptr;
  connect_.connection = -1;
  if (!api.ConnectAWrap || api.ConnectAWrap(&connect_) != 0 || connect_.connection == -1) return;

  unsigned char description[16] = {};
  if (!api.EnumerateWrap || (api.EnumerateWrap(connect_.connection, 0, description) & 0xFFFF) != 0) return;

  open_.connection = connect_.connection;
  open_.index = 0;
  open_.softButtonCallback = &LcdSoftButtonCallback;
  open_.softButtonContext = this;
  open_.device = -1;
  if (!api.OpenWrap) return;
  api.OpenWrap(&open_);
  Device = open_.device;
}

TLcdG15::~TLcdG15() {
  OnSoftButtons = nullptr;
  OnConfigure = nullptr;
  {
    // Taking the lock waits for a handler that runs now.
    std::lock_guard<std::mutex> hold(LiveLock());
    for (TLcdG15** link = &LiveBindings; *link; link = &(*link)->nextLive_) {
      if (*link == this) {
        *link = nextLive_;
        break;
      }
    }
  }
  const TLgLcdApi& api = library_.api;
  if (api.CloseWrap) api.CloseWrap(open_.device);
  if (api.DeInitWrap) api.DeInitWrap();
  // library_ is released after this body, once nothing calls into it.
}

void TLcdG15::Send(const TLgLcdBitmap& bitmap, uint32_t word) {
  if (library_.api.UpdateBitmapWrap) library_.api.UpdateBitmapWrap(Device, &bitmap, word);
}

void TLcdG15::UpdateFromCanvas(uint32_t priority) {
  if (Device == -1 || !Canvas) return;
  bitmap_.format = kLgLcdBitmapFormat160x43x8;
  std::memset(bitmap_.pixels, 0, sizeof(bitmap_.pixels));
  ConvertFrameTo8Bit(*Canvas, bitmap_.pixels);
  Send(bitmap_, (priority & 0xFFu) | kLgLcdSynchronousUpdate);
}

void TLcdG15::Clear() {
  if (Device == -1) return;
  bitmap_.format = kLgLcdBitmapFormat160x43x8;
  std::memset(bitmap_.pixels, 0, sizeof(bitmap_.pixels));
  Send(bitmap_, kLgLcdPriorityNormal | kLgLcdSynchronousUpdate);
}

int32_t TLcdG15::SetForeground(int32_t flag) {
  Foreground = flag == 1;
  if (Device == -1 || !library_.api.SetAsLCDForegroundAppWrap) return 0;
  return library_.api.SetAsLCDForegroundAppWrap(Device, flag);
}

int32_t KES_LGLCD_STDCALL LcdSoftButtonCallback(int32_t, uint32_t buttons, void* context) {
  if (!context) return 0;
  std::lock_guard<std::mutex> hold(LiveLock());
  const TLcdG15* lcd = TLcdG15::FindLive(context);
  const TLcdButtonsHandler handler = lcd ? lcd->OnSoftButtons.load() : nullptr;
  if (handler) {
    try {
      handler(buttons);
    } catch (...) {
      // Nothing may unwind into the library's thread.
    }
  }
  return 0;
}

int32_t KES_LGLCD_STDCALL LcdConfigureCallback(int32_t, void* context) {
  if (!context) return 0;
  std::lock_guard<std::mutex> hold(LiveLock());
  const TLcdG15* lcd = TLcdG15::FindLive(context);
  const TLcdConfigureHandler handler = lcd ? lcd->OnConfigure.load() : nullptr;
  if (handler) {
    try {
      handler();
    } catch (...) {
    }
  }
  return 0;
}
