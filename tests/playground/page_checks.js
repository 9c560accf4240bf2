// Checks of the playground page, run inside it by headless Chromium (playground_test.sh puts this
// script into a copy of the page beside the original). Each check writes "check NAME ok" or
// "check NAME FAIL: why" into the page's report, then "checks done".
"use strict";
(function () {
  const out = (line) => { document.getElementById("report").textContent += line + "\n"; };
  const check = (name, ok, why) => out("check " + name + (ok ? " ok" : " FAIL: " + why));
  const errors = [];
  window.addEventListener("error", (e) => errors.push(e.message));

  document.addEventListener("playground-ready", () => {
    const p = window.playground;
    const $ = (id) => document.getElementById(id);
    const input = (id, value) => { $(id).value = value; $(id).dispatchEvent(new Event("input")); };
    const line = () => $("script").textContent;

    // The controls are the module's tables: one row per options key, one entry per preset.
    out("keys " + p.desc.keys.map((k) => k.key).join(","));
    out("presets " + p.desc.presets.join(","));
    check("controls", document.querySelectorAll("#keys input").length === p.desc.keys.length &&
          $("preset").options.length === p.desc.presets.length, "controls do not match the tables");

    // With no option the line is Play's, with the override colour.
    const none = p.showFrame(20);
    input("color", "255,120,0");
    check("play line", line() === 'Lumivex_Play "Rect1" "Sparkle" "50" "255,120,0"', line());
    const plain = p.showFrame(20);

    // One option: PlayAdvanced's line, and another picture.
    input("color", "");
    input("opt-colorStart", "255,0,0");
    check("advanced line", line() === 'Lumivex_PlayAdvanced "Rect1" "Sparkle" "50" "colorStart=255,0,0"', line());
    const red = p.showFrame(20);
    check("option changes the picture", red !== plain, "frame 20 has hash " + red + " with and without colorStart");
    input("opt-colorStart", "");
    check("option removed", line() === 'Lumivex_Play "Rect1" "Sparkle" "50" ""', line());
    check("picture back", p.showFrame(20) === none, "frame 20 is not the preset's own once the colours are gone");
    check("colour changes the picture", plain !== none, "the override colour left frame 20 as it was");

    // A pasted text is read as the plug-in reads it: keys in any case and with spaces, the first
    // occurrence, unknown keys and fields without "=" ignored; written back in the table's order.
    $("paste").value = " MODE = burst : 75 ; Density=2;density=3;spawnRate=10;burst;shape=STAR ;colorEnd=0,0,255";
    $("readPaste").click();
    const composed = "colorEnd=0,0,255;mode=burst : 75;density=2;shape=STAR";
    check("paste read", $("opt-mode").value === "burst : 75" && $("opt-density").value === "2" &&
          $("opt-shape").value === "STAR", "mode '" + $("opt-mode").value + "' density '" + $("opt-density").value + "'");
    const first = line();
    check("paste line", first === 'Lumivex_PlayAdvanced "Rect1" "Sparkle" "50" "' + composed + '"', first);
    $("paste").value = p.optionsText();
    $("readPaste").click();
    check("paste round trip", line() === first, line() + " after reading " + composed);
    const burst = p.showFrame(5);
    check("pasted effect plays", p.api.live() === 150, p.api.live() + " particles, not 150 (burst of 75, density 2)");

    // Every preset of the list plays at 0.75 s: Fireworks has sent its first rocket up (after two
    // thirds of a second), PulseWave's one ring (one second) still shows.
    const quiet = [];
    $("clearOptions").click();
    for (const name of p.desc.presets) {
      $("preset").value = name;
      $("preset").dispatchEvent(new Event("change"));
      p.showFrame(45);
      if (!line().includes('"' + name + '"') || p.api.live() === 0) quiet.push(name + ": " + p.api.live() + " particles, line " + line());
    }
    check("presets", quiet.length === 0, quiet.join("; "));
    check("no errors", errors.length === 0, errors.join("; "));
    out("checks done " + burst);
  });
})();
