#include "applet/shell/UserFolder_win.h"

#include "applet/shell/SysUtils_win.h"
#include "applet/shell/WindowRules.h"

std::string GetUserFolder(const GUID& folderId, int csidl) {
  if (HasKnownFolderApi()) {
    const std::string known = GetKnownFolder(folderId);
    if (IsResolvedFolder(known)) return known;
  }
  const std::string special = GetSpecialFolder(csidl);
  return IsResolvedFolder(special) ? special : std::string();
}
