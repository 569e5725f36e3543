// Small helpers of the Windows-side sensor and LCD tests: a scratch folder,
// whole-file reads and writes, and running a copy of this test program from
// another folder (for the cases that need a library to be absent).
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/ProgramFiles_win.h"

// A fresh folder under the temporary folder, removed with its files.
class TScratchDir {
 public:
  explicit TScratchDir(const char* tag) {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned serial = 0;
    path_ = std::string(base) + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TScratchDir() {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path_ + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(File(fd.cFileName).c_str());
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(path_.c_str());
  }
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

inline bool WriteTextFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::string data;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return data;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) data.append(buf, n);
  std::fclose(f);
  return data;
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string data = ReadWholeFile(path), line;
  for (char c : data) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

inline std::string ThisProgram() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

// Copies this program into dir and runs the one test named by filter there,
// with the environment variable KES_CHILD_CASE set so that the test body
// runs. Returns the child's exit code (0 when its test passed).
inline DWORD RunCopyIn(const TScratchDir& dir, const std::string& filter) {
  const std::string exe = dir.File("child.exe");
  if (!CopyFileA(ThisProgram().c_str(), exe.c_str(), FALSE)) return 1000;
  std::string cmd = "\"" + exe + "\" --gtest_filter=" + filter;
  SetEnvironmentVariableA("KES_CHILD_CASE", "1");
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  const BOOL ok = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.Path().c_str(), &si, &pi);
  SetEnvironmentVariableA("KES_CHILD_CASE", nullptr);
  if (!ok) return 1001;
  DWORD code = 1002;
  if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, code);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DeleteFileA(exe.c_str());
  return code;
}

inline bool IsChildCase() { return GetEnvironmentVariableA("KES_CHILD_CASE", nullptr, 0) > 0; }
