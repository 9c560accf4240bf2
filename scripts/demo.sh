#!/usr/bin/env bash
# The demo: builds everything, plays a scripted tour of effects with the real Lumivex.dll in the
# demo host under Wine and Xvfb (several presets over four rectangles, in front and behind, one
# with a sprite, fireworks, sparkles round a rectangle's edge and glitter born on a word drawn at
# run time, one rectangle moved, the host hiding the overlays) and saves screenshots of the
# screen to out/demo/; takes screenshots of the three action editors with their live preview
# (out/editors/); then renders every preset with `lumivex-render gallery` into out/gallery/
# (<Preset>.gif, <Preset>_sheet.png and overview.png); then writes the author's guide with
# `lumivex-render guide` into out/guide/ (index.html and img/, the editors' screenshots copied in),
# checks it and takes its screenshots in headless Chromium (out/guide/guide.png, guide_phone.png),
# with the guide's live playground, out/guide/playground.html (its screenshot
# out/guide/playground.png).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh wasm native win32 >/dev/null

rm -rf out/demo out/gallery
mkdir -p out/demo
# A star-shaped sprite, written at run time.
convert -size 48x48 xc:none -fill '#ffd24a' -stroke '#fff6c0' \
  -draw 'polygon 24,2 30,18 46,18 33,28 38,45 24,35 10,45 15,28 2,18 18,18' out/demo/sprite.png
# The word the glitter is born on (emitShape=mask): opaque letters on a transparent picture.
convert -size 360x110 xc:none -font DejaVu-Sans-Bold -pointsize 96 -fill white -gravity center \
  -annotate +0+0 'WOW' out/demo/word.png
sprite_path="Z:$(echo "$root/out/demo/sprite.png" | tr '/' '\\')"
mask_path="Z:$(echo "$root/out/demo/word.png" | tr '/' '\\')"
sed -e "s|@SPRITE@|${sprite_path//\\/\\\\}|" -e "s|@MASK@|${mask_path//\\/\\\\}|" -e "s|@OUT@|out/demo|" \
  tools/demo/tour.txt > out/demo/tour.txt
echo "== scripted tour under Wine (each Wine start takes a while under emulation)"
# xcompmgr blends the overlays' per-pixel alpha as a desktop does; without a compositing manager
# X would show their premultiplied colours over black.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  xcompmgr -n & compositor=$!
  sleep 1
  status=0
  scripts/wine-run.sh build/win32/bin/lumivex-demo.exe --script out/demo/tour.txt || status=$?
  kill $compositor
  exit $status'
# Every screenshot the tour asks for must be there.
for shot in $(sed -n 's/^shot //p' out/demo/tour.txt); do
  [ -f "$shot" ] || { echo "demo: the tour left no $shot" >&2; exit 1; }
done
for bmp in out/demo/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done

echo "== the three action editors under Wine"
rm -rf out/editors
bash scripts/editor-shots.sh out/editors

build/native/bin/lumivex-render gallery --out out/gallery

echo "== the author's guide"
rm -rf out/guide
build/native/bin/lumivex-render guide --out out/guide --editors out/editors
bash scripts/guide-check.sh out/guide -- --editors 3

echo
echo "screenshots of the tour: $root/out/demo/*.png"
echo "the editors: $root/out/editors/play.png, play_2.png (a second later), stop.png, advanced.png"
echo "$(ls "$root"/out/gallery/*.gif | wc -l) animated GIFs and $(ls "$root"/out/gallery/*_sheet.png | wc -l) contact sheets in $root/out/gallery/"
echo "all presets at a glance: $root/out/gallery/overview.png"
echo "the author's guide: $root/out/guide/index.html (screenshot: out/guide/guide.png)"
echo "its playground: $root/out/guide/playground.html (screenshot: out/guide/playground.png)"
