#!/usr/bin/env bash
# Checks a generated author's guide and takes its screenshots: `scripts/guide-check.sh GUIDE_DIR
# [SHOT_DIR] [-- CHECK_ARGS...]`. tests/tools/guide_check.py checks the page on disk and against
# the sources (CHECK_ARGS go to it, e.g. --editors 3); then headless Chromium loads a copy of the
# page with a few lines of script added, which list every picture that did not load, and takes
# screenshots of the page itself at desktop and phone width: SHOT_DIR/guide.png and
# SHOT_DIR/guide_phone.png (SHOT_DIR defaults to GUIDE_DIR); then loads the playground
# (playground.html), which must start its engine and show a frame with no message in the console,
# and takes its screenshot, SHOT_DIR/playground.png. Exit 1 on any problem.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [ "$#" -lt 1 ]; then
  echo "usage: $0 GUIDE_DIR [SHOT_DIR] [-- CHECK_ARGS...]" >&2
  exit 2
fi
guide="$(cd "$1" && pwd)"
shift
shots="$guide"
if [ "$#" -gt 0 ] && [ "$1" != "--" ]; then
  mkdir -p "$1"
  shots="$(cd "$1" && pwd)"
  shift
fi
[ "$#" -gt 0 ] && [ "$1" = "--" ] && shift

status=0
python3 "$root/tests/tools/guide_check.py" "$guide" "$root" "$@" || status=1

work="$(mktemp -d)"
copy="$guide/.imgcheck-$$.html"
trap 'rm -rf "$work" "$copy"' EXIT

# Chromium as root, headless, with nothing that reaches the network or a desktop session.
browser() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
    --user-data-dir="$work/profile" "$@" 2>"$work/chromium.log"
}

# The copy beside the page (so its relative paths hold) reports, once everything has loaded,
# how many pictures there are and which did not load. The shipped page has no script.
sed 's|</body>|<script>window.addEventListener("load", function () { var bad = [];\
for (var i = 0; i < document.images.length; i++) { var im = document.images[i];\
if (!im.complete \|\| im.naturalWidth === 0) bad.push(im.getAttribute("src")); }\
var p = document.createElement("pre"); p.id = "imgcheck";\
p.textContent = "images=" + document.images.length + " broken=" + bad.length + " " + bad.join(" ");\
document.body.appendChild(p); });</script></body>|' "$guide/index.html" >"$copy"
expected="$(grep -o '<img ' "$guide/index.html" | wc -l)"
browser --virtual-time-budget=30000 --dump-dom "file://$copy" >"$work/dom.html"
report="$(grep -o 'images=[0-9]* broken=[0-9]*[^<]*' "$work/dom.html" | head -1)"
echo "guide-check: chromium: ${report:-no report}"
case "$report" in
  "images=$expected broken=0 ") ;;
  *) echo "guide-check: FAIL: chromium did not load every one of the $expected pictures"
     grep -v dbus "$work/chromium.log" | tail -5
     status=1 ;;
esac

# The playground: its engine starts and shows frame 45 of Fire with a few options.
playground="file://$guide/playground.html#preset=Fire&intensity=80&options=colorMid%3D255%2C60%2C160%3Bsize%3D1.4&frame=45"
browser --virtual-time-budget=20000 --enable-logging=stderr --v=0 --dump-dom "$playground" >"$work/playground.html"
played="$(grep -o 'frame=45 hash=[0-9a-f]* particles=[0-9]*' "$work/playground.html" | head -1)"
echo "guide-check: playground: ${played:-no frame}"
if [ -z "$played" ] || grep -q 'error=' "$work/playground.html" || grep -q CONSOLE "$work/chromium.log"; then
  echo "guide-check: FAIL: the playground did not show its frame cleanly"
  grep -o 'error=[^<]*' "$work/playground.html" | head -3
  grep CONSOLE "$work/chromium.log" | head -3
  status=1
fi
rm -f "$shots/playground.png"
browser --virtual-time-budget=20000 --window-size=1280,1100 --screenshot="$shots/playground.png" "$playground" >/dev/null
if [ -s "$shots/playground.png" ]; then
  echo "guide-check: screenshot $shots/playground.png"
else
  echo "guide-check: FAIL: no screenshot $shots/playground.png"
  status=1
fi

for shot in "guide.png 1200,3000" "guide_phone.png 400,2400"; do
  set -- $shot
  rm -f "$shots/$1"
  browser --window-size="$2" --screenshot="$shots/$1" "file://$guide/index.html" >/dev/null
  if [ -s "$shots/$1" ]; then
    echo "guide-check: screenshot $shots/$1"
  else
    echo "guide-check: FAIL: no screenshot $shots/$1"
    status=1
  fi
done
exit $status
