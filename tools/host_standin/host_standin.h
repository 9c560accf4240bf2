// The host stand-in: behaves towards Lumivex.dll as the authoring application does. It loads the
// DLL, looks up the exports by their underscored names, calls them in the host's order with the
// stdcall signatures, answers the plug-in's callbacks (addAction, setVariable, interfaceAccess),
// keeps the registered actions and the script variables, and owns a page window with named child
// rectangles. One stand-in per process: the callbacks carry no context, so they reach it through
// a global pointer set by hostLoad. Used by the demo host and the Win32 integration tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

typedef int32_t(__stdcall* NbRegisterPlugInFn)(void* addAction, uint32_t second, uint32_t third,
                                               void* setVariable);
typedef int32_t(__stdcall* NbInitPlugInFn)(HWND hostWindow, char** title, char** author,
                                           char** description);
typedef int32_t(__stdcall* NbActionFn)(int32_t action, char** params);  // exec and edit
typedef int32_t(__stdcall* NbMessageFn)(int32_t code, int32_t unused);
typedef int32_t(__stdcall* NbAboutFn)();
typedef int32_t(__stdcall* NbRegisterInterfaceAccessFn)(void* interfaceAccess);
typedef int32_t(__stdcall* NbRegisterScriptProcessorFn)(uint32_t scriptProcessor);

// The exports as the host looks them up, in the order of HostExports' fields.
constexpr int HostExportCount = 8;
extern const char* const HostExportNames[HostExportCount];

struct HostExports {
  NbRegisterPlugInFn registerPlugIn;
  NbInitPlugInFn initPlugIn;
  NbActionFn execAction;
  NbActionFn editAction;
  NbMessageFn message;
  NbAboutFn about;
  NbRegisterInterfaceAccessFn registerInterfaceAccess;
  NbRegisterScriptProcessorFn registerScriptProcessor;
};

// One addAction call as the host received it (texts copied at the call).
struct HostAction {
  int32_t number;
  std::string name;          // ANSI bytes as passed; "(null)" never stands in for a null block
  int nameNull;              // 1 when the name block was null
  std::string description;
  int descriptionNull;
  uint8_t types[32];         // the parameter-type array at the time of the call
  int32_t fifth;             // the fifth argument
  int32_t count;             // parameter count
};

// One line of script the plug-in asked the host to run (its script processor).
struct HostScriptLine {
  std::string text;   // the line, ANSI bytes as passed
  DWORD threadId;     // the thread that asked
  int blockWasGlobal; // 1 when the text came in a block GlobalSize knows (a host text block)
};

struct HostPageObject {
  std::string name;  // as the author named it; matched case-insensitively
  HWND window;       // child window of the page
};

struct HostStandIn {
  HMODULE module;                     // the loaded plug-in, or null
  HostExports exports;                // all non-null after a successful hostLoad
  std::vector<HostAction> actions;    // every addAction call, in order
  // Script variables by exact name. Looked up without making a key, so that writing a variable
  // that exists (with room for the text) allocates nothing: tests write LastError while memory is
  // exhausted.
  std::map<std::string, std::string, std::less<>> variables;
  int setVariableCalls;               // how many times setVariable was called
  HWND page;                          // the page window (top level), or null
  std::vector<HostPageObject> objects;  // named rectangles on the page
  // Identification texts from nbInitPlugIn (copied; the blocks stay with the host as a real host
  // keeps them).
  std::string title, author, description;
  // Request 7/8 behaviour. answerOverride7, when set, is answered verbatim for request 7 instead
  // of the object's window number (tests use it for other number forms and for junk).
  int useAnswerOverride7;
  std::string answerOverride7;
  int pickSucceeds;                   // request 8 succeeds when 1
  std::string pickAnswer;             // the name the "author" picks
  std::string lastQuestion;           // the question text of the latest request
  int32_t lastRequest;                // the code of the latest request
  HWND scriptWindow;                  // hidden window whose messages run host script; or null
  // The script processor: given to the plug-in unless withholdScriptProcessor is 1. Every line
  // it is asked to run is recorded; onScript, when set, then runs as the line's script (tests
  // call the plug-in's actions from there, as a real script may).
  int withholdScriptProcessor;
  int rectClicks;                     // left-button presses the page's rectangles received
  std::vector<HostScriptLine> scriptLines;
  void (*onScript)(HostStandIn& host, const std::string& line);
};

// Loads the DLL and looks up all eight exports; 1 when every lookup succeeded (the module stays
// loaded in any case when it loaded, so a test can look at it).
int hostLoad(HostStandIn& host, const wchar_t* dllPath);
// Calls the registration exports in the host's order: nbRegisterPlugIn, nbInitPlugIn (with the
// page window), nbRegisterInterfaceAccess, nbRegisterScriptProcessor (hostScriptProcessor, or 0
// when withholdScriptProcessor is set).
int hostRegister(HostStandIn& host);
// Frees the library and forgets the exports; the page stays.
void hostUnload(HostStandIn& host);

// The page: a top-level window of width x height client pixels, and rectangles on it.
int hostCreatePage(HostStandIn& host, int32_t width, int32_t height);
HWND hostAddObject(HostStandIn& host, const std::string& name, int32_t x, int32_t y, int32_t w,
                   int32_t h);
void hostDestroyPage(HostStandIn& host);
// The window of the page object named name (matched without regard to case, as the host does),
// or null.
HWND hostFindObject(const HostStandIn& host, const std::string& name);

// Host script run from the host's own message queue, as a timer event or a click runs it in the
// authoring application: posts a message to a hidden window of the stand-in, whose handler calls
// run(context) when the message is dispatched, by whoever pumps this thread's queue (the plug-in
// included). 1 when posted.
int hostPostScript(HostStandIn& host, void (*run)(void* context), void* context);

// The screen's pixels under r as 0x00RRGGBB words, top row first (what the user sees, overlays
// included); 1 when the screen could be read.
int hostReadScreen(const RECT& r, std::vector<uint32_t>& pixels);

// Watches the screen under an area from a thread of its own, so the thread that started it may
// be busy meanwhile (as a host's user-interface thread is during a long script): reads the area
// about every intervalMs for durationMs and counts the readings that differ from the one before.
struct HostScreenWatch {
  RECT area;           // screen pixels
  DWORD durationMs;    // how long to watch
  DWORD intervalMs;    // pause between two readings
  int reads;           // readings taken
  int changes;         // readings that differed from the reading before (distinct frames seen)
  HANDLE thread;       // the watching thread while it runs, then null
};
// Starts watching; 1 when the thread runs.
int hostStartScreenWatch(HostScreenWatch& watch, const RECT& area, DWORD durationMs,
                         DWORD intervalMs);
// Waits for the watch to end and closes its thread; reads and changes are final afterwards.
void hostFinishScreenWatch(HostScreenWatch& watch);

// The path of file in the folder of the running program (where Lumivex.dll is built beside it).
std::wstring hostBesideProgram(const wchar_t* file);
// Dispatches every message waiting in this thread's queue: the timer thread moves and shows the
// overlays through it.
void hostPump();
// The performance counter in milliseconds, for the tools and benchmarks that time things.
double hostClockMs();
// Keeps pumping for ms milliseconds.
void hostPumpFor(DWORD ms);

// The host's callbacks, for tests that hand them to the plug-in's code directly.
int32_t __stdcall hostAddAction(int32_t number, const char* name, const char* description,
                                const uint8_t* types, int32_t fifth, int32_t count);
int32_t __stdcall hostSetVariable(const char* name, const char* value);
int32_t __stdcall hostInterfaceAccess(int32_t request, char** text);
int32_t __stdcall hostScriptProcessor(const char* script);
// Makes host the one the callbacks talk to (hostLoad does this too).
void hostMakeCurrent(HostStandIn& host);
