#include "service/SharedSection_win.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "service/WinHandle_win.h"

namespace {

bool IsNtPlatform() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

struct tSidTraits {
  using type = PSID;
  static PSID Invalid() { return nullptr; }
  static void Close(PSID sid) { FreeSid(sid); }
};
using tUniqueSid = tUniqueResource<tSidTraits>;

tUniqueSid MakeSid(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD rid0, DWORD rid1 = 0) {
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&authority, count, rid0, rid1, 0, 0, 0, 0, 0, 0, &sid)) {
    return tUniqueSid();
  }
  return tUniqueSid(sid);
}

// A security descriptor whose access list lets every account read the
// section and only LocalSystem and the Administrators group change it.
class tSectionSecurity {
 public:
  bool Build() {
    tUniqueSid everyone = MakeSid(SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID);
    tUniqueSid system = MakeSid(SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID);
    tUniqueSid admins =
        MakeSid(SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    if (!everyone || !system || !admins) return false;
    const DWORD aceBase = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
    const DWORD size = sizeof(ACL) + 3 * aceBase + GetLengthSid(everyone.get()) +
                       GetLengthSid(system.get()) + GetLengthSid(admins.get());
    AclBuffer.assign(size, 0);
    PACL acl = reinterpret_cast<PACL>(AclBuffer.data());
    return InitializeAcl(acl, size, ACL_REVISION) &&
           AddAccessAllowedAce(acl, ACL_REVISION, SECTION_QUERY | SECTION_MAP_READ,
                               everyone.get()) &&
           AddAccessAllowedAce(acl, ACL_REVISION, SECTION_ALL_ACCESS, system.get()) &&
           AddAccessAllowedAce(acl, ACL_REVISION, SECTION_ALL_ACCESS, admins.get()) &&
           InitializeSecurityDescriptor(&Descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&Descriptor, TRUE, acl, FALSE);
  }
  SECURITY_ATTRIBUTES* Attributes() {
    Wrapped.nLength = sizeof Wrapped;
    Wrapped.lpSecurityDescriptor = &Descriptor;
    Wrapped.bInheritHandle = TRUE;
    return &Wrapped;
  }

 private:
  std::vector<DWORD> AclBuffer;  // DWORD elements keep the list aligned
  SECURITY_DESCRIPTOR Descriptor{};
  SECURITY_ATTRIBUTES Wrapped{};
};

}  // namespace

bool tSharedSection::Create() {
  tSectionSecurity security;
  SECURITY_ATTRIBUTES* attributes = nullptr;
  // Without a descriptor of its own the section gets the service account's
  // default access list, which is no less strict.
  if (IsNtPlatform() && security.Build()) attributes = security.Attributes();
  Section.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, attributes, PAGE_READWRITE, 0,
                                   kHardwareBlockSize, kHardwareBlockName));
  return static_cast<bool>(Section);
}

bool tSharedSection::Clear() {
  tMappedView view(MapViewOfFile(Section.get(), FILE_MAP_ALL_ACCESS, 0, 0, kHardwareBlockSize));
  if (!view) return false;
  std::memset(view.get(), 0, kHardwareBlockSize);
  return true;
}

bool tSharedSection::Publish(const tHardwareBlock& block) {
  tMappedView view(MapViewOfFile(Section.get(), FILE_MAP_ALL_ACCESS, 0, 0, kHardwareBlockSize));
  if (!view) return false;
  std::memcpy(view.get(), &block, kHardwareBlockSize);
  return true;
}
