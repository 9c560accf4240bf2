#!/usr/bin/env bash
# Checks `lumivex-render render`, `gallery` and `particles` from the outside: repeatable output
# for a seed, the files and image sizes written, the particle listing, usage errors (exit 2) and
# unwritable paths (exit 1). Usage: render_output_test.sh PATH/TO/lumivex-render
set -u
bin="$1"
failures=0
checks=0
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }

# png_info FILE: "WIDTH HEIGHT COLOURTYPE" from the PNG header (2 = RGB, 6 = RGBA).
png_info() {
  od -An -tu1 -j16 -N10 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8, $10}'
}

# --- render: the same seed and arguments give byte-identical files -------------------------
run_fire() { "$bin" render Fire --seed "$1" --frames 60 --size 320x240 --out "$2" \
               --gif "$2/fire.gif" --sheet "$2/fire_sheet.png"; }
run_fire 1 "$tmp/a" || fail "render Fire exited $?"
run_fire 1 "$tmp/b" || fail "second render Fire exited $?"
run_fire 2 "$tmp/c" || fail "render Fire --seed 2 exited $?"
check
[ "$(ls "$tmp/a" | grep -c '^frame_00[0-5][0-9]\.png$')" -eq 60 ] || fail "not 60 frames: $(ls "$tmp/a" | head)"
[ "$(ls "$tmp/a" | wc -l)" -eq 62 ] || fail "unexpected files: $(ls "$tmp/a" | tr '\n' ' ')"
check
for f in "$tmp"/a/*; do
  cmp -s "$f" "$tmp/b/$(basename "$f")" || fail "$(basename "$f") differs between two runs with seed 1"
done
# Stars twinkle by the clock: repeatable only if they read the simulated one.
for run in s1 s2; do
  "$bin" render Stars --seed 5 --frames 20 --size 160x120 --out "$tmp/$run" || fail "render Stars exited $?"
done
check
for f in "$tmp"/s1/*; do
  cmp -s "$f" "$tmp/s2/$(basename "$f")" || fail "Stars $(basename "$f") differs between two runs with seed 5"
done
# Fireworks (trails, bursts on death, a palette, twinkle) repeat too, and burst: its later
# frames are not all empty.
for run in fw1 fw2; do
  "$bin" render Fireworks --seed 1 --frames 120 --size 160x120 --out "$tmp/$run" || fail "render Fireworks exited $?"
done
check
for f in "$tmp"/fw1/*; do
  cmp -s "$f" "$tmp/fw2/$(basename "$f")" || fail "Fireworks $(basename "$f") differs between two runs with seed 1"
done
cmp -s "$tmp/fw1/frame_0000.png" "$tmp/fw1/frame_0119.png" && fail "Fireworks frame 119 is its empty first frame"
# Sparkle born on a picture mask (an L, the frame's size, so that it fits the whole area as it
# is): repeatable, and every lit pixel of its first frames within a particle's size (and its
# first moves) of the L's opaque pixels.
convert -size 160x120 xc:none -fill white -draw 'rectangle 20,20 49,99' -draw 'rectangle 20,80 139,99' "$tmp/mask.png"
for run in m1 m2; do
  "$bin" render Sparkle --seed 1 --size 160x120 --frames 3 --out "$tmp/$run" \
    --options "emitArea=0.5,0.5,1,1;emitShape=mask:$tmp/mask.png;density=10" || fail "render Sparkle mask exited $?"
done
check
for f in "$tmp"/m1/*; do
  cmp -s "$f" "$tmp/m2/$(basename "$f")" || fail "masked Sparkle $(basename "$f") differs between two runs"
done
convert "$tmp/mask.png" -alpha extract -threshold 50% -morphology Dilate Disk:8 -negate "$tmp/outside.png"
for f in "$tmp"/m1/*.png; do
  convert "$f" -alpha extract -threshold 0 "$tmp/lit.png"
  [ "$(basename "$f")" != frame_0002.png ] || [ "$(convert "$tmp/lit.png" -format '%[fx:mean>0]' info:)" = 1 ] \
    || fail "masked Sparkle $(basename "$f") is empty"
  [ "$(convert "$tmp/lit.png" "$tmp/outside.png" -compose Multiply -composite -format '%[fx:maxima]' info:)" = 0 ] \
    || fail "masked Sparkle $(basename "$f") lights pixels away from the mask"
done
"$bin" render Sparkle --seed 1 --size 160x120 --frames 3 --out "$tmp/m3" --options "emitArea=0.5,0.5,1,1;density=10"
convert "$tmp/m3/frame_0002.png" -alpha extract -threshold 0 "$tmp/lit.png"
[ "$(convert "$tmp/lit.png" "$tmp/outside.png" -compose Multiply -composite -format '%[fx:maxima]' info:)" = 1 ] \
  || fail "Sparkle without the mask stays on the L too: the check cannot tell"
# A prewarmed effect opens on the frame it would have shown that much later: Snow with prewarm=3
# at frame 0 is Snow without it at frame 180, byte for byte (Snow does not read the clock).
"$bin" render Snow --seed 1 --options prewarm=3 --frames 1 --out "$tmp/pw" || fail "render Snow prewarm exited $?"
"$bin" render Snow --seed 1 --frames 181 --out "$tmp/np" || fail "render Snow exited $?"
check
cmp -s "$tmp/pw/frame_0000.png" "$tmp/np/frame_0180.png" || fail "prewarm=3 frame 0 differs from frame 180"
cmp -s "$tmp/pw/frame_0000.png" "$tmp/np/frame_0000.png" && fail "prewarm=3 changed nothing"
# Particles were drawn, and the seed reached them: another seed gives other pixels.
check
cmp -s "$tmp/a/frame_0059.png" "$tmp/c/frame_0059.png" && fail "seed 1 and seed 2 give the same last frame"
check
[ "$(png_info "$tmp/a/frame_0000.png")" = "320 240 6" ] || fail "frame: $(png_info "$tmp/a/frame_0000.png"), not 320x240 RGBA"
# 16 of the 60 frames, 4 columns, 4-pixel gaps: 4 * (320 + 4) + 4 by 4 * (240 + 4) + 4.
[ "$(png_info "$tmp/a/fire_sheet.png")" = "1300 980 2" ] || fail "sheet: $(png_info "$tmp/a/fire_sheet.png")"
check
head -c 6 "$tmp/a/fire.gif" | grep -q '^GIF89a$' || fail "fire.gif is not a GIF89a file"

# --background makes frames opaque; --fps changes the simulation step, not only the GIF.
"$bin" render Sparkle --seed 3 --frames 2 --size 40x30 --background '#102030' --out "$tmp/d" \
  || fail "render --background exited $?"
check
[ "$(png_info "$tmp/d/frame_0001.png")" = "40 30 2" ] || fail "background frame: $(png_info "$tmp/d/frame_0001.png")"
check
[ "$("$bin" particles Fire --seed 4 --frames 30 --fps 60)" != "$("$bin" particles Fire --seed 4 --frames 30 --fps 20)" ] \
  || fail "--fps does not change the simulation"

# --- gallery: a GIF and a sheet per preset and the overview --------------------------------
"$bin" gallery --out "$tmp/g/sub" --size 32x24 --frames 3 2>"$tmp/g.err" || fail "gallery exited $?"
check
[ "$(ls "$tmp"/g/sub/*.gif 2>/dev/null | wc -l)" -eq 20 ] || fail "gallery GIFs: $(ls "$tmp/g/sub" | tr '\n' ' ')"
[ "$(ls "$tmp"/g/sub/*_sheet.png 2>/dev/null | wc -l)" -eq 20 ] || fail "gallery sheets: $(ls "$tmp/g/sub" | tr '\n' ' ')"
[ -s "$tmp/g/sub/Fireworks.gif" ] || fail "no Fireworks.gif"
[ "$(grep -c '^lumivex-render: \[[0-9]*/20\]' "$tmp/g.err")" -eq 20 ] || fail "gallery progress: $(cat "$tmp/g.err")"
# 20 tiles of 32 x 24 in 5 columns: 5 * 36 + 4 by 4 * 28 + 4.
[ "$(png_info "$tmp/g/sub/overview.png")" = "184 116 2" ] || fail "overview: $(png_info "$tmp/g/sub/overview.png")"

# --- particles: one line of 10 fields per live particle --------------------------------------
out="$("$bin" particles Explosion --seed 7 --frames 10)" || fail "particles exited $?"
check
[ -n "$out" ] || fail "particles printed nothing"
bad="$(awk 'NF != 10 || $1 !~ /^[0-9]+$/ || (NR > 1 && $1 <= prev) { print NR": "$0 } { prev = $1 }' <<<"$out" | head -n3)"
[ -z "$bad" ] || fail "particles lines not 10 fields with rising slots: $bad"
[ "$out" = "$("$bin" particles Explosion --seed 7 --frames 10)" ] || fail "particles differ for the same seed"
[ "$out" != "$("$bin" particles Explosion --seed 8 --frames 10)" ] || fail "particles ignore the seed"
# Before any frame a burst has all its particles alive: as many lines as burstCount.
burst="$("$bin" config Explosion --intensity 80 | sed -n 's/^burstCount=//p')"
check
[ "$("$bin" particles Explosion --intensity 80 --seed 1 --frames 0 | wc -l)" -eq "$burst" ] \
  || fail "particles --frames 0 does not list burstCount ($burst) particles"

# --- usage errors: exit 2, nothing on stdout, the problem on the first line, then usage ------
expect_usage_error() {
  local problem="$1"; shift
  local out err rc
  err="$("$bin" "$@" 2>&1 >/dev/null)"; rc=$?
  out="$("$bin" "$@" 2>/dev/null)"
  check
  [ "$rc" -eq 2 ] || fail "'$*' exited $rc, not 2"
  [ -z "$out" ] || fail "'$*' printed on stdout"
  head -n1 <<<"$err" | grep -qF -- "$problem" || fail "'$*': first stderr line lacks '$problem': $(head -n1 <<<"$err")"
  grep -q '^usage:' <<<"$err" || fail "'$*': no usage on stderr"
}
o="$tmp/never"
expect_usage_error "missing --out DIR" render Fire
expect_usage_error "missing --out DIR" gallery
expect_usage_error "missing value for --out" render Fire --out
expect_usage_error "missing PRESET" render --out "$o"
expect_usage_error "missing PRESET" particles --seed 1
expect_usage_error "unknown flag '--speed'" render Fire --speed 2 --out "$o"
expect_usage_error "unknown flag '--gif' for particles" particles Fire --gif x.gif
expect_usage_error "unknown flag '--color' for gallery" gallery --out "$o" --color 1,2,3
expect_usage_error "unexpected argument 'Fire'" gallery Fire --out "$o"
expect_usage_error "bad --size '320'" render Fire --size 320 --out "$o"
expect_usage_error "bad --size '0x10'" render Fire --size 0x10 --out "$o"
expect_usage_error "bad --size '10x99999'" gallery --size 10x99999 --out "$o"
expect_usage_error "bad --frames 'ten'" render Fire --frames ten --out "$o"
expect_usage_error "bad --frames '0'" render Fire --frames 0 --out "$o"
expect_usage_error "bad --frames '-1'" particles Fire --frames -1
expect_usage_error "bad --fps '0'" render Fire --fps 0 --out "$o"
expect_usage_error "bad --fps '60fps'" particles Fire --fps 60fps
expect_usage_error "bad --seed '-3'" particles Fire --seed -3
expect_usage_error "bad --background 'white'" render Fire --background white --out "$o"
expect_usage_error "bad --background '#12345'" render Fire --background '#12345' --out "$o"
expect_usage_error "cannot be combined" render Fire --color 1,2,3 --options speed=2 --out "$o"
check
[ -e "$o" ] && fail "a usage error created $o"

# --- unwritable outputs: exit 1 and a message naming the path --------------------------------
: >"$tmp/plain"
expect_file_error() {
  local path="$1"; shift
  local err rc
  err="$("$bin" "$@" 2>&1 >/dev/null)"; rc=$?
  check
  [ "$rc" -eq 1 ] || fail "'$*' exited $rc, not 1"
  grep -qF -- "'$path'" <<<"$err" || fail "'$*': message does not name '$path': $err"
}
expect_file_error "$tmp/plain/frames" render Fire --frames 2 --out "$tmp/plain/frames"
expect_file_error "$tmp/nodir/x.gif" render Fire --frames 2 --out "$tmp/e" --gif "$tmp/nodir/x.gif"
expect_file_error "$tmp/nodir/s.png" render Fire --frames 2 --out "$tmp/e" --sheet "$tmp/nodir/s.png"
expect_file_error "$tmp/plain" gallery --frames 1 --out "$tmp/plain"

echo "$checks checks, $failures failed"
[ "$failures" -eq 0 ]
