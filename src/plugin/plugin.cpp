// The exported entry points of Lumivex.dll and the start and end of the library. Owns the
// library-wide state: module handle, shuttingDown, playEnabled, the emitter registry and the
// reused parameter-type array. The exports are stdcall; Lumivex.def gives them the host's
// underscored names without the @N decoration.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "config/sprite.h"
#include "config/sprite_gdiplus.h"
#include "plugin/host_api.h"
#include "plugin/host_text.h"
#include "plugin/plugin_info.h"
#include "runtime/emitter.h"

namespace {

struct PluginState {
  HMODULE module;                  // this library; the instance of every overlay window
  volatile LONG shuttingDown;      // 1 from the start of unloading, never cleared
  volatile LONG playEnabled;       // 1: Play and PlayAdvanced run (host messages 1 and 2)
  uint8_t paramTypes[ParamTypeBytes];  // reused for every addAction call
};

PluginState plugin = {};
EmitterRegistry registry;  // every running effect, keyed by rectKey; empty at load

}  // namespace

extern "C" {

int32_t __stdcall nbRegisterPlugIn(AddActionFn addAction, uint32_t second, uint32_t third,
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
    addAction(action.number, name, description, plugin.paramTypes, 0, action.paramCount);
  }
  return 0;
}

int32_t __stdcall nbInitPlugIn(HWND hostWindow, char** title, char** author,
                               char** description) {
  hostApi.hostWindow = hostWindow;
  // The host keeps these blocks; they are never freed.
  if (title) *title = toHostText(PluginTitle);
  if (author) *author = toHostText(PluginAuthor);
  if (description) *description = toHostText(PluginDescription);
  return 0;
}

// The actions (Play, Stop, PlayAdvanced, StopAll) are dispatched here by number once the emitter
// life cycle exists; until then no action runs and every number answers 0.
int32_t __stdcall nbExecAction(int32_t action, char** params) {
  (void)action;
  (void)params;
  return 0;
}

// Action 4 has no parameters and no dialog; the editors of actions 1-3 open here once they
// exist. Nothing touches the host's array.
int32_t __stdcall nbEditAction(int32_t action, char** params) {
  (void)params;
  return action == 4 ? 1 : 0;
}

// Host notifications (play on/off, stop all, re-fit, hide, show) act on running effects and are
// dispatched here once the emitter life cycle exists.
int32_t __stdcall nbMessage(int32_t code, int32_t unused) {
  (void)code;
  (void)unused;
  return 0;
}

int32_t __stdcall nbAbout() {
  MessageBoxW(GetActiveWindow(), aboutText().c_str(), L"About Lumivex", MB_ICONINFORMATION);
  return 0;
}

int32_t __stdcall nbRegisterInterfaceAccess(InterfaceAccessFn interfaceAccess) {
  hostApi.interfaceAccess = interfaceAccess;
  return 0;
}

int32_t __stdcall nbRegisterScriptProcessor(uint32_t scriptProcessor) {
  hostApi.scriptProcessor = scriptProcessor;
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    plugin.module = instance;
    plugin.shuttingDown = 0;
    plugin.playEnabled = 1;
    registryClear(registry);
    // Both only store a pointer: safe under the loader lock. GDI+ itself starts lazily.
    setLastErrorSink(setLastErrorFromCore);
    setSpriteCodec(gdiplusSpriteCodec());
  } else if (reason == DLL_PROCESS_DETACH) {
    plugin.shuttingDown = 1;
    // Stopping every emitter joins here with the emitter life cycle; none can run yet.
    registryClear(registry);
    setLastErrorSink(nullptr);
  }
  return TRUE;
}

}  // extern "C"
