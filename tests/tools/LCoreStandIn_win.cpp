// LCore.exe for the scenarios: stands in for the keyboard maker's LCD
// manager, which the applet closes before a standby and starts again after
// it. It keeps one hidden top-level window and appends what happens to
// "LCore.log" beside itself, one line each:
//   start <pid> <arguments>   at start ("" when there are none)
//   close <pid>               WM_CLOSE reached its window
//   exit <pid>                it ends
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void Log(const char* event, const char* text) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string log(path, n < MAX_PATH ? n : 0);
  const size_t slash = log.find_last_of("\\/");
  log = (slash == std::string::npos ? std::string() : log.substr(0, slash + 1)) + "LCore.log";
  FILE* f = std::fopen(log.c_str(), "ab");
  if (!f) return;
  std::fprintf(f, "%s %lu%s%s\n", event, GetCurrentProcessId(), text ? " " : "", text ? text : "");
  std::fclose(f);
}

// The command line after the program's name.
const char* Arguments() {
  const char* p = GetCommandLineA();
  if (*p == '"') {
    p = std::strchr(p + 1, '"');
    p = p ? p + 1 : "";
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Log("close", nullptr);
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::string arguments = Arguments();
  Log("start", arguments.empty() ? "\"\"" : arguments.c_str());
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = "LCoreStandIn";
  if (!RegisterClassA(&wc)) return 1;
  if (!CreateWindowA(wc.lpszClassName, "LCD Manager", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                     instance, nullptr))
    return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Log("exit", nullptr);
  return 0;
}
