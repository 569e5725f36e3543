// Small routines of the service program: the log writer, console output,
// the driver library search, the program's own version, and the waits.
#pragma once
#include <cstdint>
#include <string>

#include "common/ProgramFiles_win.h"


// Writes one dated line to the log file when LogFileName is set, otherwise to
// standard output. Safe from any thread; a line that cannot be written is dropped.
void LogMessage(const char* text);

// Writes text and a carriage return and line feed straight to standard output.
void WriteConsoleLine(const std::string& text);

// Converts a Windows-1252 text to the console's OEM code page.
std::string AnsiToOem(const std::string& text);


// Sets DriverPath. In the console (the user's own rights): "WinRing0.dll"
// beside the program, else the first match in the current directory or a
// PATH folder, else empty. In the service role (which logs to its file, and
// runs as LocalSystem): only beside the program or in the system folder; a
// match elsewhere is logged as skipped and not used.
void FindDriverLibrary();
// The search itself, for a given program folder (with trailing separator).
std::string SearchDriverLibrary(const std::string& programFolder, bool serviceRole = false);

// The file version halves of the program's own version resource; both are
// left unchanged when there is none.
void ReadOwnVersion(uint32_t& most, uint32_t& least);

// Waits ms milliseconds on an event nothing signals.
void SleepMs(uint32_t ms);

// Waits until ms milliseconds have passed or Escape is pressed in the console;
// true when Escape ended the wait.
bool WaitOrEscape(uint32_t ms);
