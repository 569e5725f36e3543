#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/ServiceMessages.h"
#include "service/ServiceOptions.h"

namespace {

TEST(OptionDispatch, WordsSelectTheirActions) {
  struct {
    const char* Word;
    tServiceAction Action;
  } const cases[] = {
      {"-install", tServiceAction::InstallAndStart},
      {"/INSTALL", tServiceAction::InstallAndStart},
      {"-Debug", tServiceAction::ConsoleDiagnostics},
      {"/debug", tServiceAction::ConsoleDiagnostics},
      {"-UNINSTALL", tServiceAction::StopAndRemove},
      {"/uninstall", tServiceAction::StopAndRemove},
      {"install", tServiceAction::None},
      {"-remove", tServiceAction::None},
      {"", tServiceAction::None},
      // Only A to Z are lowercased: a Windows-1252 capital stays as it is.
      {"-\xC4" "ebug", tServiceAction::None},
  };
  for (const auto& c : cases) EXPECT_EQ(ActionForOption(c.Word), c.Action) << c.Word;
}

TEST(OptionDispatch, HashIsFnv1a) {
  EXPECT_EQ(OptionHash(""), 0x811C9DC5u);
  EXPECT_EQ(OptionHash("-install"), 0x18E098EBu);
  EXPECT_EQ(OptionHash("/uninstall"), 0xCC3853B8u);
}

TEST(StatusNames, AllStates) {
  EXPECT_STREQ(StatusName(0), "not installed");
  EXPECT_STREQ(StatusName(1), "SERVICE_STOPPED");
  EXPECT_STREQ(StatusName(4), "SERVICE_RUNNING");
  EXPECT_STREQ(StatusName(7), "SERVICE_PAUSED");
  EXPECT_STREQ(StatusName(8), "not installed");
}

TEST(WindowsVersion, Requirement) {
  struct {
    bool Nt;
    uint32_t Major, Minor;
    bool SpKnown;
    uint32_t Sp;
    bool Ok;
  } const cases[] = {
      {true, 5, 1, true, 2, true},    // XP SP2
      {true, 5, 1, true, 1, false},   // XP SP1
      {true, 5, 1, false, 3, false},  // service pack unknown
      {true, 5, 0, true, 4, false},   // 2000
      {true, 5, 2, true, 2, false},   // Server 2003
      {true, 4, 0, true, 6, false},
      {true, 6, 0, false, 0, true},
      {true, 10, 0, true, 0, true},
      {false, 6, 0, true, 0, false},  // not NT
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsVersionAccepted(c.Nt, c.Major, c.Minor, c.SpKnown, c.Sp), c.Ok)
        << c.Major << "." << c.Minor << " sp" << c.Sp;
  }
}

TEST(ControlHandler, Outcomes) {
  const tControlOutcome stop = OutcomeOfControl(1);
  EXPECT_TRUE(stop.SetStop && stop.Report);
  EXPECT_EQ(stop.NewState, kStateStopPending);
  const tControlOutcome pause = OutcomeOfControl(2);
  EXPECT_TRUE(pause.SetPause && pause.Report && !pause.SetStop);
  EXPECT_EQ(pause.NewState, kStatePaused);
  const tControlOutcome resume = OutcomeOfControl(3);
  EXPECT_TRUE(resume.ClearPause && resume.Report);
  EXPECT_EQ(resume.NewState, kStateRunning);
  const tControlOutcome interrogate = OutcomeOfControl(4);
  EXPECT_TRUE(interrogate.Report);
  EXPECT_EQ(interrogate.NewState, 0u);
  const tControlOutcome shutdown = OutcomeOfControl(5);
  EXPECT_TRUE(shutdown.SetStop && !shutdown.Report);
  const tControlOutcome other = OutcomeOfControl(0x80);
  EXPECT_FALSE(other.SetStop || other.SetPause || other.ClearPause || other.Report);
}

TEST(Messages, LogLine) {
  EXPECT_EQ(ComposeLogLine("10.12.2026", "05:03:09", false, "Leaving Service"),
            "10.12.2026 05:03:09 - Leaving Service");
  EXPECT_EQ(ComposeLogLine("10.12.2026", "00:00:00", true, "x"), "10.12.2026 - x");
}

TEST(Messages, Texts) {
  EXPECT_EQ(VersionLine(0x00010002, 0x00030004), "Morvaith Service 1.2.3.4");
  EXPECT_EQ(ModelLine("Intel Core i7-4770", 8), "Intel Core i7-4770, 8 threads");
  EXPECT_EQ(FrequencyDetailLine(3400.5, 34, 100.0), "Frequency: 3400 Mhz: 3400.000000 Mhz (34.0 * 100.000000)");
  EXPECT_EQ(TjMaxLine(100), "TjMax: 100\xB0" "C (212\xB0" "F)");
  EXPECT_EQ(TjMaxLine(72.5), "TjMax: 72\xB0" "C (162\xB0" "F)");  // 162.5 to even
  EXPECT_EQ(ClockDetailLine(3899.5, 39, 99.99), "3900 Mhz: 3899.610000 Mhz (39.0 * 99.990000)");
  EXPECT_EQ(std::string(kServiceDescription),
            "Stellt Hardwareinformationen f\xFCr Kestrani zur Verf\xFCgung");
  EXPECT_EQ(std::string(kServiceDescription).find('\xC3'), std::string::npos);  // not UTF-8
}

TEST(DriverSearch, SkippedLineSaysWhatToDo) {
  EXPECT_EQ(SkippedDriverLine("C:\\Tools\\WinRing0.dll", "C:\\Program Files\\Kestrani\\"),
            "Skipped C:\\Tools\\WinRing0.dll: the service loads WinRing0.dll only from "
            "C:\\Program Files\\Kestrani\\ or the system folder; move it there");
}

TEST(DriverSearch, Candidates) {
  using V = std::vector<std::string>;
  EXPECT_EQ(DriverSearchCandidates("", "WinRing0.dll"), V{"WinRing0.dll"});
  EXPECT_EQ(DriverSearchCandidates("C:\\bin;;D:\\tools\\;E:;F:/x/", "WinRing0.dll"),
            (V{"WinRing0.dll", "C:\\bin\\WinRing0.dll", "D:\\tools\\WinRing0.dll",
               "E:WinRing0.dll", "F:/x/WinRing0.dll"}));
  EXPECT_EQ(DriverSearchCandidates(std::string("C:\\a\0C:\\b", 9), "W.dll"),
            (V{"W.dll", "C:\\a\\W.dll"}));
  EXPECT_EQ(DriverSearchCandidates(";", "W.dll"), V{"W.dll"});
}

}  // namespace
