#include "applet/lcd/IniFile.h"

#include <fstream>
#include <sstream>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

void TIniFile::Parse(const std::string& text) {
  sections_.clear();
  TSection* current = nullptr;
  size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // a UTF-8 byte order mark
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name = Lower(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
      sections_.push_back(TSection{name, {}});
      current = &sections_.back();
      continue;
    }
    size_t eq = line.find('=');
    if (current == nullptr || eq == std::string::npos) continue;
    std::string value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    current->Entries.push_back(TEntry{Lower(Trim(line.substr(0, eq))), value});
  }
}

bool TIniFile::Load(const std::string& path) {
  sections_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  Parse(text.str());
  return true;
}

bool TIniFile::ReadKey(const std::string& section, const std::string& key, std::string& value) const {
  std::string s = Lower(Trim(section)), k = Lower(Trim(key));
  for (const TSection& sec : sections_) {
    if (sec.Name != s) continue;
    for (const TEntry& e : sec.Entries)
      if (e.Key == k) {
        value = e.Value;
        return true;
      }
    return false;  // only the first section of that name is searched
  }
  return false;
}
