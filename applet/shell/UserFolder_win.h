// The user's own folders (local application data, pictures) for the
// configuration file and the captures.
#pragma once
#include <windows.h>

#include <string>

// The known folder (for the desktop's user when elevated), with a trailing
// separator. When the known-folder call is missing or fails (an elevated
// applet without a running desktop shell gets a lone separator) the folder
// of the CSIDL is taken instead, so that nothing lands in a drive's root.
// Empty when neither can be had.
std::string GetUserFolder(const GUID& folderId, int csidl);
