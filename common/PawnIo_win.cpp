#include "common/PawnIo_win.h"

// The NTSTATUS behind the calling thread's last error, which DeviceIoControl
// leaves when the driver fails a request (ntdll).
extern "C" __declspec(dllimport) LONG NTAPI RtlGetLastNtStatus();

tPawnIoOpen tPawnIoDevice::Open(uint32_t& windowsError, uint32_t& version) {
  Handle.reset(CreateFileA(kPawnIoDevicePath, GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (Handle && ReadVersion(version)) {
    windowsError = 0;
    return tPawnIoOpen::Opened;
  }
  windowsError = GetLastError();
  Handle.reset();
  return ClassifyPawnIoOpenError(windowsError);
}

uint32_t tPawnIoDevice::Control(uint32_t code, const void* in, size_t inSize, void* out,
                                size_t outSize, DWORD& written) const {
  written = 0;
  if (!Handle) return kNtInvalidParameter;
  const BOOL ok = DeviceIoControl(Handle.get(), code, const_cast<void*>(in),
                                  static_cast<DWORD>(inSize), out, static_cast<DWORD>(outSize),
                                  &written, nullptr);
  return ok ? kNtSuccess : static_cast<uint32_t>(RtlGetLastNtStatus());
}

bool tPawnIoDevice::ReadVersion(uint32_t& version) const {
  uint32_t value = 0;
  DWORD written = 0;
  if (Control(kPawnIoVersionCode, nullptr, 0, &value, sizeof value, written) != kNtSuccess ||
      written != sizeof value)
    return false;
  version = value;
  return true;
}

uint32_t tPawnIoDevice::LoadModule(const std::vector<uint8_t>& bytes) const {
  DWORD written = 0;
  return Control(kPawnIoLoadCode, bytes.data(), bytes.size(), nullptr, 0, written);
}

uint32_t tPawnIoDevice::Execute(const std::string& function, const uint64_t* args,
                                size_t argCount, uint64_t* results, size_t resultCount) const {
  std::vector<uint8_t> request;
  if (!PackPawnIoRequest(function, args, argCount, request)) return kNtInvalidParameter;
  std::vector<uint8_t> reply(8 * resultCount);
  DWORD written = 0;
  const uint32_t status = Control(kPawnIoExecuteCode, request.data(), request.size(),
                                  reply.empty() ? nullptr : reply.data(), reply.size(), written);
  if (status == kNtSuccess) UnpackPawnIoResults(reply.data(), written, results, resultCount);
  return status;
}

tModuleFile ReadPawnIoModuleFile(const std::string& path, std::vector<uint8_t>& bytes) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  const bool exists = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info) &&
                      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  const uint64_t size = exists ? (uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow) : 0;
  const tModuleFile state = CheckPawnIoModuleFile(exists, size);
  if (state != tModuleFile::Usable) return state;
  tUniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
  bytes.assign(static_cast<size_t>(size), 0);
  DWORD read = 0;
  if (!file || !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(size), &read, nullptr) ||
      read != size) {
    bytes.clear();
    return tModuleFile::Unreadable;
  }
  return tModuleFile::Usable;
}

tProcessorPin::tProcessorPin(int processor) {
  if (processor >= 0 && processor < static_cast<int>(sizeof(DWORD_PTR) * 8))
    Previous = SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR(1) << processor);
}

tProcessorPin::~tProcessorPin() {
  if (Previous) SetThreadAffinityMask(GetCurrentThread(), Previous);
}
