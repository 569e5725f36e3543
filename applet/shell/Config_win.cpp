#include "applet/shell/Config_win.h"

#include <windows.h>

#include <locale>
#include <sstream>
#include <vector>

#include "applet/shell/ShellRules.h"
#include "applet/shell/SysUtils_win.h"

std::string IniPath;

namespace {

// Returned for a key the file does not hold, so that an absent key can be
// told from one with an empty value. No value of a text line can contain it.
constexpr char kAbsent[] = "\x01\x02kes-absent\x02\x01";

constexpr char kLCoreName[] = "LCore.exe";

}  // namespace

bool TProfileIni::ReadKey(const std::string& section, const std::string& key, std::string& value) const {
  std::vector<char> buffer(512);
  for (;;) {
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), kAbsent, buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), IniPath.c_str());
    // A value that fills the buffer may have been cut: read again with more room.
    if (length + 1 >= buffer.size() && buffer.size() < 65536) {
      buffer.resize(buffer.size() * 4);
      continue;
    }
    const std::string text(buffer.data(), length);
    if (text == kAbsent) return false;
    value = text;
    return true;
  }
}

void WriteIniString(const std::string& section, const std::string& key, const std::string& text) {
  // The applet never creates its configuration file.
  if (!FileExists(IniPath)) return;
  WritePrivateProfileStringA(section.c_str(), key.c_str(), text.c_str(), IniPath.c_str());
}

void WriteIniInteger(const std::string& section, const std::string& key, int value) {
  WriteIniString(section, key, std::to_string(value));
}

double ReadIniFloat(const std::string& section, const std::string& key) {
  if (!FileExists(IniPath)) return 1.0;
  std::string text;
  if (!TProfileIni().ReadKey(section, key, text)) text = "1.0";
  double value = 1.0;
  // ParseFraction decides what is a number ("2,5" is none); the conversion
  // goes through the classic locale so that a decimal comma set for the
  // program by anyone does not cut "0.5" to 0.
  if (!ParseFraction(text, value)) return 1.0;
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  in >> value;
  return in.fail() ? 1.0 : value;
}

void ReadShellTextItem(tTextItem& item, const std::string& section, const std::string& key, int index,
                       tLcdSettings& settings) {
  const TProfileIni ini;
  ReadTextItem(ini, item, section, key, index, &settings);
  if (key == "Date") FindLCorePath(settings);
}

void FindLCorePath(tLcdSettings& settings) {
  if (FileExists(settings.LCorePath)) return;
  // Not configured (or moved): a running LCD manager tells where it lives.
  const DWORD processId = FindProcess(kLCoreName);
  if (processId == 0) return;
  const std::string path = GetProcessPath(processId);
  // A process whose path cannot be read keeps the configured name.
  if (path.empty()) return;
  settings.LCorePath = path;
  if (FileExists(path)) WriteIniString("Common", "LCore", path);
}
