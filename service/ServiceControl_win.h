// The service program's own installation and control through the service
// control manager, and its service role (ServiceMain and the control handler).
// Every failing call passes silently; callers show the resulting state.
#pragma once
#include <cstdint>

// The service's current state (1 to 7), or 0 when it is not installed or
// cannot be queried.
uint32_t QueryServiceState(const char* name);
// Creates the auto-start LocalSystem service with its binary path in double
// quotes, then starts it.
void InstallService(const char* name, const char* displayName, const char* path);
// Sets the description of "MorvaithSvc", where the platform offers it.
void SetServiceDescription(const char* text);
// Sends stop and waits while the service reports progress; true when it ended stopped.
bool StopServiceAndWait(const char* name);
// Sends stop (ignoring the result) and marks the service for deletion.
void RemoveService(const char* name);
// Runs the service control dispatcher; returns when the service has stopped.
void RunServiceDispatcher();
