// The editors' live preview: the two private emitters (one for the Play editor, one for the
// PlayAdvanced editor) that run the real engine into a 290 x 220 frame, outside the registry and
// without an overlay, stepped by the editor's own timer and copied into its preview pane. The
// records, their pools and frame bitmaps outlive the dialogs and are reused by the next opening.
// Windows build only; everything runs on the host's thread, without the engine lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/emitter.h"

constexpr int32_t PreviewWidth = 290;   // pixels, whatever the screen's resolution
constexpr int32_t PreviewHeight = 220;  // pixels
constexpr int WarmStartParticles = 20;  // spawned at once so a continuous effect shows at once

extern Emitter playPreviewEmitter;
extern Emitter advancedPreviewEmitter;

// The 290 x 220 frame bitmap (kept from an earlier opening when it is there); 1 when it exists.
int preparePreview(Emitter& e);
// Every particle slot freed; aliveCount, spawnAccumulator, elapsed and emissionDone zeroed.
void clearPreviewParticles(Emitter& e);
// Play editor: particles afresh, config from the preset with the Play settings, then the warm
// start (the whole burst, or 20 particles of a continuous effect).
void restartPreview(Emitter& e, const std::string& preset, int32_t intensity, const std::string& colorText);
// Play editor: the config alone; living particles keep what they were born with.
void refreshPreviewConfig(Emitter& e, const std::string& preset, int32_t intensity, const std::string& colorText);
// PlayAdvanced editor: config from the preset, intensity and options text (restart: particles
// afresh first); a burst effect with no particle left is spawned again.
void rebuildPreview(Emitter& e, int restart, const std::string& preset, int32_t intensity,
                    const std::string& options);
// One frame: the time since clockMs (1-100 ms; 33 when the clock has not moved), update, a
// burst that has died out fired again, drawn and copied into the pane.
void previewStep(Emitter& e, HWND pane, uint32_t& clockMs);
