#include "applet/shell/Render_win.h"

#include <vector>

#include "applet/lcd/Buttons.h"
#include "applet/lcd/Compose.h"
#include "applet/lcd/Stretch.h"
#include "applet/sensors/NetMeter_win.h"
#include "applet/shell/Applet_win.h"
#include "applet/shell/Capture_win.h"
#include "applet/shell/Locale_win.h"
#include "applet/shell/ServiceLink_win.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/SysUtils_win.h"
#include "applet/shell/Tick.h"
#include "applet/shell/TrayMenu_win.h"
#include "applet/shell/WindowRules.h"

namespace {

// The frame of the current tick and the readers' values of its GPUs; kept
// between ticks so that a tick allocates nothing.
TLcdFrame Frame;
std::vector<tNvReading> NvReadings;
std::vector<tAtiReading> AtiReadings;
std::vector<uint8_t> PreviewPixels;
std::vector<double> SamplerTemperatures;  // Celsius, per logical processor

// "lgLcdWrapper.dll", kept loaded from the first attempt to bind until the
// binding is let go: while the LCD cannot be opened, every tick tries again,
// and a library loaded and unloaded four times a second for weeks would
// leave behind whatever one load does not give back.
TLgLcdLibrary LcdLibrary;

void GatherCpu() {
  tCPUData& cpu = Layout.CpuData;
  if (CpuThread && CpuThread->GetGeneration() != 0) {
    ServiceText.assign(kInternalServiceText);
    SamplerTemperatures.resize(cpu.TemperatureItems.size());
    for (size_t i = 0; i < SamplerTemperatures.size(); ++i)
      SamplerTemperatures[i] = CpuThread->GetTemperature(static_cast<uint32_t>(i));
    tBlockReadings reading;
    reading.CpuClock = CpuThread->CpuClock;
    reading.TscClock = CpuThread->TscClock;
    reading.Multiplier = CpuThread->Multiplier;
    reading.BusClock = CpuThread->BusClock;
    reading.Generation = CpuThread->GetGeneration();
    reading.ProcessorCount = static_cast<int>(SamplerTemperatures.size());
    reading.Temperatures = SamplerTemperatures.data();
    ApplySamplerReading(reading, CpuThread->Signature, Settings.Fahrenheit, cpu);
    // The threshold follows the unit the temperatures were just given in.
    UpdateCpuAlarm(Settings, CpuThread->TjMax.load());
  } else {
    ReadServiceBlock(cpu, Settings, ServiceText);
  }
}

// Once a second: the processor source, the GPU readers, memory, network
// and the processor loads.
void Gather() {
  GatherCpu();
  if (AdapterKind == kAdapterNvidia && NvReader) NvReader->Update();
  if (AdapterKind == kAdapterAti && AtiReader) AtiReader->Update();
  Layout.MemoryItem.Value = GetMemoryLoad();
  double down = 0.0, up = 0.0;
  GetNetworkRates(down, up);
  Layout.DnStreamItem.Value = down;
  Layout.UpStreamItem.Value = up;
  if (!CoreLoads.empty()) GetCpuUsage(CoreLoads.data());
  FinishGathering(Layout, CoreLoads.data(), CoreLoads.size(), AdapterKind);
}

// The readers' current values (they refresh once a second themselves).
void ReadGpus(tComposeInput& in) {
  if (NvReader) {
    NvReadings.resize(NvReader->AdapterCount);
    for (uint32_t a = 0; a < NvReader->AdapterCount; ++a)
      NvReadings[a] = {static_cast<double>(NvReader->GetTemperature(a)), static_cast<double>(NvReader->GetCoreClock(a)),
                       static_cast<double>(NvReader->GetMemClock(a)), static_cast<double>(NvReader->GetUsage(a)),
                       static_cast<double>(NvReader->GetVRamUsage(a)), static_cast<double>(NvReader->GetFanRPM(a)),
                       static_cast<double>(NvReader->GetFanSpeed(a))};
    in.Nv = NvReadings.data();
    in.NvCount = NvReadings.size();
  }
  if (AtiReader && AtiReader->AdapterCount > 0) {
    AtiReadings.resize(static_cast<size_t>(AtiReader->AdapterCount));
    for (uint32_t a = 0; a < AtiReadings.size(); ++a)
      AtiReadings[a] = {static_cast<double>(AtiReader->GetTemperature(a)), static_cast<double>(AtiReader->GetCoreClock(a)),
                        static_cast<double>(AtiReader->GetMemClock(a)), static_cast<double>(AtiReader->GetUsage(a)),
                        static_cast<double>(AtiReader->GetFanSpeed(a))};
    in.Ati = AtiReadings.data();
    in.AtiCount = AtiReadings.size();
  }
}

TDateTimeParts LocalNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

// Runs on the LCD library's thread: the press goes to the window, which
// handles it on its own thread.
void PostLcdButtons(uint32_t buttons) {
  PostMessageA(AppletWindow, kLcdButtonsMessage, buttons, 0);
}

// The binding, made when the library was found and none exists; one that
// opened no device is dropped and tried again on the next tick. Between a
// suspend and the resume the LCD is left alone, also by the ticks that
// messages run meanwhile.
void BindLcd() {
  if (!LcdLibraryFound || LcdBinding || Suspended) return;
  if (!LcdLibrary.module) LcdLibrary = LoadLgLcdWrapper(LcdLibraryPath);
  LcdBinding.reset(new TLcdG15(LcdLibrary, ProductTitle.c_str(), true, false, true));
  if (LcdBinding->Device == -1) {
    LcdBinding.reset();
    return;
  }
  if (Settings.HideTrayIcon) HideTrayIconForLcd();
  LcdBinding->OnSoftButtons = PostLcdButtons;
  LcdBinding->OnConfigure = nullptr;
  LcdBinding->Clear();
}

// The frame enlarged to the client area, painted through the given device
// context and no other GDI object.
void PaintFrame(HWND window, HDC dc, const TLcdFrame& frame) {
  RECT client;
  if (!GetClientRect(window, &client)) return;
  const int width = client.right - client.left, height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  PreviewPixels.resize(stride * static_cast<size_t>(height));
  StretchFrame(frame, PreviewPixels.data(), width, height, stride);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, PreviewPixels.data(), &info, DIB_RGB_COLORS);
}

void PaintPreview(HWND window, const TLcdFrame& frame) {
  HDC dc = GetDC(window);
  if (!dc) return;
  PaintFrame(window, dc, frame);
  ReleaseDC(window, dc);
}

}  // namespace

void CALLBACK RenderTick(HWND window, UINT, UINT_PTR, DWORD now) {
  if (TakeGatherTurn(now, NextGather, Gathered)) Gather();

  tComposeInput in;
  in.Background = &BackgroundImage;
  in.CoreLoads = CoreLoads.data();
  in.CoreLoadCount = CoreLoads.size();
  ReadGpus(in);
  in.Now = LocalNow();
  in.Locale = &UserDateLocale();
  in.DecimalSeparator = UserDecimalSeparator();
  in.TickNow = now;
  in.NextGather = NextGather;
  in.PageMode = PageMode.load();
  in.ProductTitle = ProductTitle;
  in.ServiceText = ServiceText;
  in.MessageText = MessageText;
  const tComposeResult composed = ComposeFrame(Frame, Layout, Settings, RenderState, in);
  if (composed.WantForeground && LcdBinding) LcdBinding->SetForeground(1);

  ShowCapture(Frame, now);
  BindLcd();
  if (LcdBinding) {
    LcdBinding->Canvas = &Frame;
    LcdBinding->UpdateFromCanvas(kLcdPriority);
    LcdBinding->Canvas = nullptr;
    if (ShouldReleaseForeground(LcdBinding->Foreground, RenderState.AlarmPending, PageMode.load()))
      LcdBinding->SetForeground(0);
  }
  if (window && IsWindowVisible(window)) PaintPreview(window, Frame);
}

void HandleLcdButtons(HWND window, uint32_t buttons) {
  const tLcdButtonResult result = OnLcdButtons(PageMode.load(), buttons);
  PageMode.store(result.PageMode);
  switch (result.Action) {
    case kButtonToggleWindow:
      SendMessageA(window, WM_COMMAND, kCmdShowWindow, 0);
      break;
    case kButtonCapture:
      StartCapture();
      break;
    case kButtonClose:
      PostMessageA(window, WM_CLOSE, 0, 0);
      break;
    case kButtonNothing:
      break;
  }
}

void ReleaseLcdBinding() {
  if (LcdBinding) {
    LcdBinding->Clear();
    LcdBinding.reset();
  }
  LcdLibrary = TLgLcdLibrary();
}

void PaintLastFrame(HWND window, HDC dc) {
  PaintFrame(window, dc, Frame);
}
