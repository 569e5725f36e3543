// The applet shell's decisions, free of the platform: text hashing and
// matching, the stop switches, the adapter kind, the texts the shell shows,
// the PE link-time stamp, device-path translation, the bounded WM_COPYDATA
// text and the service block's mapping onto the processor snapshot.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "applet/lcd/Layout.h"
#include "service/HardwareBlock.h"

// FNV-1a of the text's bytes.
uint32_t HashText(const std::string& text);

// maximum when value > maximum, else minimum when value < minimum, else value.
double Clamp(double value, double minimum, double maximum);

// Index of the first entry equal to text without regard to case; 0 when none.
int IndexOfText(const std::string& text, const std::vector<std::string>& list);

// True when the upper-cased first argument is one of the two stop switches
// ("-UNINSTALL", "/UNINSTALL" by their hashes).
bool IsStopSwitch(const std::string& firstArgument);

// What opening a running copy's mutex tells. Opened: wait on it. Refused
// because the name does not exist (ERROR_FILE_NOT_FOUND): no copy runs. Any
// other refusal (access denied to a copy that runs elevated, a wrong
// object type, ...): a copy runs that cannot be waited on through this
// handle; it is asked to close all the same and watched until its name goes.
enum tRunningCopy { kNoRunningCopy, kRunningCopyOpened, kRunningCopyUnreachable };
tRunningCopy RunningCopyFromOpen(bool opened, uint32_t lastError);

// The adapter kind from the primary display device's description: the hash
// of its first three characters in upper case.
tAdapterKind AdapterKindFromName(const std::string& deviceString);

// "Error, %-30s\n\r\r" with the path; the caller appends the system text.
std::string MissingIniText(const std::string& iniPath);

// "%s\rBuild: %s-%s" cut to 63 characters (the tray tip).
std::string TrayTipText(const std::string& title, const std::string& buildDate,
                        const std::string& buildTime);

// The link time stamp of a PE file from its first bytes: "MZ", a header
// offset of 64..3848, "PE\0\0" there, and the 32-bit stamp 8 bytes on.
// False when the bytes are fewer than 512, the header lies past the bytes
// given, or any rule fails; stamp is then unchanged.
bool LinkStampFromHeader(const uint8_t* bytes, size_t length, uint32_t& stamp);

// The stamp (seconds since 1970 UTC, unsigned) as a FILETIME count of
// 100-ns units since 1601.
uint64_t LinkStampToFileTime(uint32_t stamp);

// Replaces the first occurrence of device (e.g. "\Device\HarddiskVolume1")
// by "X:" when path begins with it, case-insensitively; false otherwise.
bool ReplaceDevicePrefix(std::string& path, const std::string& device, char driveLetter);

// The text of a WM_COPYDATA message: the bytes up to the first NUL within
// the cbData bytes given, or all cbData bytes when there is none; empty
// without data.
std::string CopyDataText(const void* data, size_t cbData);

// "Service %d.%d.%d.%d" from the file version halves.
std::string ServiceVersionText(uint32_t versionMS, uint32_t versionLS);
// The same into text, reusing its storage: no allocation once text has held
// a version as long.
void ServiceVersionText(uint32_t versionMS, uint32_t versionLS, std::string& text);

constexpr const char kInternalServiceText[] = "Internal Service";
constexpr const char kServiceNotFoundText[] = "Service not found";

// The processor alarm's threshold in the display unit. A configured value
// of 0 or more is one already (0 is off). A negative one counts down from
// TjMax in degrees Celsius (TjMax + configured), shown and compared in
// degrees Fahrenheit when they are on (rounded); while TjMax is unknown (0),
// or when the count-down ends below 1 degree Celsius, the threshold stays
// below 1 and the alarm off.
int32_t CpuAlarmThreshold(int32_t configured, int32_t tjMax, bool fahrenheit);

// Records the TjMax (degrees C, rounded) that a negative processor alarm
// counts from, the first time one above 0 is known, and sets CpuAlarm from
// the setting, that TjMax and the display unit (CpuAlarmThreshold). Called
// with the in-process sampler's TjMax at start, with the service's at each
// reading and with 0 at every gathering, so the threshold follows the
// Fahrenheit toggle together with the temperatures.
void UpdateCpuAlarm(tLcdSettings& settings, double tjMax);

// Copies an accepted block reading into the snapshot: the core clock, the
// temperatures of processors 0..min(count, 16)-1 in the display unit (the
// rest are set to 0), RealClock and BusClock by the block's form and
// generation, the signature; updates the processor alarm with the block's
// TjMax (UpdateCpuAlarm); serviceText becomes the service's version text.
// Allocates nothing once serviceText has held such a text.
void ApplyServiceReading(const tBlockReading& reading, tLcdSettings& settings, tCPUData& cpu,
                         std::string& serviceText);

// Copies one second of the in-process sampler (the same readings the
// service publishes) and its signature into the snapshot: the core clock, RealClock
// as multiplier x bus clock for the multiplier generations and the time-stamp-counter
// clock otherwise (BusClock then keeps its value), the signature, and the
// temperatures in the display unit (0 for processors without a reading,
// as the service link shows them).
void ApplySamplerReading(const tBlockReadings& reading, uint32_t signature, bool fahrenheit,
                         tCPUData& cpu);

// "%s%s-%s.bmp": folder (with its separator), date "yyyy-MM-dd", time "HHmmss".
std::string CaptureFileName(const std::string& folder, const std::string& date,
                            const std::string& time);
