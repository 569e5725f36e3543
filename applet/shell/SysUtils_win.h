// The applet's small system utilities: rights and privileges, processes and
// their windows, known folders, the environment, the executable's link time
// and version texts, local date and time texts, and the menu-font helpers.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

bool IsUserAdmin();
bool EnablePrivilege(const char* privilege, bool enable);
// Process id of the first process whose image file name equals the file-name
// part of exeName, case-insensitively; 0 when none.
DWORD FindProcess(const std::string& exeName);
// Image path of the process with a drive letter; empty for 0 or no access.
std::string GetProcessPath(DWORD processId);
// Sends WM_CLOSE to each top-level window of the process while they answer 0.
void CloseProcessWindows(DWORD processId);
bool HasKnownFolderApi();
// Known folder with a trailing separator; for the desktop's user when elevated.
std::string GetKnownFolder(const GUID& folderId);
// SHGetFolderPathA with a trailing separator; empty on failure.
std::string GetSpecialFolder(int csidl);
std::string GetEnvVar(const char* name);
// The PE link time of the file in local time; all zero on any failure.
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

bool FileExists(const std::string& path);
// The program's own full file name.
std::string OwnExecutablePath();

// Set by program start; used by ShowError.
extern std::string ProductTitle;
