// The installed HostLink and the calls through it. State: one copy of the table.
#include "runtime/host_link.h"

static HostLink gLink = {};

void setHostLink(const HostLink* link) { gLink = link ? *link : HostLink{}; }

void reportError(const std::wstring& message) {
  if (gLink.reportError) gLink.reportError(message);
}

HWND hostObjectWindow(const std::wstring& objectName) {
  return gLink.objectWindow ? gLink.objectWindow(objectName) : nullptr;
}

std::wstring hostPickObject(const std::wstring& currentText) {
  return gLink.pickObject ? gLink.pickObject(currentText) : std::wstring();
}

HWND hostMainWindow() { return gLink.hostWindow ? gLink.hostWindow() : nullptr; }

void hostRunScript(const std::wstring& line) {
  if (gLink.runScript) gLink.runScript(line);
}
