// Stand-in for "lgLcdWrapper.dll": one simulated 160 x 43 keyboard LCD with
// four soft buttons. Results come from a profile; every frame, foreground
// request and session step is recorded in an output folder; soft-button
// presses are delivered on the stand-in's own thread when a control file asks
// for them. README.md beside this file describes the files.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimProfile_win.h"

namespace {

constexpr int kWidth = 160, kHeight = 43, kPixels = kWidth * kHeight;
constexpr int32_t kInvalidParameter = ERROR_INVALID_PARAMETER;       // 87
constexpr int32_t kNotConnected = ERROR_DEVICE_NOT_CONNECTED;        // 1167
constexpr int32_t kNoMoreItems = ERROR_NO_MORE_ITEMS;                // 259
constexpr int32_t kNotInitialised = ERROR_SERVICE_NOT_ACTIVE;        // 1062

typedef int32_t(__stdcall* TConfigureCallback)(int32_t connection, void* context);
typedef int32_t(__stdcall* TButtonCallback)(int32_t device, uint32_t buttons, void* context);

// The records as the contract lays them out; read field by field so that the
// stand-in does not share the binding's declarations.
struct TConnectContext {
  const char* appFriendlyName;
  int32_t isPersistent;
  int32_t isAutostartable;
  TConfigureCallback configureCallback;
  void* configureContext;
  int32_t connection;
};
struct TOpenContext {
  int32_t connection;
  int32_t index;
  TButtonCallback buttonCallback;
  void* buttonContext;
  int32_t device;
};

// A lock that needs no handle and no clean-up: the library is loaded and
// unloaded many times by a program that retries, and the state below is
// never destroyed.
class TLock {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

struct TState {
  TLock lock;
  bool initialised = false;
  int32_t connection = -1;
  TConfigureCallback configure = nullptr;
  void* configureContext = nullptr;
  int32_t device = -1;
  TButtonCallback buttons = nullptr;
  void* buttonsContext = nullptr;
  uint32_t lastButtons = 0;
  uint32_t frames = 0;
  HANDLE thread = nullptr;
  HANDLE stop = nullptr;
};

// Constant-initialised and trivially destroyed: no guard of a local static
// (which takes a thread handle and an event that unloading leaves behind)
// and no destructor that the button thread could outlive.
TState TheState;
TState& State() { return TheState; }

// Initialisations since this copy of the library was loaded: 1 on every
// init when a program loads the library anew for each attempt.
int InitsSinceLoad = 0;

TSimProfile Profile() { return TSimProfile(SimLocate("KES_LGLCD_PROFILE", "lgLcd.profile")); }

std::string OutFolder() {
  std::string dir = SimLocate("KES_LGLCD_OUT", "lgLcd.out");
  CreateDirectoryA(dir.c_str(), nullptr);
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

void AppendLine(const char* file, const std::string& line) {
  FILE* f = std::fopen((OutFolder() + file).c_str(), "ab");
  if (!f) return;
  std::fputs((line + "\n").c_str(), f);
  std::fclose(f);
}

std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof(buf), fmt, args);
  va_end(args);
  return buf;
}

unsigned long long Tick() { return GetTickCount64(); }

void Session(const std::string& what) { AppendLine("session.log", Format("%llu %s", Tick(), what.c_str())); }

bool WritePgm(const std::string& path, const uint8_t* pixels) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P5\n%d %d\n255\n", kWidth, kHeight);
  const bool ok = std::fwrite(pixels, 1, kPixels, f) == static_cast<size_t>(kPixels);
  return std::fclose(f) == 0 && ok;
}

// One request of the control file: a button mask, or "configure".
void Deliver(const std::string& request, bool release) {
  TState& s = State();
  int32_t device, connection;
  TButtonCallback buttons;
  TConfigureCallback configure;
  void *buttonsContext, *configureContext;
  {
    std::lock_guard<TLock> hold(s.lock);
    device = s.device;
    connection = s.connection;
    buttons = s.buttons;
    buttonsContext = s.buttonsContext;
    configure = s.configure;
    configureContext = s.configureContext;
  }
  // The callbacks run without the lock: a handler may send messages to a
  // thread that is calling into this library at the same time.
  if (request == "configure") {
    if (configure) configure(connection, configureContext);
    AppendLine("buttons.log", Format("%llu configure", Tick()));
    return;
  }
  char* end = nullptr;
  const unsigned long mask = std::strtoul(request.c_str(), &end, 0);
  if (end == request.c_str()) return;
  {
    std::lock_guard<TLock> hold(s.lock);
    s.lastButtons = static_cast<uint32_t>(mask);
  }
  if (buttons) buttons(device, static_cast<uint32_t>(mask), buttonsContext);
  AppendLine("buttons.log", Format("%llu 0x%lX", Tick(), mask));
  if (release && mask != 0) {
    Sleep(20);
    {
      std::lock_guard<TLock> hold(s.lock);
      s.lastButtons = 0;
    }
    if (buttons) buttons(device, 0, buttonsContext);
  }
}

// Takes the control file away (so that a writer can start a new one), then
// delivers its lines in order.
void PollControlFile(bool release) {
  const std::string dir = OutFolder();
  const std::string control = dir + "buttons.txt", taken = dir + "buttons.taken";
  if (GetFileAttributesA(control.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  if (!MoveFileExA(control.c_str(), taken.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
  Sleep(10);  // let a writer that still holds the file finish its line
  std::vector<std::string> requests;
  if (FILE* f = std::fopen(taken.c_str(), "rb")) {
    char line[128];
    while (std::fgets(line, sizeof(line), f)) {
      std::string r(line);
      while (!r.empty() && (r.back() == '\n' || r.back() == '\r' || r.back() == ' ' || r.back() == '\t')) r.pop_back();
      const size_t b = r.find_first_not_of(" \t");
      if (b != std::string::npos) requests.push_back(r.substr(b));
    }
    std::fclose(f);
  }
  DeleteFileA(taken.c_str());
  for (const std::string& r : requests) Deliver(r, release);
}

// What the button thread is given: its own reference to this DLL and the
// event that stops it.
struct TThreadStart {
  HMODULE self;
  HANDLE stop;
};

DWORD WINAPI ButtonThread(void* arg) {
  const TThreadStart start = *static_cast<TThreadStart*>(arg);
  delete static_cast<TThreadStart*>(arg);
  for (;;) {
    const TSimProfile profile = Profile();
    const DWORD poll = static_cast<DWORD>(profile.Int("poll_ms", 50));
    if (WaitForSingleObject(start.stop, poll) != WAIT_TIMEOUT) break;
    PollControlFile(profile.Int("release", 1) != 0);
  }
  // The thread holds its own reference, so the DLL stays mapped until it ends.
  FreeLibraryAndExitThread(start.self, 0);
  return 0;
}

void StartButtonThread() {
  TState& s = State();
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ButtonThread), &self))
    return;
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  auto* start = new TThreadStart{self, stop};
  HANDLE thread = stop ? CreateThread(nullptr, 0, &ButtonThread, start, 0, nullptr) : nullptr;
  if (!thread) {
    delete start;
    FreeLibrary(self);
    if (stop) CloseHandle(stop);
    return;
  }
  std::lock_guard<TLock> hold(s.lock);
  s.thread = thread;
  s.stop = stop;
}

// Stops the button thread; sent messages are handled meanwhile, so a handler
// that sends to the calling thread cannot dead-lock the close.
void StopButtonThread(HANDLE thread, HANDLE stop) {
  if (!thread) return;
  SetEvent(stop);
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(thread);
  CloseHandle(stop);
}

int32_t CloseDevice(int32_t device) {
  TState& s = State();
  HANDLE thread, stop;
  {
    std::lock_guard<TLock> hold(s.lock);
    if (device == -1 || device != s.device) return kInvalidParameter;
    thread = s.thread;
    stop = s.stop;
    s.thread = s.stop = nullptr;
  }
  StopButtonThread(thread, stop);
  {
    std::lock_guard<TLock> hold(s.lock);
    s.device = -1;
    s.buttons = nullptr;
    s.buttonsContext = nullptr;
  }
  Session(Format("close device=%d", device));
  return 0;
}

}  // namespace

extern "C" {

int32_t lgLcdInitWrap() {
  const int32_t rc = static_cast<int32_t>(Profile().Int("init", 0));
  if (rc == 0) {
    std::lock_guard<TLock> hold(State().lock);
    State().initialised = true;
  }
  Session(Format("init result=%d since_load=%d", rc, ++InitsSinceLoad));
  return rc;
}

int32_t lgLcdDeInitWrap() {
  TState& s = State();
  int32_t device;
  {
    std::lock_guard<TLock> hold(s.lock);
    device = s.device;
  }
  if (device != -1) CloseDevice(device);
  {
    std::lock_guard<TLock> hold(s.lock);
    s.initialised = false;
    s.connection = -1;
    s.configure = nullptr;
    s.configureContext = nullptr;
  }
  Session("deinit");
  return 0;
}

int32_t lgLcdConnectAWrap(TConnectContext* ctx) {
  if (!ctx) return kInvalidParameter;
  const TSimProfile profile = Profile();
  TState& s = State();
  int32_t rc = static_cast<int32_t>(profile.Int("connect", 0));
  {
    std::lock_guard<TLock> hold(s.lock);
    if (!s.initialised) rc = kNotInitialised;
    if (rc == 0) {
      s.connection = static_cast<int32_t>(profile.Int("connection", 1));
      s.configure = ctx->configureCallback;
      s.configureContext = ctx->configureContext;
      ctx->connection = s.connection;
    }
  }
  Session(Format("connect result=%d name=\"%s\" persistent=%d autostartable=%d configurable=%d connection=%d", rc,
                 ctx->appFriendlyName ? ctx->appFriendlyName : "", ctx->isPersistent, ctx->isAutostartable,
                 ctx->configureCallback ? 1 : 0, ctx->connection));
  return rc;
}

int32_t lgLcdDisconnectWrap(int32_t connection) {
  TState& s = State();
  std::lock_guard<TLock> hold(s.lock);
  if (connection != s.connection || connection == -1) return kInvalidParameter;
  s.connection = -1;
  return 0;
}

int32_t lgLcdEnumerateWrap(int32_t connection, int32_t index, void* description) {
  int32_t rc = static_cast<int32_t>(Profile().Int("enumerate", 0));
  {
    std::lock_guard<TLock> hold(State().lock);
    if (connection == -1 || connection != State().connection || !description) rc = kInvalidParameter;
    else if (index != 0) rc = kNoMoreItems;
  }
  if (rc == 0) {
    const int32_t d[4] = {kWidth, kHeight, 8, 4};  // width, height, bits per pixel, soft buttons
    std::memcpy(description, d, sizeof(d));
  }
  Session(Format("enumerate index=%d result=%d", index, rc));
  return rc;
}

int32_t lgLcdOpenWrap(TOpenContext* ctx) {
  if (!ctx) return kInvalidParameter;
  const TSimProfile profile = Profile();
  TState& s = State();
  int32_t rc = static_cast<int32_t>(profile.Int("open", 0));
  bool start = false;
  {
    std::lock_guard<TLock> hold(s.lock);
    if (ctx->connection == -1 || ctx->connection != s.connection) rc = kInvalidParameter;
    else if (ctx->index != 0) rc = kNotConnected;
    else if (s.device != -1) rc = ERROR_ALREADY_EXISTS;
    if (rc == 0) {
      s.device = static_cast<int32_t>(profile.Int("device", 1));
      s.buttons = ctx->buttonCallback;
      s.buttonsContext = ctx->buttonContext;
      ctx->device = s.device;
      start = true;
    }
  }
  if (start) StartButtonThread();
  Session(Format("open result=%d device=%d", rc, ctx->device));
  return rc;
}

int32_t lgLcdCloseWrap(int32_t device) { return CloseDevice(device); }

int32_t lgLcdUpdateBitmapWrap(int32_t device, const void* bitmap, uint32_t priority) {
  const TSimProfile profile = Profile();
  TState& s = State();
  uint32_t seq;
  {
    std::lock_guard<TLock> hold(s.lock);
    if (device == -1 || device != s.device) return kNotConnected;
    if (!bitmap) return kInvalidParameter;
    uint32_t format;
    std::memcpy(&format, bitmap, 4);
    if (format != 1) return kInvalidParameter;
    const int32_t rc = static_cast<int32_t>(profile.Int("update", 0));
    if (rc != 0) return rc;
    seq = ++s.frames;
  }
  const uint8_t* pixels = static_cast<const uint8_t*>(bitmap) + 4;
  const std::string dir = OutFolder();
  if (profile.Int("keep_frames", 0) != 0) WritePgm(dir + Format("frame-%06u.pgm", seq), pixels);
  const std::string tmp = dir + "latest.pgm.tmp";
  if (WritePgm(tmp, pixels)) MoveFileExA(tmp.c_str(), (dir + "latest.pgm").c_str(), MOVEFILE_REPLACE_EXISTING);
  AppendLine("frames.log", Format("%u 0x%08X %llu", seq, priority, Tick()));
  return 0;
}

int32_t lgLcdReadSoftButtonsWrap(int32_t device, uint32_t* buttons) {
  TState& s = State();
  std::lock_guard<TLock> hold(s.lock);
  if (device == -1 || device != s.device) return kNotConnected;
  if (!buttons) return kInvalidParameter;
  *buttons = s.lastButtons;
  return 0;
}

int32_t lgLcdSetAsLCDForegroundAppWrap(int32_t device, int32_t foreground) {
  {
    std::lock_guard<TLock> hold(State().lock);
    if (device == -1 || device != State().device) return kNotConnected;
  }
  const int32_t rc = static_cast<int32_t>(Profile().Int("foreground", 0));
  AppendLine("foreground.log", Format("%llu %d %d", Tick(), foreground, rc));
  return rc;
}

}  // extern "C"
