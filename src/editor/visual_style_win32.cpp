// The editors' activation context: made once from this library's own manifest resource, pushed
// on the thread's activation stack around the editors' window creation and event loop and popped
// again before control returns to the host. Owns that context and whether the common controls
// were started inside it.
#include "editor/visual_style_win32.h"

#include <commctrl.h>

struct EditorStyleState {
  HANDLE context;      // from CreateActCtxW; INVALID_HANDLE_VALUE while there is none
  int tried;           // 1 once making the context was attempted (a failure is not retried)
  int controlsReady;   // 1 once InitCommonControlsEx ran inside the context
};

// The manifest's resource number (ISOLATIONAWARE_MANIFEST_RESOURCE_ID, which the headers only
// give as an ANSI resource name).
constexpr WORD ManifestResourceId = 2;

static EditorStyleState editorStyle = {INVALID_HANDLE_VALUE, 0, 0};

// The module this code is in: Lumivex.dll in the plug-in (a program linking the editors itself
// has no manifest resource 2, and its editors keep the classic look).
static HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&thisModule), &module);
  return module;
}

int beginEditorStyle(ULONG_PTR& cookie) {
  cookie = 0;
  if (!editorStyle.tried) {
    editorStyle.tried = 1;
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = thisModule();
    request.lpResourceName = MAKEINTRESOURCEW(ManifestResourceId);
    if (request.hModule) editorStyle.context = CreateActCtxW(&request);
  }
  if (editorStyle.context == INVALID_HANDLE_VALUE) return 0;
  if (!ActivateActCtx(editorStyle.context, &cookie)) {
    cookie = 0;
    return 0;
  }
  if (!editorStyle.controlsReady) {
    // Inside the context the version 6 library registers its classes, the ones the editors'
    // window creation then finds through the context.
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    editorStyle.controlsReady = InitCommonControlsEx(&icc) ? 1 : 0;
  }
  return 1;
}

void endEditorStyle(ULONG_PTR cookie) {
  if (cookie) DeactivateActCtx(0, cookie);
}

void releaseEditorStyle() {
  if (editorStyle.context != INVALID_HANDLE_VALUE) ReleaseActCtx(editorStyle.context);
  editorStyle = {INVALID_HANDLE_VALUE, 0, 0};
}
