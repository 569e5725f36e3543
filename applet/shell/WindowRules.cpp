#include "applet/shell/WindowRules.h"

namespace {

constexpr intptr_t kCloseRequest = 16;     // WM_CLOSE's value
constexpr intptr_t kTrayLeftUp = 514;      // WM_LBUTTONUP
constexpr intptr_t kTrayRightUp = 517;     // WM_RBUTTONUP
constexpr uint8_t kFullAlpha = 250;
constexpr uint8_t kFadeIncrement = 10;
constexpr uint32_t kEthernetType = 6;      // IF_TYPE_ETHERNET_CSMACD
constexpr uint32_t kWirelessType = 71;     // IF_TYPE_IEEE80211

}  // namespace

tAppletRequest AppletMessageRequest(uintptr_t wParam, intptr_t lParam, uint32_t ownProcessId) {
  switch (lParam) {
    case kCloseRequest:
      return wParam != ownProcessId ? kRequestClose : kRequestNothing;
    case kTrayLeftUp:
      return kRequestToggleWindow;
    case kTrayRightUp:
      return kRequestTrayMenu;
    default:
      return kRequestNothing;
  }
}

tMessagePage MessagePageFor(uintptr_t displayTime) {
  tMessagePage page{0, false, 0};
  if (displayTime == 0) return page;
  page.PageMode = 5;
  if (displayTime > 1) {
    page.StartTimer = true;
    // Window timers take 32-bit intervals; a longer time is the longest one.
    page.Interval = displayTime > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(displayTime);
  }
  return page;
}

bool FadeStep(bool visible, uint8_t& alpha) {
  if (!visible || alpha >= kFullAlpha) return false;
  alpha = static_cast<uint8_t>(alpha + kFadeIncrement);
  return true;
}

tPowerGroup PowerEventGroup(uintptr_t event) {
  switch (event) {
    case 0:  // PBT_APMQUERYSUSPEND
    case 1:  // PBT_APMQUERYSTANDBY
    case 4:  // PBT_APMSUSPEND
    case 5:  // PBT_APMSTANDBY
      return kPowerSuspend;
    case 6:   // PBT_APMRESUMECRITICAL
    case 7:   // PBT_APMRESUMESUSPEND
    case 8:   // PBT_APMRESUMESTANDBY
    case 18:  // PBT_APMRESUMEAUTOMATIC
      return kPowerResume;
    default:
      return kPowerOther;
  }
}

tWindowPlacement PlacePreviewWindow(int32_t clientWidth, int32_t clientHeight, int32_t workRight,
                                    int32_t workBottom) {
  tWindowPlacement p;
  p.Width = 2 * kPreviewWidth - clientWidth;
  p.Height = 2 * kPreviewHeight - clientHeight;
  p.Left = (workRight - p.Width) / 2;
  p.Top = (workBottom - p.Height) / 2;
  return p;
}

std::vector<tNetworkMenuItem> NetworkMenuItems(const std::vector<tInterfaceRow>& rows, uint32_t selected) {
  std::vector<tNetworkMenuItem> items;
  for (size_t i = 0; i < rows.size(); ++i) {
    const tInterfaceRow& row = rows[i];
    if (row.Type != kEthernetType && row.Type != kWirelessType) continue;
    items.push_back({kCmdNetworkFirst + static_cast<uint32_t>(i), row.Index, row.Description,
                     row.Index == selected});
  }
  return items;
}

namespace {

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string WithSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder;
  return folder + "\\";
}

}  // namespace

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const size_t separator = LastSeparator(path);
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
    return path + extension;
  return path.substr(0, dot) + extension;
}

std::string FileNamePart(const std::string& path) {
  const size_t separator = LastSeparator(path);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string FolderPart(const std::string& path) {
  const size_t separator = LastSeparator(path);
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::vector<std::string> LibraryCandidates(const std::string& programFolder, const std::string& systemFolder,
                                           const std::string& fileName) {
  std::vector<std::string> candidates;
  if (!programFolder.empty()) candidates.push_back(WithSeparator(programFolder) + fileName);
  if (!systemFolder.empty()) candidates.push_back(WithSeparator(systemFolder) + fileName);
  return candidates;
}

bool IsResolvedFolder(const std::string& folder) {
  return !folder.empty() && !(folder.size() == 1 && (folder[0] == '\\' || folder[0] == '/'));
}
