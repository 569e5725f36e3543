// svcctl: sends one control to a service and prints its state afterwards, for
// the end-to-end scenarios ("pause" and "continue" are missing from Wine's sc).
//   svcctl pause|continue|stop|interrogate|query NAME
// Prints "State=<n>" and exits 0 when the control was accepted (or for query).
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: svcctl pause|continue|stop|interrogate|query NAME\n");
    return 2;
  }
  struct {
    const char* Word;
    DWORD Control;
  } const controls[] = {{"pause", SERVICE_CONTROL_PAUSE},
                        {"continue", SERVICE_CONTROL_CONTINUE},
                        {"stop", SERVICE_CONTROL_STOP},
                        {"interrogate", SERVICE_CONTROL_INTERROGATE},
                        {"query", 0}};
  DWORD control = 0xFFFFFFFF;
  for (const auto& c : controls) {
    if (std::strcmp(argv[1], c.Word) == 0) control = c.Control;
  }
  if (control == 0xFFFFFFFF) return 2;
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return 3;
  SC_HANDLE service = OpenServiceA(manager, argv[2], SERVICE_ALL_ACCESS);
  if (service == nullptr) {
    CloseServiceHandle(manager);
    std::printf("State=0\n");
    return 3;
  }
  SERVICE_STATUS status{};
  BOOL ok = TRUE;
  if (control != 0) ok = ControlService(service, control, &status);
  QueryServiceStatus(service, &status);
  std::printf("State=%u\n", static_cast<unsigned>(status.dwCurrentState));
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return ok ? 0 : 1;
}
