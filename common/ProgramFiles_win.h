// The running program's own file and folder, and the plain file test both
// programs use to look for their libraries and settings.
#pragma once
#include <string>

// The program's own full file name; empty when it cannot be read.
std::string ProgramFileName();
// The folder of the program file, with its trailing separator.
std::string ProgramFolder();
// True when path names an existing file (not a folder).
bool FileExists(const std::string& path);
