#include "applet/shell/SysUtils_win.h"

#include <psapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstddef>
#include <vector>

#include "applet/shell/ShellRules.h"
#include "common/Handle_win.h"
#include "common/ProcAddress_win.h"

std::string ProductTitle = "Kestrani";

namespace {

struct tFontTraits {
  using type = HFONT;
  static HFONT Invalid() { return nullptr; }
  static void Close(HFONT font) { DeleteObject(font); }
};
using tUniqueFont = tUniqueResource<tFontTraits>;

// The screen's device context, released on scope exit.
class tScreenDC {
 public:
  tScreenDC() : Dc(GetDC(nullptr)) {}
  ~tScreenDC() {
    if (Dc != nullptr) ReleaseDC(nullptr, Dc);
  }
  tScreenDC(const tScreenDC&) = delete;
  tScreenDC& operator=(const tScreenDC&) = delete;
  HDC get() const { return Dc; }

 private:
  HDC Dc;
};

// Selects a GDI object into a context and puts the old one back on scope exit.
class tSelection {
 public:
  tSelection(HDC dc, HGDIOBJ object) : Dc(dc), Old(object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~tSelection() {
    if (Old != nullptr) SelectObject(Dc, Old);
  }
  tSelection(const tSelection&) = delete;
  tSelection& operator=(const tSelection&) = delete;

 private:
  HDC Dc;
  HGDIOBJ Old;
};

// The metrics record without its last field (iPaddedBorderWidth): the form
// every Windows version accepts.
constexpr UINT kMetricsSize = offsetof(NONCLIENTMETRICSA, lfMessageFont) + sizeof(LOGFONTA);
static_assert(kMetricsSize == 340, "NONCLIENTMETRICS without its padded border width");

// A new font from the system's menu font; null when the metrics are not available.
tUniqueFont CreateMenuFont() {
  NONCLIENTMETRICSA metrics;
  ZeroMemory(&metrics, sizeof metrics);
  metrics.cbSize = kMetricsSize;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, kMetricsSize, &metrics, 0)) return tUniqueFont();
  return tUniqueFont(CreateFontIndirectA(&metrics.lfMenuFont));
}

std::string WithSeparator(std::string path) {
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  return path;
}

std::string NarrowText(const wchar_t* text) {
  if (text == nullptr) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(size - 1));
  return narrow;
}

std::string TrimBlanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

using tKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
tKnownFolderPathFn KnownFolderPath = nullptr;

// The folder from SHGetKnownFolderPath for the token (null: the current user);
// empty on failure.
std::string AskKnownFolder(const GUID& folderId, HANDLE token) {
  if (!HasKnownFolderApi()) return std::string();
  PWSTR wide = nullptr;
  std::string path;
  if (SUCCEEDED(KnownFolderPath(folderId, 0, token, &wide))) path = NarrowText(wide);
  if (wide != nullptr) CoTaskMemFree(wide);
  return path;
}

// How long one window may take to answer WM_CLOSE. A standby must not wait
// longer for a program that hangs or asks its user something.
constexpr UINT kCloseAnswerTime = 2000;

// Goes on while the windows answer 0. A window that gives another answer, or
// none in time (its thread is hung or busy, so its other windows would not
// answer either), ends the round.
BOOL CALLBACK CloseWindowOfProcess(HWND window, LPARAM parameter) {
  const DWORD* processId = reinterpret_cast<const DWORD*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != *processId) return TRUE;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseAnswerTime, &answer))
    return FALSE;
  return answer == 0;
}

}  // namespace

bool IsUserAdmin() {
  HANDLE raw = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw) &&
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
    return false;
  }
  tUniqueHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size)) return false;
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                                0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool member = false;
  for (DWORD i = 0; i < groups->GroupCount && !member; ++i) {
    member = (groups->Groups[i].Attributes & SE_GROUP_ENABLED) != 0 &&
             EqualSid(groups->Groups[i].Sid, administrators);
  }
  FreeSid(administrators);
  return member;
}

bool EnablePrivilege(const char* privilege, bool enable) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  tUniqueHandle token(raw);
  TOKEN_PRIVILEGES privileges;
  privileges.PrivilegeCount = 1;
  if (!LookupPrivilegeValueA(nullptr, privilege, &privileges.Privileges[0].Luid)) return false;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  // Success of the call alone does not say the token holds the privilege.
  SetLastError(ERROR_SUCCESS);
  if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr))
    return false;
  return GetLastError() == ERROR_SUCCESS;
}

DWORD FindProcess(const std::string& exeName) {
  const size_t slash = exeName.find_last_of("\\/");
  const std::string fileName = slash == std::string::npos ? exeName : exeName.substr(slash + 1);
  tUniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    if (lstrcmpiA(entry.szExeFile, fileName.c_str()) == 0) return entry.th32ProcessID;
  }
  return 0;
}

std::string GetProcessPath(DWORD processId) {
  if (processId == 0) return std::string();
  tUniqueHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::string();
  char image[MAX_PATH + 1] = {};
  const DWORD length = GetProcessImageFileNameA(process.get(), image, sizeof image);
  if (length == 0) return std::string();
  std::string path(image, length);
  // Device form to drive letter; the scan ends at the first letter without a device.
  for (char letter = 'c'; letter <= 'z'; ++letter) {
    const char drive[3] = {letter, ':', '\0'};
    char device[MAX_PATH + 1] = {};
    if (QueryDosDeviceA(drive, device, sizeof device) == 0) break;
    ReplaceDevicePrefix(path, device, letter);
  }
  return path;
}

void CloseProcessWindows(DWORD processId) {
  EnumWindows(CloseWindowOfProcess, reinterpret_cast<LPARAM>(&processId));
}

tMessageFilterApi GetMessageFilterApi() {
  tMessageFilterApi api{};
  HMODULE user = GetModuleHandleA("user32.dll");
  if (user == nullptr) return api;
  ResolveProc(user, "ChangeWindowMessageFilterEx", api.ChangeForWindow);
  ResolveProc(user, "ChangeWindowMessageFilter", api.ChangeForProcess);
  return api;
}

int AllowLowerIntegrityMessages(HWND window, const UINT* messages, size_t count, const tMessageFilterApi& api) {
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW and MSGFLT_ADD
  int allowed = 0;
  for (size_t i = 0; i < count; ++i) {
    if (api.ChangeForWindow)
      allowed += api.ChangeForWindow(window, messages[i], kAllow, nullptr) ? 1 : 0;
    else if (api.ChangeForProcess)
      allowed += api.ChangeForProcess(messages[i], kAllow) ? 1 : 0;
  }
  return allowed;
}

bool HasKnownFolderApi() {
  if (KnownFolderPath != nullptr) return true;
  HMODULE shell = GetModuleHandleA("shell32.dll");
  if (shell == nullptr) shell = LoadLibraryA("shell32.dll");  // stays loaded for the run
  if (shell == nullptr) return false;
  KnownFolderPath = reinterpret_cast<tKnownFolderPathFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")));
  return KnownFolderPath != nullptr;
}

std::string GetKnownFolder(const GUID& folderId) {
  if (!IsUserAdmin()) return WithSeparator(AskKnownFolder(folderId, nullptr));
  // Elevated: the folder of the user who owns the desktop shell, not of the
  // administrator account the applet may run under.
  if (!EnablePrivilege("SeIncreaseQuotaPrivilege", true)) return WithSeparator(std::string());
  DWORD shellProcessId = 0;
  HWND shellWindow = GetShellWindow();
  if (shellWindow != nullptr) GetWindowThreadProcessId(shellWindow, &shellProcessId);
  tUniqueHandle shellProcess(
      shellProcessId != 0 ? OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shellProcessId) : nullptr);
  if (!shellProcess) return WithSeparator(std::string());
  HANDLE raw = nullptr;
  if (!OpenProcessToken(shellProcess.get(), TOKEN_DUPLICATE, &raw)) return std::string();
  tUniqueHandle shellToken(raw);
  HANDLE duplicate = nullptr;
  if (!DuplicateTokenEx(shellToken.get(), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                        TokenPrimary, &duplicate)) {
    return std::string();
  }
  tUniqueHandle userToken(duplicate);
  return WithSeparator(AskKnownFolder(folderId, userToken.get()));
}

std::string GetSpecialFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return std::string();
  return WithSeparator(path);
}

std::string GetEnvVar(const char* name) {
  std::vector<char> buffer(256);
  for (;;) {
    const DWORD length = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length + 1);  // the length needed, terminator included
  }
}

SYSTEMTIME GetLinkTime(const std::string& path) {
  SYSTEMTIME result;
  ZeroMemory(&result, sizeof result);
  if (!FileExists(path)) return result;
  tUniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return result;
  uint8_t header[4096];
  DWORD read = 0;
  if (!ReadFile(file.get(), header, sizeof header, &read, nullptr)) return result;
  uint32_t stamp = 0;
  if (!LinkStampFromHeader(header, read, stamp)) return result;
  const uint64_t units = LinkStampToFileTime(stamp);
  FILETIME utc;
  utc.dwLowDateTime = static_cast<DWORD>(units & 0xFFFFFFFFu);
  utc.dwHighDateTime = static_cast<DWORD>(units >> 32);
  FILETIME local;
  SYSTEMTIME converted;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &converted)) return result;
  return converted;
}

std::string GetVersionString(const char* name) {
  const std::string self = ProgramFileName();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(self.c_str(), &ignored);
  if (size == 0) return name;
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoA(self.c_str(), 0, size, data.data())) return name;
  WORD* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &length) ||
      translation == nullptr || length < 2 * sizeof(WORD)) {
    return name;
  }
  char query[256];
  wsprintfA(query, "\\StringFileInfo\\%04X%04X\\%.200s", translation[0], translation[1], name);
  char* value = nullptr;
  length = 0;
  if (!VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&value), &length) || value == nullptr ||
      length == 0) {
    return name;
  }
  // The length counts characters and may include the terminator.
  size_t end = 0;
  while (end < length && value[end] != '\0') ++end;
  const std::string trimmed = TrimBlanks(std::string(value, end));
  return trimmed.empty() ? std::string(name) : trimmed;
}

std::string FormatLocalDate(const SYSTEMTIME& time, const char* picture) {
  char text[260];
  if (GetDateFormatA(0x400, 0, &time, picture, text, sizeof text) == 0) return std::string();
  return text;
}

std::string FormatLocalTime(const SYSTEMTIME& time, const char* picture) {
  char text[260];
  if (GetTimeFormatA(0x400, 0, &time, picture, text, sizeof text) == 0) return std::string();
  return text;
}

std::string CompactPath(HDC dc, const std::string& path, int width) {
  char text[MAX_PATH] = {};
  lstrcpynA(text, path.c_str(), sizeof text);
  PathCompactPathA(dc, text, static_cast<UINT>(width < 0 ? 0 : width));
  return text;
}

int MenuTextExtent(const char* text, HDC dc) {
  const int length = lstrlenA(text);
  SIZE size = {0, 0};
  if (dc != nullptr) {
    GetTextExtentPoint32A(dc, text, length, &size);
    return size.cy;
  }
  tScreenDC screen;
  if (screen.get() == nullptr) return 0;
  tUniqueFont font = CreateMenuFont();
  tSelection selected(screen.get(), font.get());
  GetTextExtentPoint32A(screen.get(), text, length, &size);
  return size.cy;
}

void DrawMenuText(HDC dc, int x, int y, const char* text) {
  tUniqueFont font = CreateMenuFont();
  tSelection selected(dc, font.get());
  TextOutA(dc, x, y, text, lstrlenA(text));
}

void ShowError(const std::string& text) {
  constexpr UINT kErrorBoxFlags = MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST;
  static_assert(kErrorBoxFlags == 0x51010, "error box flags");
  MessageBoxA(nullptr, text.c_str(), ProductTitle.c_str(), kErrorBoxFlags);
}

std::string SystemErrorText(DWORD code) {
  char text[1024] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                      0, text, sizeof text, nullptr);
  return std::string(text, length);
}
