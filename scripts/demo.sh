#!/usr/bin/env bash
# The demo: builds the native tools and shows what each of the 19 presets configures, through
# `lumivex-render config`. Each preset's full configuration goes to out/config/<Preset>.txt.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh native >/dev/null
bin=build/native/bin/lumivex-render
mkdir -p out/config

field() { grep "^$2=" "$1" | cut -d= -f2; }

printf '%-15s %10s %6s %6s %8s %s\n' preset spawnRate burst shape gravity "start colour"
for preset in Sparkle Fire Rain Snow Confetti MagicDust Explosion LightRays Beams Glow Stars \
              LightBeams GodRays Laser Bubbles PulseWave Aurora Shimmer AuroraBorealis; do
  f="out/config/$preset.txt"
  "$bin" config "$preset" > "$f"
  printf '%-15s %10s %6s %6s %8s %s,%s,%s\n' "$preset" "$(field "$f" spawnRate)" \
    "$(field "$f" burstCount)" "$(field "$f" shape)" "$(field "$f" gravity)" \
    "$(field "$f" colorStartR)" "$(field "$f" colorStartG)" "$(field "$f" colorStartB)"
done
echo
echo "PlayAdvanced example: Sparkle with 'mode=Burst:75;density=2;zOrder=behind'"
"$bin" config Sparkle --options 'mode=Burst:75;density=2;zOrder=behind' | grep -E '^(spawnRate|burstCount|inFront)='
echo
echo "full configurations: out/config/"
