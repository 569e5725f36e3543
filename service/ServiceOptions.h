// Decisions of the service program that need no Windows calls: the option
// word dispatch, the status names, the Windows version rule and what each
// service control does.
#pragma once
#include <cstdint>

// 32-bit FNV-1a of a text, the hash the command line is dispatched on.
uint32_t OptionHash(const char* text);

enum class tServiceAction { None, InstallAndStart, ConsoleDiagnostics, StopAndRemove };

// The action of the first command-line argument: lowercases the ASCII letters
// A to Z (nothing else) and looks the hash up in the option table.
tServiceAction ActionForOption(const char* argument);

// Service state names for the closing "Status : " line; 0 (and any value
// outside 1..7) is "not installed".
const char* StatusName(uint32_t state);

// The operating-system requirement: Windows NT, and 5.1 with Service Pack 2
// or later, or 6.0 and later. `servicePackKnown` is whether the extended
// version query succeeded.
bool WindowsVersionAccepted(bool isNt, uint32_t major, uint32_t minor, bool servicePackKnown,
                            uint32_t servicePackMajor);

// What the control handler does for one control code.
struct tControlOutcome {
  bool SetStop = false;
  bool SetPause = false;
  bool ClearPause = false;
  bool Report = false;       // report the status after the change
  uint32_t NewState = 0;     // 0: the current state stays
};
tControlOutcome OutcomeOfControl(uint32_t control);

// Service states and controls of the service control manager (values of its API).
constexpr uint32_t kStateStopped = 1;
constexpr uint32_t kStateStartPending = 2;
constexpr uint32_t kStateStopPending = 3;
constexpr uint32_t kStateRunning = 4;
constexpr uint32_t kStatePaused = 7;
