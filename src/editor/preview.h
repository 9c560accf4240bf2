// The editors' live preview: the two private emitters (one for the Play editor, one for the
// PlayAdvanced editor) that run the real engine into a 290 x 220 frame, outside the registry and
// without an overlay, stepped by the editor's own timer and copied into its preview pane. The
// PlayAdvanced preview also answers the reader as the page will: the cursor over its pane, clicks
// in it, and the machine's animation setting. The records, their pools and frame bitmaps outlive
// the dialogs and are reused by the next opening. Windows build only; everything runs on the
// host's thread, without the engine lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/emitter.h"
#include "runtime/reader_win32.h"

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
// start (the whole burst, or 20 particles of a continuous effect); for a reader without
// animations, started as the page starts it instead, and held still.
void restartPreview(Emitter& e, const std::string& preset, int32_t intensity, const std::string& colorText);
// Play editor: the config alone; living particles keep what they were born with. A preview held
// still (or to be) is started afresh, still.
void refreshPreviewConfig(Emitter& e, const std::string& preset, int32_t intensity, const std::string& colorText);
// PlayAdvanced editor: config from the preset, intensity and options text; a burst effect with
// no particle left is spawned again. A restart, and every rebuild of an effect held still, starts
// the particles afresh as the page does (startParticles), with the machine's animation setting
// read again: for a reader without animations and without motion=always, held still.
void rebuildPreview(Emitter& e, int restart, const std::string& preset, int32_t intensity,
                    const std::string& options);
// 1 while the preview is held still for a reader without animations; the editors then show
// PreviewStillNotice under the preview.
int previewHeldStill(const Emitter& e);
extern const wchar_t PreviewStillNotice[];
// The reader over the pane, read once per frame before previewStep: the cursor (in the frame's
// pixels, absent outside the pane) and a left press made while it is over the pane, as the click
// the next step bursts at. watch: the editor's own, zeroed when it opens.
void previewFollowReader(Emitter& e, HWND pane, PressWatch& watch);
// One frame: the time since clockMs (1-100 ms; 33 when the clock has not moved), update (with the
// cursor), a waiting click's burst, a burst that has died out fired again, drawn and copied into
// the pane. An effect held still is drawn as it stands.
void previewStep(Emitter& e, HWND pane, uint32_t& clockMs);
