#include "applet/lcd/G15Unit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A fake wrapper library: results by profile, every call recorded in order.
struct TFakeLcd {
  int32_t initResult = 0, connectResult = 0, enumerateResult = 0, openResult = 0, foregroundResult = 0;
  int32_t connection = 5;  // what connect writes (-1 leaves it)
  int32_t device = 9;      // what open writes (-1 leaves it)
  std::vector<std::string> calls;
  TLgLcdConnectContext connect{};
  TLgLcdOpenContext open{};
  std::string appName;
  std::vector<uint8_t> pixels;
  uint32_t format = 0, priority = 0;
  int32_t updateDevice = 0, foregroundFlag = -5;
  void (*onClose)() = nullptr;  // what the library's thread still does while the device closes
} g;

int32_t Init() {
  g.calls.push_back("init");
  return g.initResult;
}
int32_t DeInit() {
  g.calls.push_back("deinit");
  return 0;
}
int32_t Connect(TLgLcdConnectContext* c) {
  g.calls.push_back("connect");
  g.connect = *c;
  g.appName = c->appFriendlyName ? c->appFriendlyName : "";
  if (g.connection != -1) c->connection = g.connection;
  return g.connectResult;
}
int32_t Disconnect(int32_t) {
  g.calls.push_back("disconnect");
  return 0;
}
int32_t Enumerate(int32_t connection, int32_t index, void*) {
  g.calls.push_back("enumerate " + std::to_string(connection) + " " + std::to_string(index));
  return g.enumerateResult;
}
int32_t Open(TLgLcdOpenContext* o) {
  g.calls.push_back("open");
  g.open = *o;
  if (g.device != -1) o->device = g.device;
  return g.openResult;
}
int32_t Close(int32_t device) {
  g.calls.push_back("close " + std::to_string(device));
  if (g.onClose) g.onClose();
  return 0;
}
int32_t Update(int32_t device, const TLgLcdBitmap* b, uint32_t priority) {
  g.calls.push_back("update");
  g.updateDevice = device;
  g.format = b->format;
  g.pixels.assign(b->pixels, b->pixels + kLcdPixels);
  g.priority = priority;
  return 0;
}
int32_t ReadButtons(int32_t, uint32_t*) {
  g.calls.push_back("read");
  return 0;
}
int32_t Foreground(int32_t device, int32_t flag) {
  g.calls.push_back("foreground " + std::to_string(device));
  g.foregroundFlag = flag;
  return g.foregroundResult;
}

TLgLcdLibrary FakeLibrary() {
  TLgLcdLibrary lib;
  lib.api = {&Init, &DeInit, &Connect, &Disconnect, &Enumerate, &Open, &Close, &Update, &ReadButtons, &Foreground};
  return lib;
}

class LcdG15Test : public ::testing::Test {
 protected:
  void SetUp() override { g = TFakeLcd{}; }
};

TEST_F(LcdG15Test, CreationOpensTheFirstDeviceWithTheRecords) {
  {
    TLcdG15 lcd(FakeLibrary(), "Kestrani", true, false, true);
    EXPECT_EQ(lcd.Device, 9);
    EXPECT_FALSE(lcd.Foreground);
    EXPECT_EQ(lcd.Canvas, nullptr);
    EXPECT_EQ(g.appName, "Kestrani");
    EXPECT_EQ(g.connect.isPersistent, -1);
    EXPECT_EQ(g.connect.isAutostartable, 0);
    EXPECT_EQ(g.connect.configureCallback, &LcdConfigureCallback);
    EXPECT_EQ(g.connect.configureContext, &lcd);
    EXPECT_EQ(g.connect.connection, -1);  // as handed over
    EXPECT_EQ(g.open.connection, 5);
    EXPECT_EQ(g.open.index, 0);
    EXPECT_EQ(g.open.softButtonCallback, &LcdSoftButtonCallback);
    EXPECT_EQ(g.open.softButtonContext, &lcd);
    EXPECT_EQ(g.open.device, -1);
  }
  EXPECT_EQ(g.calls, (std::vector<std::string>{"init", "connect", "enumerate 5 0", "open", "close 9", "deinit"}));
}

TEST_F(LcdG15Test, NotConfigurableGivesNoCallback) {
  TLcdG15 lcd(FakeLibrary(), "x", false, true, false);
  EXPECT_EQ(g.connect.configureCallback, nullptr);
  EXPECT_EQ(g.connect.configureContext, nullptr);
  EXPECT_EQ(g.connect.isPersistent, 0);
  EXPECT_NE(g.connect.isAutostartable, 0);
}

TEST_F(LcdG15Test, FailuresLeaveNoDeviceAndCleanDestruction) {
  struct Case {
    const char* name;
    void (*setup)();
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"init", [] { g.initResult = 1; }, {"init", "close -1", "deinit"}},
      {"connect", [] { g.connectResult = 1167; }, {"init", "connect", "close -1", "deinit"}},
      {"no connection", [] { g.connection = -1; }, {"init", "connect", "close -1", "deinit"}},
      {"enumerate", [] { g.enumerateResult = 0x103; }, {"init", "connect", "enumerate 5 0", "close -1", "deinit"}},
      // Only the low 16 bits of the enumeration's result count.
      {"enumerate high bits", [] { g.enumerateResult = 0x70000; },
       {"init", "connect", "enumerate 5 0", "open", "close 9", "deinit"}},
      // The device field decides, whatever open returned.
      {"open result", [] { g.openResult = 5; }, {"init", "connect", "enumerate 5 0", "open", "close 9", "deinit"}},
      {"open no device", [] { g.device = -1; }, {"init", "connect", "enumerate 5 0", "open", "close -1", "deinit"}},
  };
  for (const Case& c : cases) {
    g = TFakeLcd{};
    c.setup();
    {
      TLcdG15 lcd(FakeLibrary(), "x", true, false, true);
      const bool opens = c.calls.back() == "deinit" && c.calls[c.calls.size() - 2] == "close 9";
      EXPECT_EQ(lcd.Device, opens ? 9 : -1) << c.name;
      TLcdFrame frame;
      frame.FillAll(kWhite);
      lcd.Canvas = &frame;
      if (!opens) {
        lcd.UpdateFromCanvas(128);
        lcd.Clear();
        EXPECT_EQ(lcd.SetForeground(1), 0);
      }
    }
    EXPECT_EQ(g.calls, c.calls) << c.name;
  }
}

TEST_F(LcdG15Test, NoLibraryMakesNoCalls) {
  TLcdG15 lcd(TLgLcdLibrary{}, "x", true, false, true);
  EXPECT_EQ(lcd.Device, -1);
  EXPECT_EQ(lcd.SetForeground(1), 0);
  EXPECT_TRUE(lcd.Foreground);
}

TEST_F(LcdG15Test, FramesArriveAsBytesWithThePriorityWord) {
  TLcdG15 lcd(FakeLibrary(), "x", true, false, true);
  TLcdFrame frame;
  frame.FillAll(kWhite);
  lcd.UpdateFromCanvas(128);  // no canvas yet: nothing sent
  EXPECT_TRUE(g.pixels.empty());
  lcd.Canvas = &frame;
  lcd.UpdateFromCanvas(128);
  EXPECT_EQ(g.format, 1u);
  EXPECT_EQ(g.priority, 0x80000080u);
  EXPECT_EQ(g.updateDevice, 9);
  EXPECT_EQ(g.pixels, std::vector<uint8_t>(kLcdPixels, 255));

  frame.FillAll(kBlack);
  frame.Set(159, 0, kWhite);
  frame.Set(0, 42, kWhite);
  lcd.UpdateFromCanvas(64);
  EXPECT_EQ(g.priority, 0x80000040u);
  std::vector<uint8_t> expected(kLcdPixels, 0);
  expected[159] = 255;
  expected[6720] = 255;
  EXPECT_EQ(g.pixels, expected);

  lcd.Clear();
  EXPECT_EQ(g.priority, 0x80000080u);
  EXPECT_EQ(g.pixels, std::vector<uint8_t>(kLcdPixels, 0));
}

TEST_F(LcdG15Test, ForegroundRequestsPassTheFlagAndResult) {
  TLcdG15 lcd(FakeLibrary(), "x", true, false, true);
  g.foregroundResult = 1167;
  EXPECT_EQ(lcd.SetForeground(1), 1167);
  EXPECT_EQ(g.foregroundFlag, 1);
  EXPECT_TRUE(lcd.Foreground);
  g.foregroundResult = 0;
  EXPECT_EQ(lcd.SetForeground(0), 0);
  EXPECT_EQ(g.foregroundFlag, 0);
  EXPECT_FALSE(lcd.Foreground);
}

uint32_t g_buttons = 0;
int g_configures = 0;

TEST_F(LcdG15Test, CallbacksForwardOnlyToASetHandler) {
  TLcdG15 lcd(FakeLibrary(), "x", true, false, true);
  g_buttons = 0;
  g_configures = 0;
  EXPECT_EQ(LcdSoftButtonCallback(9, 8, nullptr), 0);
  EXPECT_EQ(LcdSoftButtonCallback(9, 8, &lcd), 0);  // no handler yet
  EXPECT_EQ(LcdConfigureCallback(5, &lcd), 0);
  lcd.OnSoftButtons = [](uint32_t b) { g_buttons = b; };
  lcd.OnConfigure = [] { ++g_configures; };
  EXPECT_EQ(LcdSoftButtonCallback(9, 12, nullptr), 0);
  EXPECT_EQ(g_buttons, 0u);
  EXPECT_EQ(LcdSoftButtonCallback(9, 12, &lcd), 0);
  EXPECT_EQ(g_buttons, 12u);
  EXPECT_EQ(LcdConfigureCallback(5, nullptr), 0);
  EXPECT_EQ(LcdConfigureCallback(5, &lcd), 0);
  EXPECT_EQ(g_configures, 1);
  // Through the pointers the library was given.
  g.open.softButtonCallback(9, 4, g.open.softButtonContext);
  EXPECT_EQ(g_buttons, 4u);
}

// Presses and configure requests that the library delivers while the
// binding closes its device, or after it is gone, reach no handler and no
// freed object (AddressSanitizer watches the second).
TEST_F(LcdG15Test, NoCallbackReachesABindingBeingDestroyed) {
  g_buttons = 0;
  g_configures = 0;
  g.onClose = [] {
    g.open.softButtonCallback(9, 2, g.open.softButtonContext);
    g.connect.configureCallback(5, g.connect.configureContext);
  };
  {
    auto lcd = std::make_unique<TLcdG15>(FakeLibrary(), "x", true, false, true);
    lcd->OnSoftButtons = [](uint32_t b) { g_buttons = b; };
    lcd->OnConfigure = [] { ++g_configures; };
  }
  EXPECT_EQ(g_buttons, 0u);
  EXPECT_EQ(g_configures, 0);
  EXPECT_EQ(g.open.softButtonCallback(9, 8, g.open.softButtonContext), 0);
  EXPECT_EQ(g.connect.configureCallback(5, g.connect.configureContext), 0);
  EXPECT_EQ(g_buttons, 0u);
  EXPECT_EQ(g_configures, 0);
}

}  // namespace
