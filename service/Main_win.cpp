// Entry of MorvaithSvc: its own installer and controller when started with an
// option word, the service itself when the service control manager starts it.
#include <windows.h>

#include <string>

#include "service/ServiceControl_win.h"
#include "service/ServiceMessages.h"
#include "service/ServiceOptions.h"
#include "service/ServiceState_win.h"
#include "service/Support_win.h"

namespace {

bool WindowsVersionOk() {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return false;
  const bool isNt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  bool servicePackKnown = false;
  if (isNt && version.dwMajorVersion == 5) {
    static_assert(sizeof(OSVERSIONINFOEXA) == 156, "extended version record");
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    servicePackKnown = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)) != FALSE;
    version.wServicePackMajor = extended.wServicePackMajor;
  }
  return WindowsVersionAccepted(isNt, version.dwMajorVersion, version.dwMinorVersion,
                                servicePackKnown, version.wServicePackMajor);
}

void RunAction(tServiceAction action) {
  switch (action) {
    case tServiceAction::InstallAndStart:
      if (QueryServiceState(kServiceName) == 0) {
        InstallService(kServiceName, kServiceDisplayName, ProgramFileName().c_str());
        if (QueryServiceState(kServiceName) == kStateRunning) SetServiceDescription(kServiceDescription);
      }
      break;
    case tServiceAction::ConsoleDiagnostics:
      ConsoleDiagnostics();
      break;
    case tServiceAction::StopAndRemove: {
      const uint32_t state = QueryServiceState(kServiceName);
      if (state != 0) {
        if (state > kStateStopped) StopServiceAndWait(kServiceName);
        RemoveService(kServiceName);
      }
      break;
    }
    case tServiceAction::None:
      break;
  }
}

int Run(int argc, char** argv) {
  if (!WindowsVersionOk()) {
    WriteConsoleLine("Windows XP SP2 or higher required!");
    return 0;
  }
  if (argc > 1) {
    RunAction(ActionForOption(argv[1]));
  } else if (QueryServiceState(kServiceName) == kStateStartPending) {
    LogFileName = ProgramFolder() + kLogFileName;
    DeleteFileA(LogFileName.c_str());
    RunServiceDispatcher();
  }
  WriteConsoleLine(std::string("Status : ") + StatusName(QueryServiceState(kServiceName)));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (...) {
    return 1;
  }
}
