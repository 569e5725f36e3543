#include "applet/shell/WindowRules.h"

#include <gtest/gtest.h>

TEST(WindowRulesTest, AppletMessageRequests) {
  const uint32_t own = 4242;
  EXPECT_EQ(AppletMessageRequest(own, 16, own), kRequestNothing);  // our own broadcast
  EXPECT_EQ(AppletMessageRequest(17, 16, own), kRequestClose);
  EXPECT_EQ(AppletMessageRequest(0, 514, own), kRequestToggleWindow);
  EXPECT_EQ(AppletMessageRequest(0, 517, own), kRequestTrayMenu);
  for (intptr_t other : {0, 512, 513, 516, 1024}) EXPECT_EQ(AppletMessageRequest(17, other, own), kRequestNothing);
}

TEST(WindowRulesTest, MessagePageByDisplayTime) {
  tMessagePage off = MessagePageFor(0);
  EXPECT_EQ(off.PageMode, 0);
  EXPECT_FALSE(off.StartTimer);
  tMessagePage until = MessagePageFor(1);
  EXPECT_EQ(until.PageMode, 5);
  EXPECT_FALSE(until.StartTimer);
  tMessagePage timed = MessagePageFor(3000);
  EXPECT_EQ(timed.PageMode, 5);
  EXPECT_TRUE(timed.StartTimer);
  EXPECT_EQ(timed.Interval, 3000u);
  EXPECT_EQ(MessagePageFor(2).Interval, 2u);
}

TEST(WindowRulesTest, MessageTimerLeavesOnlyTheMessagePage) {
  EXPECT_EQ(PageAfterMessageTimer(5), 0);
  for (int32_t page : {0, 1, 2, 3, 4}) EXPECT_EQ(PageAfterMessageTimer(page), page);
}

// From a hidden window's alpha 0: 25 steps of 10 reach 250, then it stops.
TEST(WindowRulesTest, FadeReachesTwoHundredFiftyInTwentyFiveSteps) {
  uint8_t alpha = 0;
  int steps = 0;
  while (FadeStep(true, alpha)) ++steps;
  EXPECT_EQ(steps, 25);
  EXPECT_EQ(alpha, 250);
  uint8_t hidden = 100;
  EXPECT_FALSE(FadeStep(false, hidden));
  EXPECT_EQ(hidden, 100);
}

TEST(WindowRulesTest, PowerEventGroups) {
  for (uintptr_t e : {0, 1, 4, 5}) EXPECT_EQ(PowerEventGroup(e), kPowerSuspend) << e;
  for (uintptr_t e : {6, 7, 8, 18}) EXPECT_EQ(PowerEventGroup(e), kPowerResume) << e;
  for (uintptr_t e : {2, 3, 9, 10, 11, 0x8013}) EXPECT_EQ(PowerEventGroup(e), kPowerOther) << e;
}

TEST(WindowRulesTest, LCoreComesBackOnlyWhenWeClosedIt) {
  // A query and the suspend after it: LCore.exe was closed by the first.
  bool closed = LCoreClosedAtSuspend(false, true);
  closed = LCoreClosedAtSuspend(closed, false);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(LCoreRestartDue(closed, false));
  EXPECT_FALSE(LCoreRestartDue(closed, true));  // already running again
  EXPECT_FALSE(LCoreRestartDue(LCoreClosedAtSuspend(false, false), false));
}

// The client area is 320 x 86 whatever the border, centred in the work area.
TEST(WindowRulesTest, PreviewPlacement) {
  tWindowPlacement p = PlacePreviewWindow(318, 84, 1920, 1040);
  EXPECT_EQ(p.Width, 322);
  EXPECT_EQ(p.Height, 88);
  EXPECT_EQ(p.Left, (1920 - 322) / 2);
  EXPECT_EQ(p.Top, (1040 - 88) / 2);
  tWindowPlacement odd = PlacePreviewWindow(320, 86, 1023, 767);
  EXPECT_EQ(odd.Left, 351);  // (1023 - 320) / 2, halved toward zero
  EXPECT_EQ(odd.Top, 340);
}

TEST(WindowRulesTest, NetworkMenuKeepsEthernetAndWirelessWithRowIds) {
  std::vector<tInterfaceRow> rows = {
      {24, 1, "Loopback"}, {6, 11, "Ethernet adapter"}, {131, 12, "Tunnel"}, {71, 13, "Wireless adapter"}};
  std::vector<tNetworkMenuItem> items = NetworkMenuItems(rows, 13);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Id, 1101u);
  EXPECT_EQ(items[0].Index, 11u);
  EXPECT_EQ(items[0].Text, "Ethernet adapter");
  EXPECT_FALSE(items[0].Checked);
  EXPECT_EQ(items[1].Id, 1103u);
  EXPECT_TRUE(items[1].Checked);
  EXPECT_TRUE(NetworkMenuItems({{24, 1, "Loopback"}, {131, 2, "Tunnel"}}, 1).empty());
}

TEST(WindowRulesTest, PathParts) {
  EXPECT_EQ(ReplaceExtension("C:\\Apps\\Kestrani.exe", ".ini"), "C:\\Apps\\Kestrani.ini");
  EXPECT_EQ(ReplaceExtension("C:\\My.Apps\\Kestrani", ".ini"), "C:\\My.Apps\\Kestrani.ini");
  EXPECT_EQ(ReplaceExtension("C:\\Apps\\Kestrani.x.ini", ".bmp"), "C:\\Apps\\Kestrani.x.bmp");
  EXPECT_EQ(FileNamePart("C:\\Apps\\Kestrani.ini"), "Kestrani.ini");
  EXPECT_EQ(FileNamePart("Kestrani.ini"), "Kestrani.ini");
  EXPECT_EQ(FolderPart("C:\\Apps\\Kestrani.exe"), "C:\\Apps\\");
  EXPECT_EQ(FolderPart("Kestrani.exe"), "");
}

// The program's folder, then the system folder; never the current directory
// or PATH.
TEST(WindowRulesTest, LibraryCandidatesInOrder) {
  using V = std::vector<std::string>;
  EXPECT_EQ(LibraryCandidates("C:\\Apps\\", "C:\\Windows\\system32", "lgLcdWrapper.dll"),
            (V{"C:\\Apps\\lgLcdWrapper.dll", "C:\\Windows\\system32\\lgLcdWrapper.dll"}));
  EXPECT_EQ(LibraryCandidates("", "C:\\Windows\\system32\\", "winring0.dll"),
            V{"C:\\Windows\\system32\\winring0.dll"});
  EXPECT_EQ(LibraryCandidates("C:\\Apps", "", "winring0.dll"), V{"C:\\Apps\\winring0.dll"});
}

TEST(WindowRulesTest, ResolvedFolders) {
  EXPECT_TRUE(IsResolvedFolder("C:\\Users\\me\\Pictures\\"));
  EXPECT_TRUE(IsResolvedFolder("C:\\"));
  EXPECT_FALSE(IsResolvedFolder("\\"));
  EXPECT_FALSE(IsResolvedFolder("/"));
  EXPECT_FALSE(IsResolvedFolder(""));
}
