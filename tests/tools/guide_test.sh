#!/usr/bin/env bash
# Checks `lumivex-render guide`: its arguments, then one guide written with two of the three
# editor screenshots at hand (the third editor's section must be text only), checked by
# scripts/guide-check.sh (the page on disk and against the sources, every picture loaded by
# headless Chromium, the screenshots taken); and that the checks do catch a broken guide.
# Usage: guide_test.sh PATH/TO/lumivex-render SOURCE_ROOT
set -u
bin="$1"
root="$2"
failures=0
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- arguments -------------------------------------------------------------------------------
for args in "" "--out" "--out $tmp/x --bogus 1" "--editors $tmp"; do
  # shellcheck disable=SC2086
  "$bin" guide $args >/dev/null 2>"$tmp/err"
  code=$?
  [ "$code" -eq 2 ] || fail "guide $args exited $code, not 2"
  grep -q "usage: lumivex-render guide" "$tmp/err" || fail "guide $args printed no usage: $(cat "$tmp/err")"
done
touch "$tmp/file"
"$bin" guide --out "$tmp/file/guide" >/dev/null 2>&1
[ "$?" -eq 1 ] || fail "guide into a path under a file did not exit 1"

# --- one guide, two editor screenshots ---------------------------------------------------------
mkdir -p "$tmp/editors"
# A dialog of 100 x 80 on an even screen, and a screen of nothing but background.
convert -size 320x240 xc:'#808080' -fill '#335577' -draw 'rectangle 100,50 199,129' "$tmp/editors/play.png"
convert -size 300x400 xc:'#557733' "$tmp/editors/advanced.png"
start=$(date +%s)
"$bin" guide --out "$tmp/guide" --editors "$tmp/editors" || fail "guide exited $?"
echo "guide written in $(( $(date +%s) - start )) s"
page="$tmp/guide/index.html"
# Cropped to the dialog with a margin of 12; a screen of background alone is kept whole.
[ "$(identify -format '%wx%h' "$tmp/guide/img/editor-play.png")" = "124x104" ] \
  || fail "play.png cropped to $(identify -format '%wx%h' "$tmp/guide/img/editor-play.png"), not 124x104"
[ "$(identify -format '%wx%h' "$tmp/guide/img/editor-advanced.png")" = "300x400" ] \
  || fail "advanced.png not kept whole"
grep -q 'editor-stop' "$page" || fail "no section for the Stop editor"
grep -q 'src="img/editor-stop' "$page" && fail "a picture of the Stop editor, which was not given"
grep -qi '<script' "$page" && fail "the guide has a script"
bash "$root/scripts/guide-check.sh" "$tmp/guide" "$tmp/shots" -- --editors 2 || fail "guide-check found problems"
for shot in guide.png guide_phone.png; do
  [ "$(identify -format '%w' "$tmp/shots/$shot" 2>/dev/null)" -gt 0 ] 2>/dev/null || fail "$shot is not a picture"
done
[ -e "$tmp/guide/guide.png" ] && fail "screenshots went into the guide instead of SHOT_DIR"
ls -a "$tmp/guide" | grep -q imgcheck && fail "the check's copy of the page was left behind"

# --- the checks catch a broken guide ------------------------------------------------------------
# A copy sharing the pictures: one picture gone, one link to nowhere, one LastError text that
# the sources never write, the option keys out of order.
cp -al "$tmp/guide" "$tmp/broken"
rm "$tmp/broken/index.html"
sed -e 's|href="#errors"|href="#errorz"|' \
    -e 's|Rectangle has zero size.|Rectangle is too small.|' \
    -e 's|id="opt-colorEnd"|id="opt-colorEndX"|' "$page" >"$tmp/broken/index.html"
rm "$tmp/broken/img/preset-fire-1.gif"
bash "$root/scripts/guide-check.sh" "$tmp/broken" "$tmp/shots2" >"$tmp/broken.log" 2>&1 \
  && fail "guide-check passed a broken guide"
for expected in "img/preset-fire-1.gif' does not exist" "'#errorz' points to no anchor" \
                "'Rectangle is too small.' is nowhere in src/" "option keys: ApplyOptions reads" \
                "broken=1 img/preset-fire-1.gif"; do
  grep -qF "$expected" "$tmp/broken.log" || fail "guide-check did not report: $expected"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "guide: all checks passed"
