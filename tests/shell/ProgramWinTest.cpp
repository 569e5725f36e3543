// The program's window code under Wine: the tray menu as it is built and
// rebuilt (items, check marks, the network list, nothing left of the last
// build), and the capture's file and notice.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "applet/lcd/Bmp.h"
#include "applet/sensors/NetMeter_win.h"
#include "applet/shell/Applet_win.h"
#include "applet/shell/Capture_win.h"
#include "applet/shell/Config_win.h"
#include "applet/shell/TrayMenu_win.h"
#include "applet/shell/WindowRules.h"
#include "common/TickCount.h"

namespace {

struct tItem {
  UINT Id;
  UINT Type;
  UINT State;
  HMENU SubMenu;
  ULONG_PTR Data;
  HBITMAP Checked;
  HBITMAP Unchecked;
  HBITMAP Picture;  // the bitmap of a bitmap item
};

std::vector<tItem> Items(HMENU menu) {
  std::vector<tItem> items;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_DATA | MIIM_CHECKMARKS | MIIM_BITMAP;
    EXPECT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info)) << i;
    // A bitmap item's picture comes with the older type query.
    MENUITEMINFOA type{};
    type.cbSize = sizeof type;
    type.fMask = MIIM_TYPE;
    GetMenuItemInfoA(menu, i, TRUE, &type);
    HBITMAP picture = info.hbmpItem;
    if ((type.fType & MFT_BITMAP) && !picture) picture = reinterpret_cast<HBITMAP>(type.dwTypeData);
    items.push_back({info.wID, info.fType, info.fState, info.hSubMenu, info.dwItemData, info.hbmpChecked,
                     info.hbmpUnchecked, picture});
  }
  return items;
}

std::string ItemText(HMENU menu, int position) {
  char text[128] = {};
  GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return text;
}

std::vector<tNetworkMenuItem> ExpectedNetworkItems() {
  TMIBIfArray table;
  GetInterfaceTable(table);
  std::vector<tInterfaceRow> rows;
  for (const MIB_IFROW& row : table)
    rows.push_back({row.dwType, row.dwIndex, std::string(reinterpret_cast<const char*>(row.bDescr),
                                                         strnlen(reinterpret_cast<const char*>(row.bDescr),
                                                                 row.dwDescrLen))});
  return NetworkMenuItems(rows, NetworkIndex);
}

class TrayMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    icon_ = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    IniPath = "C:\\Program Files\\Kestrani\\Kestrani.ini";
  }
  void TearDown() override { DestroyTrayMenu(); }
  HICON icon_ = nullptr;
};

TEST_F(TrayMenuTest, ItemsInOrderWithTheirCheckMarks) {
  Settings.DoInvert = true;
  Settings.Fahrenheit = false;
  BuildTrayMenu(nullptr, icon_);
  ASSERT_NE(TrayMenu, nullptr);
  const std::vector<tNetworkMenuItem> network = ExpectedNetworkItems();
  const bool withNetwork = !network.empty();
  std::vector<tItem> items = Items(TrayMenu);
  ASSERT_EQ(items.size(), withNetwork ? 12u : 11u);

  // The ids and separators after the optional "Network" entry.
  const UINT tail[] = {0, kCmdFahrenheit, 0, kCmdShowWindow, kCmdInvert, 0, kCmdRestart, 0, kCmdExit};
  EXPECT_EQ(items[0].Id, kCmdConfiguration);
  EXPECT_TRUE(items[0].Type & MFT_BITMAP);
  EXPECT_NE(items[0].Checked, nullptr);
  EXPECT_NE(items[0].Unchecked, nullptr);
  EXPECT_NE(items[0].Checked, items[0].Unchecked);  // one picture for each state
  EXPECT_TRUE(items[1].Type & MFT_SEPARATOR);
  size_t next = 2;
  if (withNetwork) {
    EXPECT_EQ(items[2].SubMenu, NetworkMenu);
    EXPECT_EQ(ItemText(TrayMenu, 2), "Network");
    next = 3;
  }
  for (size_t i = 0; i < std::size(tail); ++i, ++next) {
    if (tail[i] == 0)
      EXPECT_TRUE(items[next].Type & MFT_SEPARATOR) << next;
    else
      EXPECT_EQ(items[next].Id, tail[i]) << next;
  }
  EXPECT_EQ(ItemText(TrayMenu, withNetwork ? 4 : 3), "Fahrenheit");
  EXPECT_EQ(ItemText(TrayMenu, withNetwork ? 11 : 10), "Exit");
  EXPECT_EQ(GetMenuState(TrayMenu, kCmdInvert, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(GetMenuState(TrayMenu, kCmdFahrenheit, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_EQ(GetMenuState(TrayMenu, kCmdShowWindow, MF_BYCOMMAND) & MF_CHECKED, 0u);
  Settings.DoInvert = false;
}

TEST_F(TrayMenuTest, NetworkEntriesCarryTheInterfaceIndex) {
  std::vector<tNetworkMenuItem> expected = ExpectedNetworkItems();
  if (expected.empty()) GTEST_SKIP() << "no Ethernet or wireless interface here";
  SelectNetworkInterface(expected.back().Index);
  expected = ExpectedNetworkItems();
  BuildTrayMenu(nullptr, icon_);
  std::vector<tItem> items = Items(NetworkMenu);
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].Id, expected[i].Id);
    EXPECT_EQ(items[i].Data, expected[i].Index);
    EXPECT_EQ(ItemText(NetworkMenu, static_cast<int>(i)), expected[i].Text);
    EXPECT_EQ((items[i].State & MFS_CHECKED) != 0, expected[i].Checked) << i;
  }
  EXPECT_TRUE(expected.back().Checked);
  SelectNetworkInterface(0);
}

// Each build replaces the menus and the three pictures; nothing of the
// previous build stays alive.
TEST_F(TrayMenuTest, RebuildLeavesNothingOfTheLastBuild) {
  BuildTrayMenu(nullptr, icon_);
  const HMENU oldTray = TrayMenu, oldNetwork = NetworkMenu;
  const tItem oldFirst = Items(TrayMenu)[0];
  ASSERT_NE(GetObjectType(oldFirst.Checked), 0u);
  BuildTrayMenu(nullptr, icon_);
  EXPECT_FALSE(IsMenu(oldTray));
  EXPECT_FALSE(IsMenu(oldNetwork));
  EXPECT_EQ(GetObjectType(oldFirst.Checked), 0u);
  EXPECT_EQ(GetObjectType(oldFirst.Unchecked), 0u);
  ASSERT_NE(oldFirst.Picture, nullptr);
  EXPECT_EQ(GetObjectType(oldFirst.Picture), 0u);
  const tItem first = Items(TrayMenu)[0];
  EXPECT_EQ(GetObjectType(first.Checked), static_cast<DWORD>(OBJ_BITMAP));
  DestroyTrayMenu();
  EXPECT_EQ(TrayMenu, nullptr);
  EXPECT_EQ(GetObjectType(first.Checked), 0u);
}

// A window of its own for the menu tests; skips without a display.
class TrayMenuWindowTest : public TrayMenuTest {
 protected:
  void SetUp() override {
    TrayMenuTest::SetUp();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "kesMenuTestWindow";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    if (!window_) {
      char display[8] = "";
      ASSERT_EQ(GetEnvironmentVariableA("KES_NEED_DISPLAY", display, sizeof display), 0u) << "no window under Xvfb";
      GTEST_SKIP() << "no display for windows here; shell_program_window_test runs this under Xvfb";
    }
  }
  void TearDown() override {
    TrayMenuTest::TearDown();
    if (window_) DestroyWindow(window_);
    UnregisterClassA("kesMenuTestWindow", GetModuleHandleA(nullptr));
  }
  // Shows the tray menu; once it is open, request() runs from a timer (the
  // menu's loop dispatches it), the menu's state is noted and it is closed.
  void WhileTheMenuShows(void (*request)()) {
    request_ = request;
    shown_ = TrayMenu;
    SetTimer(window_, 1, 300, OnMenuTimer);
    ShowTrayMenu(window_);
  }
  static void CALLBACK OnMenuTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    request_();
    openAfterRequest_ = IsMenu(shown_) != FALSE;
    sameMenu_ = TrayMenu == shown_;
    EndMenu();
  }

  HWND window_ = nullptr;
  static inline void (*request_)() = nullptr;
  static inline HMENU shown_ = nullptr;
  static inline bool openAfterRequest_ = false;
  static inline bool sameMenu_ = false;
};

TEST_F(TrayMenuWindowTest, RebuildWaitsUntilTheMenuCloses) {
  BuildTrayMenu(window_, icon_);
  static HWND owner;
  static HICON icon;
  owner = window_;
  icon = icon_;
  WhileTheMenuShows([] { BuildTrayMenu(owner, icon); });
  EXPECT_TRUE(openAfterRequest_);
  EXPECT_TRUE(sameMenu_);
  // Built anew once the menu had closed.
  EXPECT_FALSE(IsMenu(shown_));
  EXPECT_TRUE(IsMenu(TrayMenu));
}

TEST_F(TrayMenuWindowTest, DestructionWaitsUntilTheMenuCloses) {
  BuildTrayMenu(window_, icon_);
  WhileTheMenuShows([] { DestroyTrayMenu(); });
  EXPECT_TRUE(openAfterRequest_);
  EXPECT_FALSE(IsMenu(shown_));
  EXPECT_EQ(TrayMenu, nullptr);
}

std::string TempPath(const char* name) {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  return std::string(base) + name;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CapturePath = TempPath("kes-capture-test.bmp");
    DeleteFileA(CapturePath.c_str());
    for (int y = 0; y < kLcdHeight; ++y)
      for (int x = 0; x < kLcdWidth; ++x) frame_.px[y][x] = (x + y) % 3 == 0 ? kBlack : kWhite;
  }
  void TearDown() override {
    DeleteFileA(CapturePath.c_str());
    CapturePath.clear();
    CaptureDeadline = 0;
  }
  TLcdFrame frame_;
};

// The file holds the frame as it was before the notice was drawn on it.
TEST_F(CaptureTest, WritesTheFrameWithoutTheNoticeOnce) {
  const TLcdFrame before = frame_;
  CaptureDeadline = 5000;
  ShowCapture(frame_, 4000);
  std::vector<uint8_t> expected(kFrameBmpSize);
  EncodeFrameBmp(before, expected.data());
  EXPECT_EQ(ReadAll(CapturePath), expected);
  EXPECT_NE(std::memcmp(&before, &frame_, sizeof frame_), 0);  // the notice is on the frame

  // The next ticks of the same capture keep the file as it is.
  TLcdFrame other;
  other.FillAll(kBlack);
  ShowCapture(other, 4250);
  EXPECT_EQ(ReadAll(CapturePath), expected);
}

TEST_F(CaptureTest, ExistingFileStaysAndTheNoticeStillShows) {
  std::ofstream(CapturePath.c_str(), std::ios::binary) << "mine";
  CaptureDeadline = 5000;
  const TLcdFrame before = frame_;
  ShowCapture(frame_, 5000);
  EXPECT_EQ(ReadAll(CapturePath), std::vector<uint8_t>({'m', 'i', 'n', 'e'}));
  EXPECT_NE(std::memcmp(&before, &frame_, sizeof frame_), 0);
}

TEST_F(CaptureTest, NothingAfterTheDeadline) {
  CaptureDeadline = 5000;
  const TLcdFrame before = frame_;
  ShowCapture(frame_, 5001);
  EXPECT_EQ(GetFileAttributesA(CapturePath.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(std::memcmp(&before, &frame_, sizeof frame_), 0);
}

TEST_F(CaptureTest, StartCaptureNamesAFileInThePicturesFolder) {
  const DWORD before = GetTickCount();
  StartCapture();
  const DWORD after = GetTickCount();
  if (CapturePath.empty()) GTEST_SKIP() << "no Pictures folder here";
  const size_t slash = CapturePath.find_last_of('\\');
  ASSERT_NE(slash, std::string::npos);
  const std::string name = CapturePath.substr(slash + 1);
  // yyyy-MM-dd-HHmmss.bmp
  ASSERT_EQ(name.size(), 21u) << name;
  for (size_t i : {4u, 7u, 10u}) EXPECT_EQ(name[i], '-') << name;
  EXPECT_EQ(name.substr(17), ".bmp");
  const DWORD attributes = GetFileAttributesA(CapturePath.substr(0, slash).c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_GE(TickDistance(before + 1000, CaptureDeadline), 0);
  EXPECT_LE(TickDistance(after + 1000, CaptureDeadline), 0);
}

}  // namespace
