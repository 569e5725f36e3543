#include "service/ServiceOptions.h"

#include <string>

#include "common/Fnv1a.h"

namespace {

struct tOptionRow {
  uint32_t Hash;
  tServiceAction Action;
};

// Two option words per action; the program keeps only their hashes.
constexpr tOptionRow kOptions[] = {
    {Fnv1a("-install"), tServiceAction::InstallAndStart},
    {Fnv1a("/install"), tServiceAction::InstallAndStart},
    {Fnv1a("-debug"), tServiceAction::ConsoleDiagnostics},
    {Fnv1a("/debug"), tServiceAction::ConsoleDiagnostics},
    {Fnv1a("-uninstall"), tServiceAction::StopAndRemove},
    {Fnv1a("/uninstall"), tServiceAction::StopAndRemove},
};
static_assert(kOptions[0].Hash == 0x18E098EBu && kOptions[1].Hash == 0xD487C1C5u, "install hashes");
static_assert(kOptions[2].Hash == 0x8C4B376Fu && kOptions[3].Hash == 0xDE73A6C9u, "debug hashes");
static_assert(kOptions[4].Hash == 0xE67386FAu && kOptions[5].Hash == 0xCC3853B8u, "remove hashes");

constexpr const char* kStatusNames[] = {
    "not installed",         "SERVICE_STOPPED",          "SERVICE_START_PENDING",
    "SERVICE_STOP_PENDING",  "SERVICE_RUNNING",          "SERVICE_CONTINUE_PENDING",
    "SERVICE_PAUSE_PENDING", "SERVICE_PAUSED",
};

}  // namespace

uint32_t OptionHash(const char* text) { return Fnv1a(text); }

tServiceAction ActionForOption(const char* argument) {
  std::string lowered(argument);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const uint32_t hash = OptionHash(lowered.c_str());
  for (const tOptionRow& row : kOptions) {
    if (row.Hash == hash) return row.Action;
  }
  return tServiceAction::None;
}

const char* StatusName(uint32_t state) {
  if (state >= sizeof kStatusNames / sizeof kStatusNames[0]) return kStatusNames[0];
  return kStatusNames[state];
}

bool WindowsVersionAccepted(bool isNt, uint32_t major, uint32_t minor, bool servicePackKnown,
                            uint32_t servicePackMajor) {
  if (!isNt) return false;
  if (major == 5) return minor == 1 && servicePackKnown && servicePackMajor >= 2;
  return major >= 6;
}

tControlOutcome OutcomeOfControl(uint32_t control) {
  tControlOutcome outcome;
  switch (control) {
    case 1:  // stop
      outcome.SetStop = true;
      outcome.Report = true;
      outcome.NewState = kStateStopPending;
      break;
    case 2:  // pause: reported at once, without a pause-pending phase
      outcome.SetPause = true;
      outcome.Report = true;
      outcome.NewState = kStatePaused;
      break;
    case 3:  // continue
      outcome.ClearPause = true;
      outcome.Report = true;
      outcome.NewState = kStateRunning;
      break;
    case 4:  // interrogate
      outcome.Report = true;
      break;
    case 5:  // shutdown: handled although not announced
      outcome.SetStop = true;
      break;
    default:
      break;
  }
  return outcome;
}
