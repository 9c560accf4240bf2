// What the runtime and the editors need of the host, as a small table of functions that the
// plug-in layer fills when it is loaded (and a test may fill with its own): report an error
// text, find a page object's window, let the author pick an object, the host's own window, and
// running a line of the host's script.
// Nothing here knows how the host is reached. Windows build only; owns the installed table.
#pragma once

#include <windows.h>

#include <string>

struct HostLink {
  // Writes the text into the host's error variable ([Lumivex.LastError]).
  void (*reportError)(const std::wstring& message);
  // Window of the named page object (name as given), or null.
  HWND (*objectWindow)(const std::wstring& objectName);
  // Name of the page object the author picked, or the empty text.
  std::wstring (*pickObject)(const std::wstring& currentText);
  // The host's window; its root ancestor owns the caption strip.
  HWND (*hostWindow)();
  // Hands one line of the host's action script to the host to run (its script processor).
  void (*runScript)(const std::wstring& line);
};

// Installs link (copied); null, or a null entry, makes that service answer "nothing".
void setHostLink(const HostLink* link);

void reportError(const std::wstring& message);
HWND hostObjectWindow(const std::wstring& objectName);
std::wstring hostPickObject(const std::wstring& currentText);
HWND hostMainWindow();
// Nothing when the host gave no way to run script.
void hostRunScript(const std::wstring& line);
