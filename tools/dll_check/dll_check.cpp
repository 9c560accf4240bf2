// dll_check.exe: checks a Lumivex.dll as an installer or an author's copy would find it.
//
//   dll_check.exe PATH\Lumivex.dll [--version X.Y.Z]
//
// Loads the library, looks up the eight exports by the host's names, registers it as the host
// does (no page: nothing is shown) and reads its version resource. Prints what it found, the
// actions the DLL registers included (one "action N NAME PARAMS" line each), and exits 0 only
// when the DLL loaded, every export was found, four actions were registered and the version
// resource names Lumivex.dll, with FileVersion and ProductVersion both X.Y.Z when given.
// Owns the one host stand-in of the process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "dll_check/dll_info.h"
#include "host_standin/host_standin.h"

constexpr size_t ExpectedActions = 4;

static std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && strcmp(argv[2], "--version") == 0)) {
    fprintf(stderr, "usage: dll_check.exe PATH\\Lumivex.dll [--version X.Y.Z]\n");
    return 2;
  }
  const std::wstring path(argv[1], argv[1] + strlen(argv[1]));
  const std::string wanted = argc == 4 ? argv[3] : "";
  int ok = 1;

  static HostStandIn host = {};
  const int all = hostLoad(host, path.c_str());
  if (!host.module) {
    printf("load: FAILED (error %lu)\n", GetLastError());
    return 1;
  }
  int found = 0;
  for (int i = 0; i < HostExportCount; ++i) {
    const int here = GetProcAddress(host.module, HostExportNames[i]) != nullptr;
    found += here;
    if (!here) printf("export %s: MISSING\n", HostExportNames[i]);
  }
  printf("exports: %d of %d\n", found, HostExportCount);
  if (!all) ok = 0;

  if (all) {
    hostRegister(host);
    for (const HostAction& action : host.actions)
      printf("action %d %s %d\n", action.number, action.name.c_str(), action.count);
    if (host.actions.size() != ExpectedActions) {
      printf("actions: %u registered, %u expected\n", static_cast<unsigned>(host.actions.size()),
             static_cast<unsigned>(ExpectedActions));
      ok = 0;
    }
  }

  DllVersionInfo info;
  if (!readDllVersion(path.c_str(), info)) {
    printf("version resource: MISSING\n");
    ok = 0;
  } else {
    printf("FileVersion: %s (%s)\n", narrow(info.fileVersionText).c_str(), narrow(versionText(info.fileVersion)).c_str());
    printf("ProductVersion: %s (%s)\n", narrow(info.productVersionText).c_str(), narrow(versionText(info.productVersion)).c_str());
    printf("ProductName: %s\n", narrow(info.productName).c_str());
    printf("FileDescription: %s\n", narrow(info.fileDescription).c_str());
    printf("OriginalFilename: %s\n", narrow(info.originalFilename).c_str());
    if (info.originalFilename != L"Lumivex.dll" || info.productName != L"Lumivex") ok = 0;
    if (!wanted.empty() && (narrow(info.fileVersionText) != wanted || narrow(info.productVersionText) != wanted)) {
      printf("version: %s wanted\n", wanted.c_str());
      ok = 0;
    }
  }
  hostUnload(host);
  printf("%s\n", ok ? "dll_check: ok" : "dll_check: FAILED");
  return ok ? 0 : 1;
}
