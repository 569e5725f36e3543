// Shared by the stand-in DLLs: where a stand-in finds its files, how it
// reads its profile and how it fills the records it hands out. A profile is
// a text file of "key = value" lines; "#" starts a comment, keys match
// without regard to case, later lines win. Numbers are decimal, or
// hexadecimal with "0x", and may be negative.
#pragma once
#include <windows.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

// The folder of the DLL this code is linked into, with a trailing backslash.
inline std::string SimModuleFolder() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&SimModuleFolder), &self);
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  std::string folder(path, n < MAX_PATH ? n : 0);
  const size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// The path named by the environment variable, else name beside the DLL.
inline std::string SimLocate(const char* envVar, const char* name) {
  char value[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA(envVar, value, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::string(value, n);
  return SimModuleFolder() + name;
}

// Writes the low 32 bits of value at offset bytes into a caller's record.
inline void SimPut(void* base, size_t offset, int64_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  std::memcpy(static_cast<unsigned char*>(base) + offset, &v, 4);
}

class TSimProfile {
 public:
  // Reads the file; a missing file leaves every key at its default.
  explicit TSimProfile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return;
    char line[512];
    while (std::fgets(line, sizeof(line), f)) Parse(line);
    std::fclose(f);
  }

  bool Has(const std::string& key) const { return values_.count(Lower(key)) != 0; }

  std::string Str(const std::string& key, const std::string& def = std::string()) const {
    auto it = values_.find(Lower(key));
    return it == values_.end() ? def : it->second;
  }

  int64_t Int(const std::string& key, int64_t def = 0) const {
    auto it = values_.find(Lower(key));
    if (it == values_.end()) return def;
    char* end = nullptr;
    const long long v = std::strtoll(it->second.c_str(), &end, 0);
    return end == it->second.c_str() ? def : v;
  }

 private:
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  static std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
  }
  void Parse(std::string line) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return;
    const std::string key = Trim(line.substr(0, eq));
    if (!key.empty()) values_[Lower(key)] = Trim(line.substr(eq + 1));
  }

  std::map<std::string, std::string> values_;
};
