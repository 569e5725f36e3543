#include "service/HardwareBlockReader_win.h"

#include <cstring>

#include "service/WinHandle_win.h"

bool CopyPublishedBlock(tHardwareBlock& raw, size_t& length) {
  std::memset(&raw, 0, sizeof raw);
  length = 0;
  tUniqueHandle section(OpenFileMappingA(FILE_MAP_READ, FALSE, kHardwareBlockName));
  if (!section) return false;
  tMappedView view(MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) return false;
  // The view spans whole pages; never read past the readable region.
  MEMORY_BASIC_INFORMATION info{};
  size_t readable = sizeof raw;
  if (VirtualQuery(view.get(), &info, sizeof info) == sizeof info && info.RegionSize < readable) {
    readable = info.RegionSize;
  }
  std::memcpy(&raw, view.get(), readable);
  length = readable;
  return true;
}

bool ReadPublishedBlock(tBlockReading& reading) {
  tHardwareBlock raw;
  size_t length = 0;
  if (!CopyPublishedBlock(raw, length)) return false;
  tBlockReading accepted;
  if (!ReadHardwareBlock(&raw, length, accepted)) return false;
  reading = accepted;
  return true;
}
