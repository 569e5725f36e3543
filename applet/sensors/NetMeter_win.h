// The applet's memory and network meters: memory load, the interface list
// and the rates of the chosen interface. All run on the window's thread.
#pragma once
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <vector>

// The platform's interface rows, in the order the platform returns them.
using TMIBIfArray = std::vector<MIB_IFROW>;

// Percentage of physical memory in use, 0..100.
uint32_t GetMemoryLoad();

// Fills table with the current interface rows; empty when they cannot be read.
void GetInterfaceTable(TMIBIfArray& table);

// The interface (dwIndex of its row) whose rates GetNetworkRates measures.
extern uint32_t NetworkIndex;

// Down and up rate of NetworkIndex in bytes per second since the last call;
// both 0.0 until two earlier calls have recorded the time and the counters.
void GetNetworkRates(double& down, double& up);

// Chooses another interface and forgets the old one's counters, so the next
// reading is 0.0 and real rates follow from the one after it.
void SelectNetworkInterface(uint32_t ifIndex);

// Forgets the counters without changing the interface.
void ResetNetworkCounters();

// The clock the rates are timed by (system time, 100-ns units). The default
// reads the system time; the applet may hand in the CPU engine's clock.
using TSystemClockFn = bool (*)(double& now);
void SetNetworkClock(TSystemClockFn clock);
