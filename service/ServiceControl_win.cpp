#include "service/ServiceControl_win.h"

#include <windows.h>

#include <string>

#include "common/ProcAddress_win.h"
#include "service/ServiceMessages.h"
#include "service/ServiceOptions.h"
#include "service/ServiceState_win.h"
#include "service/WinHandle_win.h"

namespace {

SERVICE_STATUS ServiceState{};
SERVICE_STATUS_HANDLE StatusHandle = nullptr;

// Longest time StopServiceAndWait waits for a service that keeps reporting
// the same progress, so that a hung service cannot hang its controller.
constexpr DWORD kStopWaitLimitMs = 60000;

void ReportStatus() { SetServiceStatus(StatusHandle, &ServiceState); }

void WINAPI ServiceControlHandler(DWORD control) {
  const tControlOutcome outcome = OutcomeOfControl(control);
  if (outcome.SetStop) StopRequested = true;
  if (outcome.SetPause) PauseRequested = true;
  if (outcome.ClearPause) PauseRequested = false;
  if (outcome.NewState != 0) ServiceState.dwCurrentState = outcome.NewState;
  if (outcome.Report) ReportStatus();
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
  StatusHandle = RegisterServiceCtrlHandlerA(kServiceName, ServiceControlHandler);
  if (StatusHandle == nullptr) return;
  ServiceState = SERVICE_STATUS{};
  ServiceState.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
  ServiceState.dwCurrentState = SERVICE_START_PENDING;
  ServiceState.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
  ServiceState.dwWaitHint = 1000;
  ReportStatus();

  StopRequested = false;
  PauseRequested = false;
  ServiceState.dwCurrentState = SERVICE_RUNNING;
  ReportStatus();
  try {
    ServiceWorker();
  } catch (...) {
    // Nothing may leave the service entry; the stopped status follows.
  }
  ServiceState.dwCurrentState = SERVICE_STOPPED;
  ReportStatus();
}

}  // namespace

uint32_t QueryServiceState(const char* name) {
  tServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return 0;
  tServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS));
  if (!service) return 0;
  if (!QueryServiceStatus(service.get(), &ServiceState)) return 0;
  return ServiceState.dwCurrentState;
}

void InstallService(const char* name, const char* displayName, const char* path) {
  tServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return;
  // Quoted, so that a path with spaces cannot start another program placed
  // on a prefix of it.
  const std::string binaryPath = std::string("\"") + path + "\"";
  tServiceHandle service(CreateServiceA(manager.get(), name, displayName, SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                        SERVICE_ERROR_IGNORE, binaryPath.c_str(), nullptr,
                                        nullptr, nullptr, nullptr, nullptr));
  if (!service) return;
  StartServiceA(service.get(), 0, nullptr);
}

void SetServiceDescription(const char* text) {
  typedef BOOL(WINAPI * tChangeConfig2)(SC_HANDLE, DWORD, LPVOID);
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  if (advapi == nullptr) return;
  tChangeConfig2 change = nullptr;
  if (!ResolveProc(advapi, "ChangeServiceConfig2A", change)) return;
  tServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return;
  tServiceHandle service(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
  if (!service) return;
  std::string description(text);
  SERVICE_DESCRIPTIONA info{&description[0]};
  change(service.get(), SERVICE_CONFIG_DESCRIPTION, &info);
}

bool StopServiceAndWait(const char* name) {
  tServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  tServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service) return false;
  SERVICE_STATUS status{};
  if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return false;
  if (!QueryServiceStatus(service.get(), &status)) return false;
  const DWORD start = GetTickCount();
  while (status.dwCurrentState != SERVICE_STOPPED) {
    const DWORD checkPoint = status.dwCheckPoint;
    // A wait hint of 0 would spin; wait at least a tenth of a second.
    Sleep(status.dwWaitHint < 100 ? 100 : status.dwWaitHint);
    if (!QueryServiceStatus(service.get(), &status)) break;
    if (status.dwCheckPoint < checkPoint) break;
    if (GetTickCount() - start > kStopWaitLimitMs) break;
  }
  return status.dwCurrentState == SERVICE_STOPPED;
}

void RemoveService(const char* name) {
  tServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return;
  tServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_ALL_ACCESS));
  if (!service) return;
  SERVICE_STATUS status{};
  ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  DeleteService(service.get());
}

void RunServiceDispatcher() {
  char name[sizeof kServiceName];
  memcpy(name, kServiceName, sizeof name);
  SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  StartServiceCtrlDispatcherA(table);
}
