#include "applet/shell/Applet_win.h"

std::string SearchPath;
SYSTEMTIME BuildStamp = {};
UINT AppletMessage = 0;
UINT TaskbarCreatedMessage = 0;
HANDLE InstanceMutex = nullptr;
std::string BackgroundPath;
HWND AppletWindow = nullptr;

tLcdLayout Layout;
tLcdSettings Settings;

uint8_t WindowAlpha = 0;
bool LcdLibraryFound = false;
std::string LcdLibraryPath;
bool LCoreWasRunning = false;
tAdapterKind AdapterKind = kAdapterNone;
int32_t CpuCount = 0;
std::vector<double> CoreLoads;
std::unique_ptr<tCPUThread> CpuThread;
std::unique_ptr<tNvGPU> NvReader;
std::unique_ptr<tAtiGPU> AtiReader;
std::unique_ptr<TLcdG15> LcdBinding;
TBmpImage BackgroundImage;
NOTIFYICONDATAA TrayRecord = {};
bool TrayIconShown = false;
bool TrayIconHiddenForLcd = false;
bool Suspended = false;

std::atomic<int32_t> PageMode{0};
std::string MessageText;
std::string ServiceText;

uint32_t NextGather = 0;
bool Gathered = false;
tRenderState RenderState;
uint32_t CaptureDeadline = 0;
std::string CapturePath;
