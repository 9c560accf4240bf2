// The host's callbacks (HostApi) and the small operations through which the plug-in talks to the
// host: resolving a page object to its window, letting the author pick one, and reporting errors
// in the host variable [Lumivex.LastError]. Owns the one global HostApi record, written only by
// the registration exports. Windows build only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Host callbacks, stdcall with 32-bit arguments, as the plug-in calls them.
typedef int32_t(__stdcall* AddActionFn)(int32_t number, const char* name,
                                        const char* description, const uint8_t* types,
                                        int32_t zero, int32_t count);
typedef int32_t(__stdcall* SetVariableFn)(const char* name, const char* value);
// request 7: window of a named page object; request 8: let the author pick one. text points at
// the question block on the way in and at the answer (or still the question) on the way out.
typedef int32_t(__stdcall* InterfaceAccessFn)(int32_t request, char** text);

// Runs one line of the host's action script, given as a host text block (the caller's, freed
// after the call).
typedef int32_t(__stdcall* ScriptProcessorFn)(const char* script);

constexpr int32_t RequestObjectWindow = 7;  // question: object name; answer: window as a number
constexpr int32_t RequestPickObject = 8;    // question: current text; answer: picked name

struct HostApi {
  AddActionFn addAction;              // registers one action; used only while registering
  uint32_t secondCallback;            // handed over by the host, never used
  uint32_t thirdCallback;             // handed over by the host, never used
  SetVariableFn setVariable;          // writes a host script variable
  InterfaceAccessFn interfaceAccess;  // object queries (requests 7 and 8)
  uint32_t scriptProcessor;           // ScriptProcessorFn: runs a line of the host's script (onEnd)
  HWND hostWindow;                    // the host's window; its root ancestor owns the caption strip
};

extern HostApi hostApi;

// Window handle of the named page object (the name is passed as given), or null when the host is
// not registered, cannot answer, or answers with something that is not a number.
HWND findObjectWindow(const std::wstring& objectName);
// The name of the page object the author picked, or the empty text.
std::wstring pickObject(const std::wstring& currentText);
// Writes message into [Lumivex.LastError]; nothing when setVariable is not registered. Texts of
// up to LastErrorStackBytes bytes are converted without C++ allocation.
constexpr int LastErrorStackBytes = 2048;
void setLastError(const std::wstring& message);
void setLastErrorText(const wchar_t* message);
// Hands line to the host's script processor as a host text block, freed after the call; nothing
// when the host gave none (or the block cannot be made).
void runHostScript(const std::wstring& line);
// The core's LastError sink (common/error_sink.h): its UTF-8 text goes to setLastError.
void setLastErrorFromCore(const std::string& utf8Message);
// Hands the layers below what they may ask of the host (runtime/host_link.h): these functions,
// and the host window as the registration stored it. Called at load; tests call it too.
void installHostLink();
// Connects a host of the same process without the registration exports: the two callbacks the
// runtime calls, the host window and the HostLink. For programs that link the runtime
// themselves (its tests and benchmarks).
void connectHost(InterfaceAccessFn interfaceAccess, SetVariableFn setVariable, HWND hostWindow);
