// What a DLL says about itself without running any of its code: the version resource (the fixed
// numbers and the texts of its first language block) as Windows' file properties show them, and
// its manifest resources. Shared by the resource tests and dll_check. Owns no state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct DllVersionInfo {
  uint16_t fileVersion[4];     // FILEVERSION, most significant part first
  uint16_t productVersion[4];  // PRODUCTVERSION, most significant part first
  uint32_t fileType;           // VFT_DLL for a library
  std::wstring language;       // the string block read, e.g. L"040904B0"
  std::wstring fileVersionText;
  std::wstring productVersionText;
  std::wstring productName;
  std::wstring fileDescription;
  std::wstring originalFilename;
  std::wstring internalName;
  std::wstring companyName;
  std::wstring legalCopyright;
};

// Reads path's version resource with GetFileVersionInfoW and VerQueryValueW; 1 when the fixed
// part and a string block were found (texts missing from the block stay empty).
int readDllVersion(const wchar_t* path, DllVersionInfo& info);

// The manifest resource number id of path as text (UTF-8 bytes as stored), or empty when there is
// none. The file is mapped as data: nothing of it runs.
std::string readManifest(const wchar_t* path, int id);

// "2.0.0.0" from four version parts.
std::wstring versionText(const uint16_t parts[4]);
