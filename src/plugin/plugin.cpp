// The exported entry points of Lumivex.dll and the start and end of the library. Owns the
// library-wide state of its own: the reused parameter-type array and the count of exports under
// way (the registry, timer and lock are runtime_win32's, playEnabled is the actions'). The exports
// are stdcall; Lumivex.def gives them the host's underscored names without the @N decoration.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "common/fp_env.h"
#include "config/sprite.h"
#include "config/sprite_gdiplus.h"
#include "editor/editors.h"
#include "editor/visual_style_win32.h"
#include "plugin/actions.h"
#include "plugin/host_api.h"
#include "plugin/host_text.h"
#include "plugin/plugin_info.h"
#include "runtime/runtime_win32.h"

namespace {

struct PluginState {
  uint8_t paramTypes[ParamTypeBytes];  // reused for every addAction call
  int32_t exportDepth;                 // exports under way: more than 1 while host script runs
                                       // from our own message pumping
};

PluginState plugin = {};

// Every export runs its body through here, so that no C++ exception ever reaches the host (it
// would end the host's process). Our code throws only when an allocation fails: the export then
// answers failed, reports "Out of memory." without allocating, and releases the engine lock
// holds that the unwinding skipped. Effects an action was still starting are torn down once the
// outermost export ends, when no action can be half-way any more. No allocation happens while an
// effect is in the registry half-started or while a window or bitmap is held outside the
// runtime's records, so nothing is left half-registered or without an owner.
//
// Our own floating-point control words hold for the whole body and the caller's come back
// exactly when it ends (common/fp_env.h), the failure path included.
template <typename Body>
int32_t guarded(int32_t failed, Body body) {
  EngineFpScope engineWords;
  const int32_t lockDepth = engineLockDepth();
  ++plugin.exportDepth;
  int32_t result = failed;
  try {
    result = body();
  } catch (...) {
    releaseEngineLockTo(lockDepth);
    setLastErrorText(L"Out of memory.");
    result = failed;
  }
  if (--plugin.exportDepth == 0) discardStartingEmitters();
  return result;
}

// --- The bodies of the exports ----------------------------------------------------------------

int32_t registerPlugIn(AddActionFn addAction, uint32_t second, uint32_t third,
                       SetVariableFn setVariable) {
  hostApi.addAction = addAction;
  hostApi.secondCallback = second;
  hostApi.thirdCallback = third;
  hostApi.setVariable = setVariable;
  if (!addAction) return 0;
  for (const ActionInfo& action : ActionTable) {
    // Kept for the life of the library: the host may hold on to the texts.
    char* name = toHostText(action.name);
    char* description = toHostText(action.description);
    memset(plugin.paramTypes, 0, sizeof plugin.paramTypes);
    for (int32_t i = 0; i < action.paramCount; ++i) plugin.paramTypes[i] = 1;
    HostFpScope hostWords;  // the host's code runs under its own control words
    addAction(action.number, name, description, plugin.paramTypes, 0, action.paramCount);
  }
  return 0;
}

int32_t initPlugIn(HWND hostWindow, char** title, char** author, char** description) {
  hostApi.hostWindow = hostWindow;
  // The host keeps these blocks; they are never freed.
  if (title) *title = toHostText(PluginTitle);
  if (author) *author = toHostText(PluginAuthor);
  if (description) *description = toHostText(PluginDescription);
  return 0;
}

// The editor of the action, run to its end on the host's thread, on the action's parameter
// texts; on OK they go back into the host's array. Action 4 has no parameters and no dialog. The
// shared timer is left alone: effects on the page keep playing meanwhile.
int32_t editAction(int32_t action, char** params) {
  int32_t (*run)(std::wstring*) = nullptr;
  switch (action) {
    case 1: run = runPlayEditor; break;
    case 2: run = runStopEditor; break;
    case 3: run = runAdvancedEditor; break;
    case 4: return 1;
    default: return 0;
  }
  const int32_t count = ActionTable[action - 1].paramCount;
  std::wstring slots[EditorSlotCount];
  for (int32_t i = 0; i < count; ++i) slots[i] = readParam(params, i);
  const int32_t result = run(slots);
  if (result == 1)
    for (int32_t i = 0; i < count; ++i) writeParam(params, i, slots[i]);
  return result;
}

// Host notifications: play on/off, stop all, re-fit after a page resize, hide and show.
int32_t hostMessage(int32_t code) {
  switch (code) {
    case 1: playEnabled = 1; break;
    case 2: playEnabled = 0; stopAllEmitters(); break;
    case 5: refitOverlays(); break;
    case 6: stopAllEmitters(); break;
    case 7: hideOverlaysForHost(); break;
    case 8: showOverlaysForHost(); break;
    default: break;
  }
  return 0;
}

int32_t about() {
  HostFpScope hostWords;  // the box's loop dispatches the host's messages too
  MessageBoxW(GetActiveWindow(), aboutText().c_str(), L"About Lumivex", MB_ICONINFORMATION);
  return 0;
}

}  // namespace

extern "C" {

int32_t __stdcall nbRegisterPlugIn(AddActionFn addAction, uint32_t second, uint32_t third,
                                   SetVariableFn setVariable) {
  return guarded(0, [&] { return registerPlugIn(addAction, second, third, setVariable); });
}

int32_t __stdcall nbInitPlugIn(HWND hostWindow, char** title, char** author,
                               char** description) {
  return guarded(0, [&] { return initPlugIn(hostWindow, title, author, description); });
}

// Every action answers 0 when memory runs out, Stop and StopAll too.
int32_t __stdcall nbExecAction(int32_t action, char** params) {
  return guarded(0, [&] { return runAction(action, params); });
}

int32_t __stdcall nbEditAction(int32_t action, char** params) {
  return guarded(0, [&] { return editAction(action, params); });
}

int32_t __stdcall nbMessage(int32_t code, int32_t unused) {
  (void)unused;
  return guarded(0, [&] { return hostMessage(code); });
}

int32_t __stdcall nbAbout() { return guarded(0, [] { return about(); }); }

// These two only store a value: nothing in them can throw.
int32_t __stdcall nbRegisterInterfaceAccess(InterfaceAccessFn interfaceAccess) {
  hostApi.interfaceAccess = interfaceAccess;
  return 0;
}

int32_t __stdcall nbRegisterScriptProcessor(uint32_t scriptProcessor) {
  hostApi.scriptProcessor = scriptProcessor;
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  EngineFpScope engineWords;
  if (reason == DLL_PROCESS_ATTACH) {
    playEnabled = 1;
    runtimeInit(instance);
    // These only store pointers: safe under the loader lock. GDI+ itself starts lazily.
    installHostLink();
    setLastErrorSink(setLastErrorFromCore);
    setSpriteCodec(gdiplusSpriteCodec());
  } else if (reason == DLL_PROCESS_DETACH) {
    // Kills the timer and lets a callback already inside leave before the code goes away; no
    // window is destroyed and no lock is waited for under the loader lock. When the process is
    // ending (reserved non-null) the other threads are gone and nothing is waited for.
    runtimeShutdown(reserved != nullptr);
    forgetGdiplus();
    releaseEditorStyle();
    setLastErrorSink(nullptr);
  }
  return TRUE;
}

}  // extern "C"
