// Reading the version and manifest resources of a DLL through the version library and a
// data-only mapping. Owns no state.
#include "dll_check/dll_info.h"

#include <vector>

static std::wstring stringValue(std::vector<uint8_t>& block, const std::wstring& language,
                                const wchar_t* name) {
  const std::wstring query = L"\\StringFileInfo\\" + language + L"\\" + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || !value || length == 0)
    return std::wstring();
  // length counts characters, the terminating zero included.
  std::wstring text(static_cast<const wchar_t*>(value), length);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

int readDllVersion(const wchar_t* path, DllVersionInfo& info) {
  info = DllVersionInfo{};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return 0;
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return 0;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength) || !fixed ||
      fixedLength < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE)
    return 0;
  const DWORD words[4] = {fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                          fixed->dwProductVersionLS};
  for (int i = 0; i < 2; ++i) {
    info.fileVersion[2 * i] = HIWORD(words[i]);
    info.fileVersion[2 * i + 1] = LOWORD(words[i]);
    info.productVersion[2 * i] = HIWORD(words[2 + i]);
    info.productVersion[2 * i + 1] = LOWORD(words[2 + i]);
  }
  info.fileType = fixed->dwFileType;

  // The string block named by the first translation: language and code page, as hex digits.
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT translationBytes = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &translationBytes) ||
      !translations || translationBytes < sizeof(Translation))
    return 0;
  wchar_t language[16] = {};
  wsprintfW(language, L"%04X%04X", translations[0].language, translations[0].codePage);
  info.language = language;
  info.fileVersionText = stringValue(block, info.language, L"FileVersion");
  info.productVersionText = stringValue(block, info.language, L"ProductVersion");
  info.productName = stringValue(block, info.language, L"ProductName");
  info.fileDescription = stringValue(block, info.language, L"FileDescription");
  info.originalFilename = stringValue(block, info.language, L"OriginalFilename");
  info.internalName = stringValue(block, info.language, L"InternalName");
  info.companyName = stringValue(block, info.language, L"CompanyName");
  info.legalCopyright = stringValue(block, info.language, L"LegalCopyright");
  return !info.productName.empty() || !info.fileVersionText.empty();
}

std::string readManifest(const wchar_t* path, int id) {
  HMODULE data = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!data) return std::string();
  std::string text;
  HRSRC found = FindResourceW(data, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  HGLOBAL loaded = found ? LoadResource(data, found) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes) text.assign(bytes, SizeofResource(data, found));
  FreeLibrary(data);
  return text;
}

std::wstring versionText(const uint16_t parts[4]) {
  return std::to_wstring(parts[0]) + L"." + std::to_wstring(parts[1]) + L"." +
         std::to_wstring(parts[2]) + L"." + std::to_wstring(parts[3]);
}
