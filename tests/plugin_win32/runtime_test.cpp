// The emitter runtime's own state, seen from inside: this program links a copy of the runtime
// and the actions (the same library Lumivex.dll is built from) and runs it in its own process on
// a page of its own, so the tests can look at the shared timer, the registry entries and the
// handles they hold, which the DLL keeps to itself. Covered: one timer for every emitter,
// stopped with the last; a burst that ends stays registered and keeps the timer; stopping
// releases every window and bitmap.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "config/sprite.h"
#include "config/sprite_gdiplus.h"
#include "host_standin/host_standin.h"
#include "plugin/actions.h"
#include "plugin/host_api.h"
#include "plugin_util.h"
#include "runtime/host_link.h"
#include "runtime/frame_step.h"
#include "runtime/runtime_win32.h"

namespace {

const char* const LastError = "[Lumivex.LastError]";

class Runtime : public ::testing::Test {
 protected:
  static HostStandIn& page() {
    static HostStandIn* h = nullptr;
    if (!h) {
      h = new HostStandIn();
      hostCreatePage(*h, 320, 200);
      hostAddObject(*h, "A", 10, 10, 140, 90);
      hostAddObject(*h, "B", 160, 10, 140, 90);
      // Kept off the screen: the effect tests read the screen over the other page.
      ShowWindow(h->page, SW_HIDE);
      runtimeInit(GetModuleHandleW(nullptr));
      setSpriteCodec(gdiplusSpriteCodec());
      installHostLink();
      setLastErrorSink(setLastErrorFromCore);
    }
    return *h;
  }
  void SetUp() override {
    HostStandIn& h = page();
    hostMakeCurrent(h);
    // Other tests of this program hand the host's callbacks around; set them as the host would.
    connectHost(reinterpret_cast<InterfaceAccessFn>(hostInterfaceAccess),
                reinterpret_cast<SetVariableFn>(hostSetVariable), h.page);
    playEnabled = 1;
  }
  void TearDown() override {
    runAction(4, nullptr);
    pump();
    hostApi.interfaceAccess = nullptr;
    hostApi.setVariable = nullptr;
  }
};

int32_t act(int32_t action, std::vector<std::string> params) {
  std::vector<char*> slots;
  for (std::string& p : params) slots.push_back(&p[0]);
  slots.resize(4, nullptr);
  return runAction(action, slots.data());
}

// Reads the registry under the engine lock, as every user of it must.
template <typename Read>
auto locked(Read read) -> decltype(read()) {
  lockEngine();
  auto answer = read();
  unlockEngine();
  return answer;
}

Emitter snapshotOf(const std::string& key) {
  return locked([&] {
    Emitter* e = registryFind(registry, key);
    Emitter copy = {};
    if (e) copy = *e;
    return copy;
  });
}

int registered(const std::string& key) {
  return locked([&] { return registryFind(registry, key) != nullptr ? 1 : 0; });
}

}  // namespace

TEST_F(Runtime, OneTimerDrivesEveryEmitterAndStopsWithTheLast) {
  EXPECT_EQ(runtime.timerRunning, 0);
  ASSERT_EQ(act(1, {"A", "Sparkle", "100", ""}), 1);
  ASSERT_EQ(runtime.timerRunning, 1);
  const UINT timer = runtime.timerId;
  EXPECT_NE(timer, 0u);
  ASSERT_EQ(act(3, {"B", "Glow", "80", "zOrder=behind"}), 1);
  EXPECT_EQ(runtime.timerId, timer) << "a second emitter started a timer of its own";
  // The one timer steps both.
  EXPECT_TRUE(pumpUntil([] { return snapshotOf("a").system.elapsed > 0 && snapshotOf("b").system.elapsed > 0; }))
      << "not every emitter was stepped";
  ASSERT_EQ(act(2, {"A"}), 1);
  EXPECT_EQ(runtime.timerRunning, 1) << "stopped while an emitter still runs";
  EXPECT_EQ(runtime.timerId, timer);
  ASSERT_EQ(act(2, {"b"}), 1);
  EXPECT_EQ(runtime.timerRunning, 0);
  EXPECT_EQ(runtime.timerId, 0u);
  // And a new effect starts it again.
  ASSERT_EQ(act(1, {"A", "Fire", "", ""}), 1);
  EXPECT_EQ(runtime.timerRunning, 1);
}

TEST_F(Runtime, ABurstThatEndsStaysRegisteredAndKeepsTheTimer) {
  HostStandIn& h = page();
  ASSERT_EQ(act(3, {"A", "Explosion", "100", "mode=burst:20;life=0.1"}), 1);
  const Emitter started = snapshotOf("a");
  EXPECT_EQ(started.system.emissionDone, 1);
  EXPECT_GT(started.system.aliveCount, 0);
  ASSERT_TRUE(pumpUntil([] { return snapshotOf("a").renderingEnabled == 0; }))
      << "the burst never ended";
  const Emitter ended = snapshotOf("a");
  EXPECT_EQ(ended.system.aliveCount, 0);
  EXPECT_TRUE(IsWindow(static_cast<HWND>(ended.presentation.overlay))) << "the overlay went with the burst";
  EXPECT_EQ(runtime.timerRunning, 1);
  // A tick later nothing has changed: an ended burst is neither advanced nor drawn.
  const float elapsed = ended.system.elapsed;
  pumpFor(300);
  EXPECT_EQ(snapshotOf("a").system.elapsed, elapsed);
  EXPECT_EQ(registered("a"), 1);
  // Stopping it is a normal stop: no message, and the timer goes with it.
  h.variables[LastError] = "keep";
  EXPECT_EQ(act(2, {"A"}), 1);
  EXPECT_EQ(h.variables[LastError], "keep");
  EXPECT_EQ(registered("a"), 0);
  EXPECT_EQ(runtime.timerRunning, 0);
}

TEST_F(Runtime, StoppingReleasesEveryWindowAndBitmap) {
  const std::string sprite = writeTestSprite(L"lumivex_runtime_sprite.bmp");
  ASSERT_FALSE(sprite.empty());
  struct Row {
    const char* what;
    int32_t action;     // 0: stopAllEmitters as host messages 2 and 6 call it
    std::string name;   // Stop's parameter
  };
  const Row rows[] = {
      {"Stop each by name", 2, "A"}, {"Stop without a name", 2, ""}, {"StopAll", 4, ""},
      {"host message", 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(act(3, {"A", "Snow", "80", "shape=sprite;sprite=" + sprite}), 1);
    ASSERT_EQ(act(1, {"B", "Fire", "80", ""}), 1);
    const Emitter a = snapshotOf("a"), b = snapshotOf("b");
    ASSERT_NE(a.sprite.spriteImage, nullptr) << "the sprite did not load";
    std::vector<HWND> windows = {static_cast<HWND>(a.presentation.overlay), static_cast<HWND>(b.presentation.overlay)};
    std::vector<HGDIOBJ> bitmaps = {a.presentation.frameBitmap, b.presentation.frameBitmap};
    for (HGDIOBJ bitmap : bitmaps) ASSERT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    if (row.action == 2 && !row.name.empty()) {
      act(2, {"A"});
      EXPECT_EQ(registered("a"), 0);
      EXPECT_FALSE(IsWindow(windows[0]));
      EXPECT_EQ(GetObjectType(bitmaps[0]), 0u);
      EXPECT_TRUE(IsWindow(windows[1])) << "stopping A took B's window";
      act(2, {"B"});
    } else if (row.action) {
      act(row.action, {row.name});
    } else {
      stopAllEmitters();
    }
    EXPECT_TRUE(locked([] { return registryIsEmpty(registry); }));
    for (HWND w : windows) EXPECT_FALSE(IsWindow(w));
    for (HGDIOBJ bitmap : bitmaps) EXPECT_EQ(GetObjectType(bitmap), 0u) << "a frame bitmap is left";
    EXPECT_EQ(runtime.timerRunning, 0);
  }
}

// The runtime knows the host only through the HostLink table: a test installs its own, and the
// life cycle asks it for windows and reports through it, with no host variable touched.
namespace {
std::vector<std::wstring> gReported;
HWND gStubWindow = nullptr;
void recordReport(const std::wstring& message) { gReported.push_back(message); }
HWND stubObjectWindow(const std::wstring& name) { return name == L"Stub" ? gStubWindow : nullptr; }
}  // namespace

TEST_F(Runtime, TheRuntimeAsksWhateverHostLinkIsInstalled) {
  HostStandIn& h = page();
  // Any child of the page will do as the stub's rectangle: take A's window.
  gStubWindow = hostFindObject(h, "A");
  ASSERT_NE(gStubWindow, nullptr);
  const HostLink stub = {recordReport, stubObjectWindow, nullptr, nullptr, nullptr};
  setHostLink(&stub);
  gReported.clear();
  h.variables[LastError] = "untouched";
  EXPECT_EQ(act(1, {"Stub", "Fire", "", ""}), 1);
  EXPECT_EQ(registered("stub"), 1);
  EXPECT_EQ(snapshotOf("stub").hostRectWindow, gStubWindow);
  EXPECT_EQ(act(1, {"A", "Fire", "", ""}), 0);  // the stub knows no "A"
  EXPECT_EQ(gReported, (std::vector<std::wstring>{L"", L"Rectangle 'A' not found."}));
  EXPECT_EQ(h.variables[LastError], "untouched");
  EXPECT_EQ(act(2, {"Stub"}), 1);
  installHostLink();  // the plug-in's own again
}

// Stop by name of an effect with a fade-out: it answers at once, the effect stays registered and
// shown while its opacity falls, nothing more is emitted, and once the fade is over the host's
// thread releases it as Stop does (window, bitmap, entry, timer).
TEST_F(Runtime, StopByNameFadesOutThenReleasesEverything) {
  HostStandIn& h = page();
  ASSERT_EQ(act(3, {"A", "Snow", "100", "fadeOut=800"}), 1);
  ASSERT_TRUE(pumpUntil([] { return snapshotOf("a").system.aliveCount > 0; }));
  const Emitter before = snapshotOf("a");
  const HWND overlay = static_cast<HWND>(before.presentation.overlay);
  const HGDIOBJ bitmap = before.presentation.frameBitmap;
  h.variables[LastError] = "keep";
  EXPECT_EQ(act(2, {"A"}), 1);
  EXPECT_EQ(h.variables[LastError], "keep");
  const Emitter fading = snapshotOf("a");
  EXPECT_EQ(registered("a"), 1);
  EXPECT_EQ(fading.fading, 1);
  EXPECT_TRUE(IsWindow(overlay));
  // A Stop of another name is told as before, and leaves the fade alone.
  EXPECT_EQ(act(2, {"Zed"}), 1);
  EXPECT_EQ(h.variables[LastError], "Stop: no active emitter on rectangle 'zed'");
  EXPECT_TRUE(pumpUntil([] {
    const Emitter e = snapshotOf("a");
    return e.fading && e.fadeAmount > 0.2f && e.fadeAmount < 1;
  })) << "never seen part-way through the fade";
  const Emitter midway = snapshotOf("a");
  EXPECT_TRUE(IsWindowVisible(overlay));
  EXPECT_EQ(midway.system.spawnAccumulator, fading.system.spawnAccumulator) << "a fading effect still emits";
  ASSERT_TRUE(pumpUntil([] { return registered("a") == 0; })) << "the fade never ended";
  EXPECT_FALSE(IsWindow(overlay));
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  EXPECT_EQ(runtime.timerRunning, 0);
}

// During a fade, every other way of stopping it ends it at once, and a new Play on the rectangle
// replaces it at once.
TEST_F(Runtime, EveryImmediateStopEndsAFade) {
  struct Row {
    const char* what;
    std::function<void()> stop;
    int replaced;  // 1: a new effect holds the rectangle afterwards
  };
  const Row rows[] = {
      {"a second Stop by name", [] { act(2, {"a "}); }, 0},
      {"Stop without a name", [] { act(2, {""}); }, 0},
      {"StopAll", [] { act(4, {}); }, 0},
      {"host messages 2 and 6", [] { stopAllEmitters(); }, 0},
      {"Play on the rectangle", [] { act(1, {"A", "Fire", "", ""}); }, 1},
      {"PlayAdvanced on the rectangle", [] { act(3, {"A", "Rain", "50", "fadeOut=500"}); }, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(act(3, {"A", "Snow", "100", "fadeOut=3000"}), 1);
    const Emitter before = snapshotOf("a");
    ASSERT_EQ(act(2, {"A"}), 1);
    ASSERT_EQ(snapshotOf("a").fading, 1);
    row.stop();
    EXPECT_FALSE(IsWindow(static_cast<HWND>(before.presentation.overlay)));
    EXPECT_EQ(GetObjectType(before.presentation.frameBitmap), 0u);
    EXPECT_EQ(registered("a"), row.replaced);
    if (row.replaced) {
      EXPECT_EQ(snapshotOf("a").fading, 0);
      act(4, {});
    }
    EXPECT_EQ(runtime.timerRunning, 0);
  }
}

// --- The reader: no animations, and the left button ------------------------------------------

namespace {

// The animation setting is the tests' to answer here, never the machine's.
class RuntimeReader : public Runtime {
 protected:
  void TearDown() override {
    setAnimationsOffForTests(-1);
    hostApi.scriptProcessor = 0;
    Runtime::TearDown();
  }
};

int sameParticles(const Emitter& a, const Emitter& b) {
  return std::memcmp(a.system.particles, b.system.particles, sizeof a.system.particles) == 0;
}

}  // namespace

TEST_F(RuntimeReader, WithAnimationsOffAContinuousEffectHoldsOneFrameOfItsSteadyState) {
  struct Row {
    const char* options;
    int animationsOff;
    int still;         // 1: held still
    float minElapsed;  // seconds it was prewarmed by at least
  };
  const Row rows[] = {
      {"", 1, 1, StillPrewarmSeconds},
      {"prewarm=4", 1, 1, 4},
      {"motion=always", 1, 0, 0},
      {"", 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.options) + (row.animationsOff ? " with animations off" : ""));
    setAnimationsOffForTests(row.animationsOff);
    ASSERT_EQ(act(3, {"A", "Snow", "100", row.options}), 1);
    const Emitter first = snapshotOf("a");
    EXPECT_EQ(first.stillMotion, row.still ? MotionStillFrame : MotionMoving);
    EXPECT_GE(first.system.elapsed, row.minElapsed - 0.02f);
    if (row.still) EXPECT_GT(first.system.aliveCount, 0) << "a still frame with nothing in it";
    pumpFor(400);
    const Emitter later = snapshotOf("a");
    EXPECT_EQ(later.system.elapsed == first.system.elapsed, row.still != 0) << "moved while still, or still while moving";
    EXPECT_EQ(sameParticles(first, later), row.still);
    EXPECT_EQ(later.renderingEnabled, 1);
    act(2, {"A"});
  }
}

TEST_F(RuntimeReader, WithAnimationsOffABurstShowsItsFullestFrameFadesAndEndsByItself) {
  HostStandIn& h = page();
  hostApi.scriptProcessor = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hostScriptProcessor));
  h.scriptLines.clear();
  setAnimationsOffForTests(1);
  ASSERT_EQ(act(3, {"A", "Explosion", "100", "mode=burst:40;life=0.5;onEnd=Done"}), 1);
  const Emitter first = snapshotOf("a");
  EXPECT_EQ(first.stillMotion, MotionStillFading);
  // Every particle still alive, and spread out: the frame just before the first of them dies.
  EXPECT_EQ(first.system.aliveCount, 40);
  EXPECT_GT(first.system.elapsed, 0.1f);
  EXPECT_GE(first.stillFadeSeconds, MinStillFadeSeconds);
  EXPECT_LE(first.stillFadeSeconds, MaxStillFadeSeconds);
  EXPECT_TRUE(pumpUntil([] {
    const Emitter e = snapshotOf("a");
    return e.stillFadeDone > 0 && e.stillFadeDone < e.stillFadeSeconds;
  })) << "never seen fading";
  EXPECT_TRUE(sameParticles(first, snapshotOf("a"))) << "a still burst moved";
  ASSERT_TRUE(pumpUntil([] { return registered("a") == 0; })) << "the still burst never ended";
  pumpFor(200);
  ASSERT_EQ(h.scriptLines.size(), 1u);
  EXPECT_EQ(h.scriptLines[0].text, "Done");
}

// Each press of the left button counts once, however many polls it lasts, and so does one that
// came and went between two polls; a watch's first poll only learns the button's state.
TEST_F(RuntimeReader, EachLeftPressIsCaughtExactlyOnce) {
  auto send = [](DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
  };
  PressWatch watch = {};
  send(MOUSEEVENTF_LEFTDOWN);
  EXPECT_EQ(pollLeftPress(watch), 0) << "the first poll counted a press from before it";
  send(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(pollLeftPress(watch), 0);
  int presses = 0;
  send(MOUSEEVENTF_LEFTDOWN);
  for (int k = 0; k < 5; ++k) presses += pollLeftPress(watch);
  send(MOUSEEVENTF_LEFTUP);
  presses += pollLeftPress(watch);
  EXPECT_EQ(presses, 1) << "a press held over five polls";
  send(MOUSEEVENTF_LEFTDOWN);
  send(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(pollLeftPress(watch), 1) << "a press between two polls was missed";
  EXPECT_EQ(pollLeftPress(watch), 0);
  pump();  // the presses' messages
}
