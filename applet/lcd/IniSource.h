// Where layout and settings values come from: one key of one section at a
// time. The applet reads its INI file through the Windows profile calls; the
// layout tool and the tests read a file or a table with the same rules
// (case-insensitive section and key names, first match wins, values trimmed).
#pragma once
#include <string>

class TIniSource {
 public:
  virtual ~TIniSource() = default;
  // The raw text of the key, trimmed; false when the section or key is absent.
  virtual bool ReadKey(const std::string& section, const std::string& key, std::string& value) const = 0;
};
