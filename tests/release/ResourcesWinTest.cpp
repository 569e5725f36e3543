// The two programs beside this test, read as Windows reads them: each
// carries an application manifest that runs it with the caller's rights on
// every Windows from Vista to 11 (the applet also DPI-aware), and a file
// version that is the project's version.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ProgramFiles_win.h"

namespace {

struct tProgramCase {
  const char* File;
  bool DpiAware;
};

const tProgramCase kPrograms[] = {
    {"Kestrani.exe", true},
    {"MorvaithSvc.exe", false},
};

// Vista, 7, 8, 8.1, 10 and 11.
const char* const kSupportedOs[] = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-2a2440225f93}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
};

// The manifest the loader reads (type 24, id 1), or empty.
std::string ReadManifest(const std::string& file) {
  HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return std::string();
  std::string text;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded != nullptr && size > 0) text.assign(static_cast<const char*>(LockResource(loaded)), size);
  }
  FreeLibrary(module);
  return text;
}

class ReleaseResources : public testing::TestWithParam<tProgramCase> {
 protected:
  std::string Path() const { return ProgramFolder() + GetParam().File; }
};

TEST_P(ReleaseResources, ManifestRunsAsInvokerOnVistaToWindows11) {
  const std::string manifest = ReadManifest(Path());
  ASSERT_FALSE(manifest.empty()) << "no manifest in " << Path();
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
  for (const char* id : kSupportedOs) {
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>"), std::string::npos) << id;
  }
  const bool dpiAware =
      manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>") !=
      std::string::npos;
  EXPECT_EQ(dpiAware, GetParam().DpiAware);
}

TEST_P(ReleaseResources, FileVersionIsTheProjectVersion) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(Path().c_str(), &ignored);
  ASSERT_GT(size, 0u) << Path();
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(Path().c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(KES_EXPECTED_VERSION_MS));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(KES_EXPECTED_VERSION_LS));
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904E4\\FileVersion", reinterpret_cast<void**>(&text),
                             &length));
  EXPECT_STREQ(text, KES_EXPECTED_VERSION);
}

INSTANTIATE_TEST_SUITE_P(Programs, ReleaseResources, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<tProgramCase>& info) {
                           return std::string(info.param.File).substr(0, std::string(info.param.File).find('.'));
                         });

}  // namespace
