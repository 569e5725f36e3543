// The LCD binding against the wrapper library's stand-in, which lies beside
// this program; its profile and output folder are set per test.
#include "applet/lcd/G15Unit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/sensors/WinTestUtil_win.h"

namespace {

class LcdG15WinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("KES_LGLCD_OUT", out_.Path().c_str());
    SetEnvironmentVariableA("KES_LGLCD_PROFILE", out_.File("lgLcd.profile").c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA("KES_LGLCD_OUT", nullptr);
    SetEnvironmentVariableA("KES_LGLCD_PROFILE", nullptr);
  }
  void Profile(const std::string& text) { ASSERT_TRUE(WriteTextFile(out_.File("lgLcd.profile"), text)); }
  // The pixel bytes of the last frame the stand-in recorded.
  std::string LatestPixels() const {
    const std::string pgm = ReadWholeFile(out_.File("latest.pgm"));
    const std::string header = "P5\n160 43\n255\n";
    if (pgm.compare(0, header.size(), header) != 0) return std::string();
    return pgm.substr(header.size());
  }

  TScratchDir out_{"kes-lcd"};
};

TEST_F(LcdG15WinTest, OpensSendsFramesAndCloses) {
  {
    TLcdG15 lcd("Kestrani", true, false, true);
    ASSERT_NE(lcd.Device, -1);
    auto frame = std::make_unique<TLcdFrame>();
    lcd.Canvas = frame.get();

    frame->FillAll(kWhite);
    lcd.UpdateFromCanvas(128);
    EXPECT_EQ(LatestPixels(), std::string(6880, '\xFF'));

    frame->FillAll(kBlack);
    lcd.UpdateFromCanvas(128);
    EXPECT_EQ(LatestPixels(), std::string(6880, '\0'));

    frame->Set(159, 0, kWhite);
    frame->Set(0, 42, kWhite);
    lcd.UpdateFromCanvas(128);
    std::string expected(6880, '\0');
    expected[159] = '\xFF';
    expected[6720] = '\xFF';
    EXPECT_EQ(LatestPixels(), expected);

    frame->FillAll(kWhite);
    lcd.Clear();
    EXPECT_EQ(LatestPixels(), std::string(6880, '\0'));

    EXPECT_EQ(lcd.SetForeground(1), 0);
    EXPECT_EQ(lcd.SetForeground(0), 0);
  }
  const auto frames = ReadLines(out_.File("frames.log"));
  ASSERT_EQ(frames.size(), 4u);
  for (size_t i = 0; i < frames.size(); ++i)
    EXPECT_EQ(frames[i].substr(0, frames[i].find(' ', 2)), std::to_string(i + 1) + " 0x80000080") << frames[i];
  const auto fg = ReadLines(out_.File("foreground.log"));
  ASSERT_EQ(fg.size(), 2u);
  EXPECT_EQ(fg[0].substr(fg[0].find(' ')), " 1 0");
  EXPECT_EQ(fg[1].substr(fg[1].find(' ')), " 0 0");
  const std::string session = ReadWholeFile(out_.File("session.log"));
  EXPECT_NE(session.find("name=\"Kestrani\" persistent=-1 autostartable=0 configurable=1"), std::string::npos);
  EXPECT_NE(session.find("close device=1"), std::string::npos);
  EXPECT_NE(session.find("deinit"), std::string::npos);
}

TEST_F(LcdG15WinTest, FailingStepsLeaveNoDevice) {
  for (const char* profile : {"init = 1\n", "connect = 1167\n", "connection = -1\n", "enumerate = 259\n"}) {
    Profile(profile);
    {
      TLcdG15 lcd("Kestrani", true, false, true);
      EXPECT_EQ(lcd.Device, -1) << profile;
      TLcdFrame frame;
      frame.FillAll(kWhite);
      lcd.Canvas = &frame;
      lcd.UpdateFromCanvas(128);
      EXPECT_EQ(lcd.SetForeground(1), 0);
      EXPECT_TRUE(lcd.Foreground);
    }
    EXPECT_EQ(GetFileAttributesA(out_.File("frames.log").c_str()), INVALID_FILE_ATTRIBUTES) << profile;
  }
  // After the failures a new binding still opens the device.
  Profile("");
  TLcdG15 lcd("Kestrani", true, false, true);
  EXPECT_NE(lcd.Device, -1);
}

struct TPresses {
  std::mutex lock;
  std::vector<uint32_t> masks;
  std::vector<DWORD> threads;
  std::atomic<int> configures{0};
} g_presses;

void OnButtons(uint32_t buttons) {
  std::lock_guard<std::mutex> hold(g_presses.lock);
  g_presses.masks.push_back(buttons);
  g_presses.threads.push_back(GetCurrentThreadId());
}

TEST_F(LcdG15WinTest, SoftButtonsArriveOnTheLibrarysThread) {
  TLcdG15 lcd("Kestrani", true, false, true);
  ASSERT_NE(lcd.Device, -1);
  lcd.OnSoftButtons = &OnButtons;
  lcd.OnConfigure = [] { ++g_presses.configures; };
  ASSERT_TRUE(WriteTextFile(out_.File("buttons.txt"), "8\n12\nconfigure\n"));
  for (int i = 0; i < 100; ++i) {
    {
      std::lock_guard<std::mutex> hold(g_presses.lock);
      if (g_presses.masks.size() >= 4 && g_presses.configures == 1) break;
    }
    Sleep(30);
  }
  std::lock_guard<std::mutex> hold(g_presses.lock);
  EXPECT_EQ(g_presses.masks, (std::vector<uint32_t>{8, 0, 12, 0}));  // each press, then its release
  EXPECT_EQ(g_presses.configures, 1);
  for (DWORD t : g_presses.threads) EXPECT_NE(t, GetCurrentThreadId());
  EXPECT_EQ(GetFileAttributesA(out_.File("buttons.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

std::atomic<bool> g_destroying{false};
std::atomic<int> g_handled{0}, g_late{0};

void CountPress(uint32_t) {
  ++g_handled;
  if (g_destroying) ++g_late;
}

// The stand-in goes on delivering the presses of its control file on its own
// thread while the binding closes the device; none may reach the binding
// once its destruction has begun.
TEST_F(LcdG15WinTest, DestroyedWhilePressesArrive) {
  const int rounds = 3;
  for (int round = 0; round < rounds; ++round) {
    g_destroying = false;
    g_handled = 0;
    auto lcd = std::make_unique<TLcdG15>("Kestrani", true, false, true);
    ASSERT_NE(lcd->Device, -1);
    lcd->OnSoftButtons = &CountPress;
    lcd->OnConfigure = [] {
      if (g_destroying) ++g_late;
    };
    ASSERT_TRUE(WriteTextFile(out_.File("buttons.txt"), "1\n2\nconfigure\n4\n8\n"));
    for (int i = 0; i < 200 && g_handled == 0; ++i) Sleep(10);
    ASSERT_GT(g_handled, 0) << "no press arrived";
    g_destroying = true;
    lcd.reset();
  }
  EXPECT_EQ(g_late, 0);
  // The stand-in did deliver the rest of each file meanwhile.
  EXPECT_EQ(ReadLines(out_.File("buttons.log")).size(), static_cast<size_t>(5 * rounds));
}

}  // namespace
