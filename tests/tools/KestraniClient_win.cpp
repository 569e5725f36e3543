// kestrani-client: talks to a running Kestrani from outside, as another
// program or a user would: sends it messages and text, finds its message
// boxes and reads or dismisses them, counts its copies and reports its
// window and its resource use. Used by the end-to-end scenarios and the run
// command. Every command prints its answer on standard output and exits 0 on
// success, 1 when the window (or box) is not there, 2 on a usage error.
#include <windows.h>
#include <iphlpapi.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kWindowClass[] = "wndKestraniWinClass";
const char kAppletMessage[] = "{34B70FAC-6CA1-4042-957C-7755DAD7881A}";
const char kExeName[] = "kestrani.exe";
const UINT kSendTimeoutMs = 5000;

const char kUsage[] =
    "usage: kestrani-client COMMAND [ARGS]\n"
    "  copydata MS TEXT          WM_COPYDATA, dwData MS, the text with its NUL\n"
    "  copydata-raw MS TEXT [CB] the same without the NUL: cbData = CB (default the\n"
    "                            text's length), the buffer going on with 'X' bytes\n"
    "  power WPARAM              WM_POWERBROADCAST\n"
    "  end-session               WM_QUERYENDSESSION for a log-off, as Windows sends it\n"
    "  command ID [COUNT]        WM_COMMAND with the identifier ID (COUNT times)\n"
    "  applet-message WP LP      the registered applet message\n"
    "  broadcast NAME [WP LP]    posts the registered message NAME to every top-level\n"
    "                            window, as the shell posts \"TaskbarCreated\"\n"
    "  tray-icon                 1 when the taskbar holds the applet's icon, else 0\n"
    "  tray-forget               removes the applet's icon, as a taskbar that ends\n"
    "                            loses it\n"
    "  count                     windows=N processes=M of the applet\n"
    "  pid                       process id of the applet's window\n"
    "  wait-window SECONDS       wait until the window exists\n"
    "  wait-gone SECONDS         wait until no window and no process is left\n"
    "  dialog-text [CAPTION]     text of a message box (of the applet, or by caption)\n"
    "  dialog-caption            caption of the applet's message box\n"
    "  dialog-close [CAPTION]    presses the message box's button\n"
    "  visible                   1 when the window is visible, else 0\n"
    "  window-rect               window=L,T,R,B client=W,H\n"
    "  stats                     handles, GDI and USER objects, memory of the applet\n"
    "  interfaces                position, type, index and description of each interface\n"
    "  display-devices           index, state flags and name of each display adapter\n"
    "  shell-window              the desktop shell's window and its process id\n"
    "  locked-copy [deaf]        stands in for a copy that runs with other rights: owns\n"
    "                            the applet's mutex with a DACL that lets nobody open it,\n"
    "                            and ends on a close request (unless deaf)\n"
    "  shell                     stands in for the desktop shell: registers a window as\n"
    "                            the shell window and keeps it until ended\n"
    "  memory                    the system's memory load, percent\n"
    "  tick                      the system's tick count in milliseconds (GetTickCount)\n"
    "  menu-windows              the places of the open popup menus, topmost first\n"
    "  menu-keys VK...           presses keys (virtual-key codes) in the open menu\n";

long ParseNumber(const char* text) { return std::strtol(text, nullptr, 0); }

std::string Lower(std::string t) {
  for (char& c : t)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return t;
}

HWND AppletWindow() { return FindWindowA(kWindowClass, nullptr); }

// Process ids of every running Kestrani.exe.
std::vector<DWORD> AppletProcesses() {
  std::vector<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry))
    if (Lower(entry.szExeFile) == kExeName) ids.push_back(entry.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

struct tWindowSearch {
  const char* className;  // null: any class
  const char* caption;    // null: any caption
  bool appletOnly;        // only windows of a Kestrani.exe process
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto& s = *reinterpret_cast<tWindowSearch*>(param);
  char text[512] = "";
  if (s.className) {
    GetClassNameA(window, text, sizeof text);
    if (std::strcmp(text, s.className) != 0) return TRUE;
  }
  if (s.caption) {
    GetWindowTextA(window, text, sizeof text);
    if (std::strcmp(text, s.caption) != 0) return TRUE;
  }
  if (s.appletOnly) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    bool mine = false;
    for (DWORD id : AppletProcesses()) mine = mine || id == pid;
    if (!mine) return TRUE;
  }
  s.found.push_back(window);
  return TRUE;
}

std::vector<HWND> FindTopWindows(const char* className, const char* caption, bool appletOnly) {
  tWindowSearch s{className, caption, appletOnly, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// A message box: by its caption, or else the first one of the applet's
// process; waits up to ten seconds for it to appear.
HWND FindMessageBox(const char* caption) {
  for (int i = 0; i < 100; ++i) {
    std::vector<HWND> boxes = FindTopWindows("#32770", caption, caption == nullptr);
    if (!boxes.empty()) return boxes.front();
    Sleep(100);
  }
  return nullptr;
}

std::string WindowText(HWND window) {
  char text[4096] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent, const char* className) {
  std::vector<HWND> all, match;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
  for (HWND w : all) {
    char name[64] = "";
    GetClassNameA(w, name, sizeof name);
    if (std::strcmp(name, className) == 0) match.push_back(w);
  }
  return match;
}

int Fail(const char* what) {
  std::fprintf(stderr, "kestrani-client: %s\n", what);
  return 1;
}

// Sends and reports the result; a window that does not answer within the
// timeout counts as a failure.
int Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result))
    return Fail("the window did not answer");
  std::printf("result=%lld\n", static_cast<long long>(result));
  return 0;
}

int CopyData(HWND window, unsigned long ms, const std::string& text, bool withNul, long cb) {
  std::vector<char> buffer(text.begin(), text.end());
  if (withNul) {
    buffer.push_back('\0');
    cb = static_cast<long>(buffer.size());
  } else {
    if (cb < 0) cb = static_cast<long>(text.size());
    // The bytes past cbData are not NUL, so a reader that runs past the
    // count shows them.
    buffer.resize(text.size() + 512, 'X');
    if (cb > static_cast<long>(buffer.size())) cb = static_cast<long>(buffer.size());
  }
  COPYDATASTRUCT data;
  data.dwData = ms;
  data.cbData = static_cast<DWORD>(cb);
  data.lpData = buffer.data();
  return Send(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

int Count() {
  std::printf("windows=%u processes=%u\n",
              static_cast<unsigned>(FindTopWindows(kWindowClass, nullptr, false).size()),
              static_cast<unsigned>(AppletProcesses().size()));
  return 0;
}

int WaitWindow(double seconds, bool present) {
  for (int i = 0; i <= static_cast<int>(seconds * 10); ++i) {
    const bool window = AppletWindow() != nullptr;
    if (present && window) return 0;
    if (!present && !window && AppletProcesses().empty()) return 0;
    Sleep(100);
  }
  return Fail(present ? "no window" : "still running");
}

// The texts of the box's static controls (the icon's has none).
std::vector<std::string> StaticTexts(HWND box) {
  std::vector<std::string> texts;
  for (HWND s : Children(box, "Static")) {
    const std::string text = WindowText(s);
    if (!text.empty()) texts.push_back(text);
  }
  return texts;
}

int DialogText(const char* caption) {
  // A box that has just appeared may not have its text yet.
  for (int i = 0; i < 50; ++i) {
    HWND box = FindMessageBox(caption);
    if (!box) return Fail("no message box");
    const std::vector<std::string> texts = StaticTexts(box);
    if (!texts.empty()) {
      for (const std::string& text : texts) std::printf("%s\n", text.c_str());
      return 0;
    }
    Sleep(100);
  }
  return Fail("the message box has no text");
}

int DialogCaption() {
  HWND box = FindMessageBox(nullptr);
  if (!box) return Fail("no message box");
  std::printf("%s\n", WindowText(box).c_str());
  return 0;
}

int DialogClose(const char* caption) {
  HWND box = FindMessageBox(caption);
  if (!box) return Fail("no message box");
  std::vector<HWND> buttons = Children(box, "Button");
  if (!buttons.empty())
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(buttons.front()), BN_CLICKED),
                 reinterpret_cast<LPARAM>(buttons.front()));
  else
    PostMessageA(box, WM_CLOSE, 0, 0);
  return 0;
}

int WindowRect(HWND window) {
  RECT w, c;
  GetWindowRect(window, &w);
  GetClientRect(window, &c);
  std::printf("window=%ld,%ld,%ld,%ld client=%ld,%ld\n", w.left, w.top, w.right, w.bottom,
              c.right - c.left, c.bottom - c.top);
  return 0;
}

// The handles of a process as the system's handle list counts them (the
// list of every process's handles, class 16); -1 when it cannot be read.
long SystemHandleCount(DWORD pid) {
  struct tHandleEntry {
    ULONG OwnerPid;
    BYTE ObjectType;
    BYTE Flags;
    USHORT Value;
    PVOID Object;
    ULONG Access;
  };
  struct tHandleList {
    ULONG Count;
    tHandleEntry Entries[1];
  };
  using tQueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<tQueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  std::vector<unsigned char> buffer(1 << 16);
  for (int tries = 0; tries < 16; ++tries) {
    ULONG needed = 0;
    const LONG status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == static_cast<LONG>(0xC0000004)) {  // the list is longer
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return -1;
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof count);
    const size_t first = offsetof(tHandleList, Entries);
    long mine = 0;
    for (ULONG i = 0; i < count && first + (i + 1) * sizeof(tHandleEntry) <= buffer.size(); ++i) {
      tHandleEntry entry;
      std::memcpy(&entry, buffer.data() + first + i * sizeof entry, sizeof entry);
      if (entry.OwnerPid == pid) ++mine;
    }
    return mine;
  }
  return -1;
}

int Stats(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return Fail("cannot open the process");
  DWORD handles = 0;
  GetProcessHandleCount(process, &handles);
  PROCESS_MEMORY_COUNTERS_EX memory;
  std::memset(&memory, 0, sizeof memory);
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  // Some systems (Wine among them) report 0 for some of these; the handle
  // list and the pagefile figure stand beside them.
  std::printf("pid=%lu\nhandles=%lu\nsystemhandles=%ld\ngdi=%lu\nuser=%lu\nworkingset=%llu\nprivate=%llu\n"
              "pagefile=%llu\n",
              pid, handles, SystemHandleCount(pid), GetGuiResources(process, GR_GDIOBJECTS),
              GetGuiResources(process, GR_USEROBJECTS), static_cast<unsigned long long>(memory.WorkingSetSize),
              static_cast<unsigned long long>(memory.PrivateUsage),
              static_cast<unsigned long long>(memory.PagefileUsage));
  CloseHandle(process);
  return 0;
}

int Interfaces() {
  ULONG size = 0;
  if (GetIfTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) return 0;
  std::vector<unsigned char> buffer(size);
  auto* table = reinterpret_cast<MIB_IFTABLE*>(buffer.data());
  if (GetIfTable(table, &size, FALSE) != NO_ERROR) return Fail("no interface table");
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    const MIB_IFROW& row = table->table[i];
    const DWORD n = row.dwDescrLen < MAXLEN_IFDESCR ? row.dwDescrLen : MAXLEN_IFDESCR;
    std::string descr(reinterpret_cast<const char*>(row.bDescr), n);
    while (!descr.empty() && descr.back() == '\0') descr.pop_back();
    std::printf("%lu type=%lu index=%lu %s\n", i, row.dwType, row.dwIndex, descr.c_str());
  }
  return 0;
}

// A desktop without Explorer has no shell window; programs that look for the
// desktop user through it (as an elevated applet does) need one.
int Shell() {
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "kestraniClientShell";
  if (!RegisterClassA(&wc)) return Fail("cannot register the shell class");
  HWND window = CreateWindowExA(0, wc.lpszClassName, "Program Manager", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (!window) return Fail("cannot create the shell window");
  using tSetShellWindowFn = BOOL(WINAPI*)(HWND);
  auto setShell = reinterpret_cast<tSetShellWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetShellWindow")));
  if (!setShell || !setShell(window)) return Fail("the shell window is not accepted");
  std::printf("shell window %p\n", static_cast<void*>(window));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

UINT gAppletMessage = 0;
bool gDeaf = false;

LRESULT CALLBACK LockedCopyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == gAppletMessage && gAppletMessage != 0 && lParam == 16 && wParam != GetCurrentProcessId()) {
    std::printf("close request from %lu%s\n", static_cast<unsigned long>(wParam), gDeaf ? ", ignored" : "");
    std::fflush(stdout);
    if (!gDeaf) PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// An applet elevated by an installer, as a later copy with the user's own
// rights meets it: its mutex exists, but opening it is refused. An empty
// DACL (present, with no entry) grants nobody anything.
int LockedCopy(bool deaf) {
  gDeaf = deaf;
  gAppletMessage = RegisterWindowMessageA(kAppletMessage);
  ACL acl;
  SECURITY_DESCRIPTOR sd;
  if (!InitializeAcl(&acl, sizeof acl, ACL_REVISION) || !InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE))
    return Fail("cannot make the security descriptor");
  SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
  HANDLE mutex = CreateMutexA(&sa, TRUE, kAppletMessage);
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return Fail("cannot create the mutex");
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = LockedCopyProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "kestraniClientLockedCopy";
  if (!RegisterClassA(&wc)) return Fail("cannot register the window class");
  if (!CreateWindowExA(0, wc.lpszClassName, "locked copy", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                       nullptr))
    return Fail("cannot create the window");
  HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kAppletMessage);
  std::printf("locked copy %lu, open %s (error %lu)\n", GetCurrentProcessId(), other ? "granted" : "refused",
              GetLastError());
  std::fflush(stdout);
  if (other) CloseHandle(other);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  std::printf("locked copy ends\n");
  return 0;
}

int DisplayDevices() {
  DISPLAY_DEVICEA device;
  for (DWORD i = 0;; ++i) {
    std::memset(&device, 0, sizeof device);
    device.cb = sizeof device;
    if (!EnumDisplayDevicesA(nullptr, i, &device, 0)) break;
    std::printf("%lu flags=0x%lX %s\n", i, device.StateFlags, device.DeviceString);
  }
  return 0;
}

// The visible popup menus (class "#32768"), topmost first.
std::vector<HWND> MenuWindows() {
  std::vector<HWND> shown;
  for (HWND w : FindTopWindows("#32768", nullptr, false))
    if (IsWindowVisible(w)) shown.push_back(w);
  return shown;
}

int MenuWindowsList() {
  for (HWND w : MenuWindows()) {
    RECT r;
    GetWindowRect(w, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  }
  return 0;
}

// Keys for the open menu, as a user presses them: the menu's loop takes
// them from its thread's queue.
int MenuKeys(int count, char** keys) {
  std::vector<HWND> menus = MenuWindows();
  if (menus.empty()) return Fail("no menu is open");
  for (int i = 0; i < count; ++i) {
    const WPARAM key = static_cast<WPARAM>(ParseNumber(keys[i]));
    PostMessageA(menus.front(), WM_KEYDOWN, key, 1);
    PostMessageA(menus.front(), WM_KEYUP, key, 0xC0000001);
    Sleep(300);
  }
  return 0;
}

// The applet's icon as the taskbar knows it: its window and the id the
// applet gives it (its registered message).
NOTIFYICONDATAA AppletIcon(HWND window) {
  NOTIFYICONDATAA icon;
  std::memset(&icon, 0, sizeof icon);
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = window;
  icon.uID = RegisterWindowMessageA(kAppletMessage);
  return icon;
}

// Whether the notification area holds the applet's icon: a modification
// that changes nothing succeeds only for an icon that is there.
int TrayIcon(HWND window) {
  NOTIFYICONDATAA icon = AppletIcon(window);
  std::printf("%d\n", Shell_NotifyIconA(NIM_MODIFY, &icon) ? 1 : 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string cmd = argv[1];
  const int n = argc - 2;
  char** a = argv + 2;

  if (cmd == "count") return Count();
  if (cmd == "wait-window" && n == 1) return WaitWindow(std::atof(a[0]), true);
  if (cmd == "wait-gone" && n == 1) return WaitWindow(std::atof(a[0]), false);
  if (cmd == "dialog-text" && n <= 1) return DialogText(n ? a[0] : nullptr);
  if (cmd == "dialog-caption" && n == 0) return DialogCaption();
  if (cmd == "dialog-close" && n <= 1) return DialogClose(n ? a[0] : nullptr);
  if (cmd == "interfaces") return Interfaces();
  if (cmd == "display-devices") return DisplayDevices();
  if (cmd == "shell") return Shell();
  if (cmd == "locked-copy" && n <= 1) return LockedCopy(n == 1 && std::strcmp(a[0], "deaf") == 0);
  if (cmd == "menu-windows" && n == 0) return MenuWindowsList();
  if (cmd == "menu-keys" && n >= 1) return MenuKeys(n, a);
  if (cmd == "broadcast" && (n == 1 || n == 3)) {
    const UINT message = RegisterWindowMessageA(a[0]);
    if (!message || !PostMessageA(HWND_BROADCAST, message, n == 3 ? static_cast<WPARAM>(ParseNumber(a[1])) : 0,
                                  n == 3 ? static_cast<LPARAM>(ParseNumber(a[2])) : 0))
      return Fail("not posted");
    return 0;
  }
  if (cmd == "shell-window") {
    HWND shell = GetShellWindow();
    DWORD pid = 0;
    if (shell) GetWindowThreadProcessId(shell, &pid);
    std::printf("window=%p pid=%lu\n", static_cast<void*>(shell), pid);
    return shell ? 0 : 1;
  }
  if (cmd == "tick" && n == 0) {
    std::printf("%lu\n", GetTickCount());
    return 0;
  }
  if (cmd == "memory") {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return Fail("no memory status");
    std::printf("%lu\n", status.dwMemoryLoad);
    return 0;
  }

  HWND window = AppletWindow();
  const bool known = (cmd == "copydata" && n == 2) || (cmd == "copydata-raw" && (n == 2 || n == 3)) ||
                     (cmd == "power" && n == 1) || (cmd == "end-session" && n == 0) || (cmd == "command" && (n == 1 || n == 2)) ||
                     (cmd == "applet-message" && n == 2) || (cmd == "pid" && n == 0) ||
                     (cmd == "visible" && n == 0) || (cmd == "window-rect" && n == 0) ||
                     (cmd == "stats" && n == 0) || (cmd == "tray-icon" && n == 0) ||
                     (cmd == "tray-forget" && n == 0);
  if (!known) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!window) return Fail("no Kestrani window");

  if (cmd == "copydata") return CopyData(window, std::strtoul(a[0], nullptr, 0), a[1], true, -1);
  if (cmd == "copydata-raw")
    return CopyData(window, std::strtoul(a[0], nullptr, 0), a[1], false, n == 3 ? ParseNumber(a[2]) : -1);
  if (cmd == "power") return Send(window, WM_POWERBROADCAST, static_cast<WPARAM>(ParseNumber(a[0])), 0);
  if (cmd == "end-session") return Send(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  if (cmd == "command") {
    const long count = n == 2 ? ParseNumber(a[1]) : 1;
    for (long i = 1; i < count; ++i)
      if (!SendMessageTimeoutA(window, WM_COMMAND, static_cast<WPARAM>(ParseNumber(a[0])), 0, SMTO_NORMAL,
                               kSendTimeoutMs, nullptr))
        return Fail("the window did not answer");
    return Send(window, WM_COMMAND, static_cast<WPARAM>(ParseNumber(a[0])), 0);
  }
  if (cmd == "applet-message")
    return Send(window, RegisterWindowMessageA(kAppletMessage), static_cast<WPARAM>(ParseNumber(a[0])),
                static_cast<LPARAM>(ParseNumber(a[1])));
  if (cmd == "pid") {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::printf("%lu\n", pid);
    return 0;
  }
  if (cmd == "visible") {
    std::printf("%d\n", IsWindowVisible(window) ? 1 : 0);
    return 0;
  }
  if (cmd == "window-rect") return WindowRect(window);
  if (cmd == "tray-icon") return TrayIcon(window);
  if (cmd == "tray-forget") {
    NOTIFYICONDATAA icon = AppletIcon(window);
    return Shell_NotifyIconA(NIM_DELETE, &icon) ? 0 : Fail("no such icon");
  }
  return Stats(window);
}
