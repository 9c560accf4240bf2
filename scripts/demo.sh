#!/usr/bin/env bash
# The demo: builds the native tools and renders every preset with `lumivex-render gallery`:
# out/gallery/<Preset>.gif (animated, 1 s at 60 frames per second), <Preset>_sheet.png (16 of
# its frames) and overview.png (one frame of each preset, named).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh native >/dev/null
rm -rf out/gallery
build/native/bin/lumivex-render gallery --out out/gallery

echo
echo "19 animated GIFs and 19 contact sheets in $root/out/gallery/"
echo "all presets at a glance: $root/out/gallery/overview.png"
