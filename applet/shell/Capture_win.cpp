#include "applet/shell/Capture_win.h"

#include <windows.h>
#include <shlobj.h>

#include "applet/lcd/Bmp.h"
#include "applet/lcd/Compose.h"
#include "applet/shell/Applet_win.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/SysUtils_win.h"
#include "applet/shell/Tick.h"
#include "applet/shell/UserFolder_win.h"
#include "common/Handle_win.h"

namespace {

// FOLDERID_Pictures.
constexpr GUID kPicturesFolder = {0x33E28130, 0x4E1E, 0x4676, {0x83, 0x5A, 0x98, 0x39, 0x5C, 0x3B, 0xC3, 0xBB}};

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Writes the frame's bitmap file only when no file of that name exists. A
// file that could not be written completely is removed again, so that a
// torn picture never stands under the capture's name.
void SaveFrame(const TLcdFrame& frame, const std::string& path) {
  static uint8_t file[kFrameBmpSize];
  EncodeFrameBmp(frame, file);
  tUniqueFileHandle handle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return;
  DWORD written = 0;
  const bool complete = WriteFile(handle.get(), file, static_cast<DWORD>(sizeof file), &written, nullptr) &&
                        written == sizeof file;
  handle.reset();
  if (!complete) DeleteFileA(path.c_str());
}

}  // namespace

void StartCapture() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string folder = GetUserFolder(kPicturesFolder, CSIDL_MYPICTURES);
  if (folder.empty() || !IsFolder(folder)) return;
  CapturePath = CaptureFileName(folder, FormatLocalDate(now, "yyyy-MM-dd"), FormatLocalTime(now, "HHmmss"));
  CaptureDeadline = GetTickCount() + kCaptureShowTime;
}

void ShowCapture(TLcdFrame& frame, uint32_t now) {
  if (!CaptureShowing(CapturePath, CaptureDeadline, now)) return;
  if (!FileExists(CapturePath)) SaveFrame(frame, CapturePath);
  DrawCapturePopup(frame, CapturePath);
}
