// Program-wide state of the service program, shared by its entry, the service
// control handler, the worker and the console mode.
#pragma once
#include <atomic>
#include <string>

#include "service/HardwareBlock.h"

// Where "WinRing0.dll" was found; empty after a fruitless search.
extern std::string DriverPath;
// The log file; empty unless the program runs as the service.
extern std::string LogFileName;
// Set by the control handler, polled by the worker once per second.
extern std::atomic<bool> StopRequested;
extern std::atomic<bool> PauseRequested;
// The worker's local copy of the shared record.
extern tHardwareBlock LocalBlock;

// The service's working loop: publishes the block once per second until stopped.
void ServiceWorker();
// The console diagnostics: prints the readings once per second until Escape.
void ConsoleDiagnostics();
