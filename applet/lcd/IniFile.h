// An INI file read into memory with the matching rules of Windows profile
// files: section and key names case-insensitive, the first matching section
// and the first matching key in it win, names and values trimmed, a pair of
// enclosing quotes removed from a value. Used by the layout tool and tests.
#pragma once
#include <string>
#include <vector>

#include "applet/lcd/IniSource.h"

class TIniFile : public TIniSource {
 public:
  TIniFile() = default;
  explicit TIniFile(const std::string& text) { Parse(text); }

  // Replace the contents by the text of a file (lines end in LF or CR LF).
  void Parse(const std::string& text);
  // Read a file; false (and no contents) when it cannot be read.
  bool Load(const std::string& path);

  bool ReadKey(const std::string& section, const std::string& key, std::string& value) const override;

 private:
  struct TEntry {
    std::string Key;  // lower case
    std::string Value;
  };
  struct TSection {
    std::string Name;  // lower case
    std::vector<TEntry> Entries;
  };
  std::vector<TSection> sections_;
};
