// The editors' visual style: version 6 of the common controls, through an activation context
// made from the isolation-aware manifest in Lumivex.dll's resources. The editors activate it only
// while they create their windows and while their loop runs, so the host's windows and the
// activation context it runs under stay as they were. Windows build only.
#pragma once

#include <windows.h>

// Activates the editors' context on this thread (made on first use, with the common controls
// started inside it); 1 with cookie set for endEditorStyle. 0 when there is no such context
// (the editors then look as the host's controls do): cookie is 0 and endEditorStyle ignores it.
int beginEditorStyle(ULONG_PTR& cookie);
// Deactivates what beginEditorStyle activated; nothing for a cookie of 0.
void endEditorStyle(ULONG_PTR cookie);
// Releases the context at unload.
void releaseEditorStyle();
