#include <windows.h>

#include "common/ProgramFiles_win.h"

#include <vector>

std::string ProgramFileName() {
  std::vector<char> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return std::string();
    if (length < name.size()) return std::string(name.data(), length);
    name.resize(name.size() * 2);
  }
}

std::string ProgramFolder() {
  const std::string file = ProgramFileName();
  const size_t slash = file.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
