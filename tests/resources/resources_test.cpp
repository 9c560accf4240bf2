// Lumivex.dll's resources as Windows' file properties, installers and the activation context
// machinery read them: the version block through GetFileVersionInfoW and VerQueryValueW, and the
// isolation-aware manifest that the editors' activation context is made from.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "dll_check/dll_info.h"

namespace {

std::wstring besideThisProgram(const wchar_t* file) {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + file;
}

const std::wstring ProjectVersion = L"" LUMIVEX_VERSION_TEXT;

}  // namespace

TEST(VersionResource, TextsNameTheProductAndCarryTheProjectVersion) {
  DllVersionInfo info;
  ASSERT_EQ(readDllVersion(besideThisProgram(L"Lumivex.dll").c_str(), info), 1);
  EXPECT_EQ(info.language, L"040904B0");  // US English, Unicode
  struct Row {
    const char* key;
    const std::wstring& value;
    std::wstring expected;
  };
  const Row rows[] = {
      {"FileVersion", info.fileVersionText, ProjectVersion},
      {"ProductVersion", info.productVersionText, ProjectVersion},
      {"ProductName", info.productName, L"Lumivex"},
      {"OriginalFilename", info.originalFilename, L"Lumivex.dll"},
      {"InternalName", info.internalName, L"Lumivex"},
      {"FileDescription", info.fileDescription, L"Lumivex real-time particle effects plug-in"},
      {"CompanyName", info.companyName, L"Lumivex developers"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.value, row.expected) << row.key;
  EXPECT_NE(info.legalCopyright.find(L"Lumivex developers"), std::wstring::npos);
}

TEST(VersionResource, FixedNumbersAreTheProjectVersionOfALibrary) {
  DllVersionInfo info;
  ASSERT_EQ(readDllVersion(besideThisProgram(L"Lumivex.dll").c_str(), info), 1);
  const uint16_t expected[4] = {LUMIVEX_VERSION_MAJOR, LUMIVEX_VERSION_MINOR, LUMIVEX_VERSION_PATCH, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(info.fileVersion[i], expected[i]) << "file version part " << i;
    EXPECT_EQ(info.productVersion[i], expected[i]) << "product version part " << i;
  }
  EXPECT_EQ(info.fileType, static_cast<uint32_t>(VFT_DLL));
}

TEST(ManifestResource, AsksForCommonControlsSixAndMakesAnActivationContext) {
  const std::wstring dll = besideThisProgram(L"Lumivex.dll");
  const std::string manifest = readManifest(dll.c_str(), 2);  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID
  ASSERT_FALSE(manifest.empty()) << "no manifest resource 2";
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos)
      << manifest;
  // A process manifest (resource 1) in a library would mean nothing; only the editors' one is there.
  EXPECT_TRUE(readManifest(dll.c_str(), 1).empty());

  // The system reads it as it will for the editors (they name the loaded module instead of the
  // file): a manifest it refuses would leave them with the classic controls.
  ACTCTXW request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = dll.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(2);
  HANDLE context = CreateActCtxW(&request);
  EXPECT_NE(context, INVALID_HANDLE_VALUE) << "the manifest was refused, error " << GetLastError();
  if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
}
