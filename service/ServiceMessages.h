// The texts the service writes to its log and to the console, and the
// search list for the driver library. Texts are Windows-1252.
#pragma once
#include <string>
#include <vector>

constexpr const char kServiceName[] = "MorvaithSvc";
constexpr const char kServiceDisplayName[] = "Morvaith Service";
// "Stellt Hardwareinformationen für Kestrani zur Verfügung" in Windows-1252.
constexpr const char kServiceDescription[] =
    "Stellt Hardwareinformationen f\xFCr Kestrani zur Verf\xFCgung";
constexpr const char kDriverLibraryName[] = "WinRing0.dll";
constexpr const char kLogFileName[] = "MorvaithSvc.log";

// One log line: date, a space and the time (left out at exactly midnight),
// " - ", the message. `date` and `time` are already in the locale's formats.
std::string ComposeLogLine(const std::string& date, const std::string& time, bool midnight,
                           const std::string& message);

// printf into a std::string.
std::string FormatText(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// "%s %d.%d.%d.%d": display name and the four file version numbers.
std::string VersionLine(unsigned versionMS, unsigned versionLS);
// "%s, %d threads"
std::string ModelLine(const std::string& modelName, int processorCount);
// "Frequency: %d Mhz: %.6f Mhz (%.1f * %.6f)"
std::string FrequencyDetailLine(double tscClock, double baseMultiplier, double busClock);
// "TjMax: %d°C (%d°F)" with the degree sign as byte 0xB0
std::string TjMaxLine(double tjMax);
// "%d Mhz: %.6f Mhz (%.1f * %.6f)": the console's per-second line
std::string ClockDetailLine(double cpuClock, double multiplier, double busClock);

// The log line for a driver library the service found on PATH but did not
// load: the service runs as LocalSystem and takes the library only from its
// own folder or the system folder, since a PATH folder that users may write
// would let them run code with its rights.
std::string SkippedDriverLine(const std::string& path, const std::string& programFolder);

// Where the driver library is looked for after the program folder: the bare
// name (the current directory), then each entry of the PATH value in order.
// Empty entries are skipped; a separator is added to an entry that ends in
// neither a separator nor a drive colon. The value is cut at its first NUL.
std::vector<std::string> DriverSearchCandidates(const std::string& pathValue,
                                                const std::string& fileName);
