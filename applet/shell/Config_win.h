// The applet's configuration file on the profile-file calls: the key source
// the layout reader uses, the writes of the tray toggles and the "Debug"
// keys, and the LCore.exe lookup that goes with the "Date" item.
#pragma once
#include <string>

#include "applet/lcd/IniSource.h"
#include "applet/lcd/Layout.h"

// Full path of the configuration file (set by program start).
extern std::string IniPath;

// Reads IniPath anew on every key with GetPrivateProfileStringA. Section and
// key names match without regard to case, so "Network" and "NetWork" (or
// "NVidia" and "nVidia") are one section. An absent key is told from an
// empty value.
class TProfileIni : public TIniSource {
 public:
  bool ReadKey(const std::string& section, const std::string& key, std::string& value) const override;
};

// Write one key only when a file exists at IniPath.
void WriteIniString(const std::string& section, const std::string& key, const std::string& text);
void WriteIniInteger(const std::string& section, const std::string& key, int value);
// 1.0 when the file or key is missing or the text is no number ("." is the
// only decimal separator, whatever the locale); not clamped.
double ReadIniFloat(const std::string& section, const std::string& key);

// ReadTextItem with the applet's part of the "Date" settings: when no file
// exists at LCorePath, a running "LCore.exe" gives the path, which is written
// back to "Common"/"LCore" when a file exists there. A process whose path
// cannot be read leaves LCorePath as configured.
void ReadShellTextItem(tTextItem& item, const std::string& section, const std::string& key,
                       int index, tLcdSettings& settings);
// The applet's part of the "Date" settings alone, after the layout was read.
void FindLCorePath(tLcdSettings& settings);
