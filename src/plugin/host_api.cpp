// HostApi and the requests the plug-in sends to the host. Owns the global HostApi record; the
// question blocks it makes are freed here, and an answer block the host hands back becomes the
// plug-in's to free (the host must make it with GlobalAlloc).
#include "plugin/host_api.h"

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
  int32_t ok = hostApi.interfaceAccess(request, &text);
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

void setLastError(const std::wstring& message) {
  if (!hostApi.setVariable) return;
  char* name = toHostText(L"[Lumivex.LastError]");
  char* value = toHostText(message);
  if (name && value) hostApi.setVariable(name, value);
  if (name) GlobalFree(name);
  if (value) GlobalFree(value);
}

void setLastErrorFromCore(const std::string& utf8Message) {
  setLastError(utf8ToWide(utf8Message));
}

static HWND storedHostWindow() { return hostApi.hostWindow; }

void installHostLink() {
  static const HostLink link = {setLastError, findObjectWindow, pickObject, storedHostWindow};
  setHostLink(&link);
}
