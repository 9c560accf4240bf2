// HostApi and the requests the plug-in sends to the host. Owns the global HostApi record; the
// question blocks it makes are freed here, and an answer block the host hands back becomes the
// plug-in's to free (the host must make it with GlobalAlloc).
#include "plugin/host_api.h"

#include <cstring>
#include <cwchar>

#include "common/fp_env.h"
#include "common/text.h"
#include "plugin/host_text.h"
#include "runtime/host_link.h"

HostApi hostApi = {};

// Sends a request with question as its text; answer is the cleaned answer when the host says it
// succeeded and its answer is readable. The block the text variable points to after the call is
// freed in every case (the host either left our question there or replaced it with its answer).
static int askHost(int32_t request, const std::wstring& question, std::wstring& answer) {
  answer.clear();
  if (!hostApi.interfaceAccess) return 0;
  char* text = toHostText(question);
  if (!text) return 0;
  int32_t ok = 0;
  {
    HostFpScope hostWords;  // the host's code runs under its own control words
    ok = hostApi.interfaceAccess(request, &text);
  }
  int readable = hostMemoryReadable(text, 1);
  if (ok && readable) answer = readHostText(text);
  // A pointer we cannot even read is no block of ours to free.
  if (readable) GlobalFree(text);
  return ok && readable;
}

HWND findObjectWindow(const std::wstring& objectName) {
  std::wstring answer;
  if (!askHost(RequestObjectWindow, objectName, answer)) return nullptr;
  // The answer is ASCII after cleaning, so its UTF-8 form is the same bytes.
  uint32_t handle = static_cast<uint32_t>(readLeadingInt(wideToUtf8(answer)));
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
}

std::wstring pickObject(const std::wstring& currentText) {
  std::wstring answer;
  if (!askHost(RequestPickObject, currentText, answer)) return std::wstring();
  return answer;
}

// A GlobalAlloc block holding the ANSI form of n UTF-16 units, converted through a buffer on the
// stack: no C++ allocation, so that the exports can still report "Out of memory." when the C
// runtime's heap is exhausted. Texts too long for the buffer take toHostText's way.
static char* hostBlockOf(const wchar_t* text, int n) {
  char bytes[LastErrorStackBytes];
  int length = 0;
  if (n > 0) {
    length = WideCharToMultiByte(CP_ACP, 0, text, n, bytes, sizeof bytes, nullptr, nullptr);
    if (length <= 0) return toHostText(std::wstring(text, static_cast<size_t>(n)));
  }
  char* block = static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<size_t>(length) + 1));
  if (block && length > 0) memcpy(block, bytes, static_cast<size_t>(length));
  return block;  // the terminating zero comes from GMEM_ZEROINIT
}

void setLastErrorText(const wchar_t* message) {
  if (!hostApi.setVariable) return;
  static const wchar_t name[] = L"[Lumivex.LastError]";
  char* nameBlock = hostBlockOf(name, static_cast<int>(wcslen(name)));
  char* value = hostBlockOf(message, static_cast<int>(wcslen(message)));
  if (nameBlock && value) {
    HostFpScope hostWords;
    hostApi.setVariable(nameBlock, value);
  }
  if (nameBlock) GlobalFree(nameBlock);
  if (value) GlobalFree(value);
}

void setLastError(const std::wstring& message) { setLastErrorText(message.c_str()); }

void setLastErrorFromCore(const std::string& utf8Message) {
  setLastError(utf8ToWide(utf8Message));
}

static HWND storedHostWindow() { return hostApi.hostWindow; }

void runHostScript(const std::wstring& line) {
  if (!hostApi.scriptProcessor) return;
  char* block = toHostText(line);
  if (!block) return;
  {
    HostFpScope hostWords;  // the host's script runs under its own control words
    reinterpret_cast<ScriptProcessorFn>(static_cast<uintptr_t>(hostApi.scriptProcessor))(block);
  }
  GlobalFree(block);
}

void installHostLink() {
  static const HostLink link = {setLastError, findObjectWindow, pickObject, storedHostWindow, runHostScript};
  setHostLink(&link);
}

void connectHost(InterfaceAccessFn interfaceAccess, SetVariableFn setVariable, HWND hostWindow) {
  hostApi.interfaceAccess = interfaceAccess;
  hostApi.setVariable = setVariable;
  hostApi.hostWindow = hostWindow;
  installHostLink();
}
