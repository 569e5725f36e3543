// The applet's small system utilities: rights and privileges, processes and
// their windows, known folders, the environment, the executable's link time
// and version texts, local date and time texts, and the menu-font helpers.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/ProgramFiles_win.h"

// The thread's (else the process's) token holds the Administrators group enabled.
bool IsUserAdmin();
// True when the system reports no error after the change, so a privilege the
// token lacks gives false.
bool EnablePrivilege(const char* privilege, bool enable);
// Process id of the first process whose image file name equals the file-name
// part of exeName, case-insensitively; 0 when none.
DWORD FindProcess(const std::string& exeName);
// Image path of the process with a drive letter; empty for 0 or no access.
// The letters c..z are tried in order and the scan ends at the first letter
// without a device, so a drive after such a gap keeps its device form.
std::string GetProcessPath(DWORD processId);
// Sends WM_CLOSE to each top-level window of the process while they answer 0;
// a window that does not answer within two seconds ends the round too.
void CloseProcessWindows(DWORD processId);
// The message-filter calls of User Interface Privilege Isolation, looked up
// in user32 at run time; null where the system lacks them.
struct tMessageFilterApi {
  BOOL(WINAPI* ChangeForWindow)(HWND window, UINT message, DWORD action, void* status);  // ChangeWindowMessageFilterEx
  BOOL(WINAPI* ChangeForProcess)(UINT message, DWORD action);                           // ChangeWindowMessageFilter
};
tMessageFilterApi GetMessageFilterApi();
// Lets the messages reach window from programs of lower integrity, which the
// system drops while the applet runs elevated: through the window's own
// filter where there is one (Windows 7 on), else the process's (Vista),
// else nothing is needed (no such isolation before Vista). Returns how many
// messages the system accepted.
int AllowLowerIntegrityMessages(HWND window, const UINT* messages, size_t count, const tMessageFilterApi& api);
bool HasKnownFolderApi();
// Known folder with a trailing separator; for the desktop's user when elevated.
// Elevated, a shell token that cannot be opened or duplicated gives empty
// text. Every other failure (no shell process, the quota privilege refused,
// no SHGetKnownFolderPath, the lookup failing) gives a lone separator "\",
// which callers see as a folder relative to the current drive's root.
std::string GetKnownFolder(const GUID& folderId);
// SHGetFolderPathA with a trailing separator; empty on failure.
std::string GetSpecialFolder(int csidl);
std::string GetEnvVar(const char* name);
// The PE link time of the file in local time; all zero on any failure. The
// stamp is unsigned: stamps from 2038 on give dates from 2038 on.
SYSTEMTIME GetLinkTime(const std::string& path);
// A value of the program's own version resource, trimmed; the name when absent.
std::string GetVersionString(const char* name);
std::string FormatLocalDate(const SYSTEMTIME& time, const char* picture);
std::string FormatLocalTime(const SYSTEMTIME& time, const char* picture);
std::string CompactPath(HDC dc, const std::string& path, int width);
int MenuTextExtent(const char* text, HDC dc);
void DrawMenuText(HDC dc, int x, int y, const char* text);
// Message box without owner, caption ProductTitle, error icon, system modal.
void ShowError(const std::string& text);
// The system's message text for an error code (FormatMessage), possibly empty.
std::string SystemErrorText(DWORD code);


// Set by program start; used by ShowError.
extern std::string ProductTitle;
