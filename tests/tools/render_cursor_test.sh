#!/usr/bin/env bash
# Checks lumivex-render's replayed reader (--cursor, --clicks, --cursor-marker) from the outside:
# the cursor is where the path says at each frame (births of a still, following effect mark it),
# a click bursts at its frame and point, a replay repeats byte for byte and changes an effect that
# answers the cursor, the marker shows only when asked and only round the cursor and the clicks,
# and bad paths are usage errors. Usage: render_cursor_test.sh PATH/TO/lumivex-render
set -u
bin="$1"
failures=0
checks=0
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }

# Stars that do not move, born on a point, two a frame: each particle stays where it was born.
still='emitArea=0.5,0.5,0,0;speed=0;mode=continuous:120'

# --- the path: a particle born at frame F sits where the cursor was at F ----------------------
# Frames 0-4 at 40,60; 5-7 elsewhere; 8 at 100,60 on the way to 120,80 at frame 11, then still.
out="$("$bin" particles Stars --seed 1 --frames 14 --options "cursor=follow;$still" \
         --cursor '0:40,60;5:-;8:100,60;11:120,80')" || fail "particles with --cursor exited $?"
check
want='40 60
100 60
106.666664 66.6666641
113.333336 73.3333359
120 80'
got="$(awk '{ print $2, $3 }' <<<"$out" | sort -u -n -k1,1 -k2,2)"
[ "$got" = "$want" ] || fail "births not where the path puts the cursor: $(tr '\n' ';' <<<"$got")"
# Born at 40,60 over frames 0-4 only: the cursor leaving at frame 5 stops the births.
n40="$(awk '$2 == 40' <<<"$out" | wc -l)"
[ "$n40" -ge 8 ] && [ "$n40" -le 10 ] || fail "$n40 births at 40,60 over 5 frames of 2"

# --- clicks: click=burst:25 bursts 25 at its point at the start of its frame, once -----------
clicks='3:100,50;7:30,20'
count_at() { awk -v x="$1" -v y="$2" '$2 == x && $3 == y' | wc -l; }
for frames in 3 4 8 12; do
  out="$("$bin" particles Stars --seed 2 --frames "$frames" --options "click=burst:25;$still" --clicks "$clicks")" \
    || fail "particles with --clicks exited $?"
  a=$(count_at 100 50 <<<"$out"); b=$(count_at 30 20 <<<"$out")
  want_a=$([ "$frames" -gt 3 ] && echo 25 || echo 0); want_b=$([ "$frames" -gt 7 ] && echo 25 || echo 0)
  check
  [ "$a" -eq "$want_a" ] && [ "$b" -eq "$want_b" ] \
    || fail "after $frames frames: $a at the first click, $b at the second (expected $want_a, $want_b)"
done
# Without the click key a click does nothing.
check
[ "$("$bin" particles Stars --seed 2 --frames 12 --options "$still" --clicks "$clicks")" = \
  "$("$bin" particles Stars --seed 2 --frames 12 --options "$still")" ] || fail "a click without click= changed the effect"

# --- replays repeat; the cursor changes an effect that answers it ----------------------------
path='0:-;5:30,60;25:150,60;30:150,90;40:-'
run_replay() { local dir="$1"; shift
  "$bin" render MagicDust --seed 4 --size 180x120 --frames 45 --options 'cursor=repel:50;click=burst:30' \
    --out "$dir" --gif "$dir.gif" --sheet "$dir.png" "$@"; }
run_replay "$tmp/r1" --cursor "$path" --clicks '12:90,40' --cursor-marker || fail "replay exited $?"
run_replay "$tmp/r2" --cursor "$path" --clicks '12:90,40' --cursor-marker || fail "second replay exited $?"
run_replay "$tmp/plain" --cursor "$path" --clicks '12:90,40' || fail "replay without the marker exited $?"
run_replay "$tmp/none" || fail "control exited $?"
check
for f in "$tmp"/r1/* "$tmp/r1.gif" "$tmp/r1.png"; do
  g="${f/r1/r2}"
  cmp -s "$f" "$g" || fail "$(basename "$f") differs between two runs of the same replay"
done
check
cmp -s "$tmp/plain/frame_0044.png" "$tmp/none/frame_0044.png" && fail "repel with a cursor ends as it does without one"
cmp -s "$tmp/plain/frame_0003.png" "$tmp/none/frame_0003.png" || fail "frame 3, before the cursor came, differs from the control"

# --- the marker: only when asked, only round the cursor and the clicks ------------------------
# An effect that ignores the reader: the replay alone changes nothing, byte for byte.
ignore() { local dir="$1"; shift
  "$bin" render Sparkle --seed 6 --size 160x100 --frames 21 --background black --out "$dir" "$@"; }
ignore "$tmp/i0" || fail "render Sparkle exited $?"
ignore "$tmp/i1" --cursor '0:40,50;20:120,50' --clicks '12:130,80' || fail "render Sparkle with a replay exited $?"
ignore "$tmp/i2" --cursor '0:40,50;20:120,50' --clicks '12:130,80' --cursor-marker || fail "render Sparkle marked exited $?"
check
for f in "$tmp"/i0/*; do
  cmp -s "$f" "$tmp/i1/$(basename "$f")" || fail "$(basename "$f"): the replay changed an effect that ignores the reader"
done
# Frame 15: the cursor at 100,50 (a ring of radius 7), the click's ripple (radius 3 + 2 x 3) at
# 130,80. Every changed pixel is within a few pixels of one of them, and both show.
convert "$tmp/i0/frame_0015.png" "$tmp/i2/frame_0015.png" -compose difference -composite \
  -colorspace gray -threshold 0 "$tmp/changed.png"
convert -size 160x100 xc:white -fill black -draw 'circle 100,50 111,50' -draw 'circle 130,80 143,80' "$tmp/away.png"
check
[ "$(convert "$tmp/changed.png" "$tmp/away.png" -compose Multiply -composite -format '%[fx:maxima]' info:)" = 0 ] \
  || fail "the marker changed pixels away from the cursor and the click"
for box in 14x14+93+43 18x18+121+71; do
  [ "$(convert "$tmp/changed.png" -crop "$box" +repage -format '%[fx:maxima]' info:)" = 1 ] \
    || fail "no marker in $box of frame 15"
done
# Once the ripple is over (8 frames from frame 12 on) only the cursor's ring is left: at frame 20
# the cursor is at 120,50, and the changes lie within its ring's reach.
box="$(convert "$tmp/i0/frame_0020.png" "$tmp/i2/frame_0020.png" -compose difference -composite \
         -colorspace gray -threshold 0 -format '%w %h %X %Y %@' info: | awk '{ split($5, a, /[x+]/); print a[3], a[4], a[3] + a[1], a[4] + a[2] }')"
check
read -r x0 y0 x1 y1 <<<"$box"
[ "$x0" -ge 109 ] && [ "$y0" -ge 39 ] && [ "$x1" -le 132 ] && [ "$y1" -le 62 ] && [ "$x1" -gt "$x0" ] \
  || fail "frame 20's marker spans x $x0-$x1, y $y0-$y1, not just the ring round 120,50"

# --- usage errors: exit 2 and the problem on the first line -----------------------------------
expect_usage_error() {
  local problem="$1"; shift
  local err rc
  err="$("$bin" "$@" 2>&1 >/dev/null)"; rc=$?
  check
  [ "$rc" -eq 2 ] || fail "'$*' exited $rc, not 2"
  head -n1 <<<"$err" | grep -qF -- "$problem" || fail "'$*': first stderr line lacks '$problem': $(head -n1 <<<"$err")"
}
o="$tmp/never"
expect_usage_error "bad --cursor: '0:40' is not F:X,Y or F:-" render Fire --cursor '0:40' --out "$o"
expect_usage_error "bad --cursor: frame 3 does not come after frame 5" particles Fire --cursor '5:1,1;3:2,2'
expect_usage_error "bad --clicks: '4:-' is not F:X,Y" render Fire --clicks '4:-' --out "$o"
expect_usage_error "bad --clicks: frame 2 does not come after frame 2" render Fire --clicks '2:1,1;2:5,5' --out "$o"
expect_usage_error "--cursor point 400,10 is outside the 320x240 frame" render Fire --cursor '0:400,10' --out "$o"
expect_usage_error "--clicks point 10,90 is outside the 100x80 frame" particles Fire --size 100x80 --clicks '1:10,90'
expect_usage_error "unknown flag '--cursor-marker' for particles" particles Fire --cursor-marker
expect_usage_error "unknown flag '--cursor' for gallery" gallery --out "$o" --cursor '0:1,1'
check
[ -e "$o" ] && fail "a usage error created $o"

echo "$checks checks, $failures failed"
[ "$failures" -eq 0 ]
