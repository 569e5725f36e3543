#include "applet/shell/Startup_win.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "applet/lcd/Bmp.h"
#include "applet/sensors/NetMeter_win.h"
#include "applet/shell/Applet_win.h"
#include "applet/shell/Config_win.h"
#include "applet/shell/Render_win.h"
#include "applet/shell/ServiceLink_win.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/SysUtils_win.h"
#include "applet/shell/Tick.h"
#include "applet/shell/TrayMenu_win.h"
#include "applet/shell/WindowRules.h"
#include "common/Handle_win.h"

namespace {

// The short display-device record: up to and with the state flags.
constexpr DWORD kDisplayDeviceSize = offsetof(DISPLAY_DEVICEA, DeviceID);
static_assert(kDisplayDeviceSize == 168, "display device record");

// A background picture larger than this is no LCD picture.
constexpr DWORD kMaxPictureFile = 16u * 1024 * 1024;

// The top-left 160 x 43 pixels of the bitmap file; empty when the file is
// missing or is no bitmap we read.
TBmpImage LoadBackground(const std::string& path) {
  TBmpImage image;
  tUniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return image;
  const DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || size == 0 || size > kMaxPictureFile) return image;
  std::vector<uint8_t> bytes(size);
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), size, &read, nullptr) || read != size) return image;
  DecodeBmp(bytes.data(), bytes.size(), image);
  return image;
}

// The graphics reader of the primary display's maker, kept only when it
// found adapters.
void ChooseGpuReader() {
  AdapterKind = DetectDisplayAdapter();
  if (AdapterKind == kAdapterNvidia) NvReader.reset(new tNvGPU());
  if (AdapterKind == kAdapterAti) AtiReader.reset(new tAtiGPU());
  if (NvReader && NvReader->AdapterCount < 1) NvReader.reset();
  if (AtiReader && AtiReader->AdapterCount <= 0) AtiReader.reset();
}

// The layout and its settings in the start-up order (ReadLayout), with the
// applet's own parts: the running LCD manager's path, the network interface
// and the adapter counts under [Debug].
void ReadAppletLayout() {
  const int nvAdapters = NvReader ? static_cast<int>(NvReader->AdapterCount) : 0;
  const int atiAdapters = AtiReader ? AtiReader->AdapterCount : 0;
  ReadLayout(TProfileIni(), CpuCount, AdapterKind, nvAdapters, atiAdapters, Layout, Settings);
  FindLCorePath(Settings);
  SelectNetworkInterface(static_cast<uint32_t>(Settings.NetworkIndex));
  if (nvAdapters > 0) WriteIniString("Debug", "NvGPU.NumberOfAdapters", std::to_string(nvAdapters));
  if (atiAdapters > 0) WriteIniString("Debug", "AtiGPU.NumberOfAdapters", std::to_string(atiAdapters));
}

std::string SystemFolder() {
  char folder[MAX_PATH];
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(folder, n) : std::string();
}

// The first of the library's places (program folder, system folder) that
// holds it; empty when none does.
std::string FindAppletLibrary(const char* fileName) {
  for (const std::string& candidate : LibraryCandidates(FolderPart(ProgramFileName()), SystemFolder(), fileName))
    if (FileExists(candidate)) return candidate;
  return std::string();
}

// The in-process sampler when elevated; otherwise one reading of the block.
// Without the driver library in its places the sampler is made all the same
// (it stays idle), so the renderer reads the service's block.
void ChooseCpuSource() {
  if (IsUserAdmin()) {
    std::string driver = FindAppletLibrary("winring0.dll");
    if (driver.empty()) driver = FolderPart(ProgramFileName()) + "winring0.dll";
    CpuThread.reset(new tCPUThread(driver.c_str(), nullptr));
    UpdateCpuAlarm(Settings, CpuThread->TjMax.load());
  } else {
    std::string dropped;
    ReadServiceBlock(Layout.CpuData, Settings, dropped);
  }
}

}  // namespace

tAdapterKind DetectDisplayAdapter() {
  DISPLAY_DEVICEA device;
  for (DWORD i = 0;; ++i) {
    device = {};
    device.cb = kDisplayDeviceSize;
    if (!EnumDisplayDevicesA(nullptr, i, &device, 0)) return kAdapterNone;
    if (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) break;
  }
  const std::string name(device.DeviceString, strnlen(device.DeviceString, sizeof device.DeviceString));
  WriteIniString("Debug", "DisplayDevice", name);
  return AdapterKindFromName(name);
}

void StartApplet(HWND window) {
  AppletWindow = window;
  // Run elevated, the applet would not hear a newer copy, the tray icon's
  // clicks, other programs' texts or the restarted taskbar otherwise.
  const UINT heard[] = {AppletMessage, WM_COPYDATA, TaskbarCreatedMessage};
  AllowLowerIntegrityMessages(window, heard, sizeof heard / sizeof heard[0], GetMessageFilterApi());
  if (!FileExists(IniPath)) {
    const DWORD error = GetLastError();
    ShowError(MissingIniText(IniPath) + SystemErrorText(error));
    PostQuitMessage(0);
    return;
  }
  FillTrayRecord(window);
  BackgroundImage = LoadBackground(BackgroundPath);
  CpuCount = GetProcessorCount();
  CoreLoads.assign(CpuCount > 0 ? CpuCount : 0, 0.0);
  ChooseGpuReader();
  ReadAppletLayout();
  ChooseCpuSource();
  LcdLibraryPath = FindAppletLibrary("lgLcdWrapper.dll");
  LcdLibraryFound = !LcdLibraryPath.empty();
  SetTimer(window, kRenderTimer, kRenderInterval, RenderTick);
  BuildTrayMenu(window, TrayRecord.hIcon);
  AddTrayIcon();
}

void CloseApplet(HWND window) {
  KillTimer(window, kRenderTimer);
  CoreLoads.clear();
  Layout.NvItems.clear();
  Layout.AtiItems.clear();
  Layout.CpuData.UsageItems.clear();
  Layout.CpuData.UsageBars.clear();
  Layout.CpuData.TemperatureItems.clear();
}

void DestroyApplet() {
  if (CpuThread) CpuThread->Terminate();
  CpuThread.reset();
  ReleaseLcdBinding();
  AtiReader.reset();
  NvReader.reset();
  DeleteTrayIcon();
  DestroyTrayMenu();
  BackgroundImage = TBmpImage();
  PostQuitMessage(0);
}
