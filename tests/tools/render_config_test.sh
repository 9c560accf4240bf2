#!/usr/bin/env bash
# Checks `lumivex-render config`: what Play and PlayAdvanced would build, the dump's format,
# and the usage errors. Usage: render_config_test.sh PATH/TO/lumivex-render
set -u
bin="$1"
failures=0
checks=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_fields "ARGS..." -- "name=value" ...: every pair must appear as a whole line.
expect_fields() {
  local args=() out
  while [ "$1" != "--" ]; do args+=("$1"); shift; done
  shift
  out="$("$bin" config "${args[@]}")" || { fail "config ${args[*]} exited $?"; return; }
  for pair in "$@"; do
    checks=$((checks + 1))
    grep -qxF -- "$pair" <<<"$out" || fail "config ${args[*]}: no line '$pair'"
  done
}

# expect_usage_error PROBLEM-SUBSTRING ARGS...: exit 2, nothing on stdout, the problem first.
expect_usage_error() {
  local problem="$1"; shift
  local out err rc
  err="$("$bin" "$@" 2>&1 >/dev/null)"; rc=$?
  out="$("$bin" "$@" 2>/dev/null)"
  checks=$((checks + 1))
  [ "$rc" -eq 2 ] || fail "'$*' exited $rc, not 2"
  [ -z "$out" ] || fail "'$*' printed on stdout"
  head -n1 <<<"$err" | grep -qF -- "$problem" || fail "'$*': first stderr line lacks '$problem': $(head -n1 <<<"$err")"
  grep -q '^usage:' <<<"$err" || fail "'$*': no usage on stderr"
}

expect_fields Explosion --intensity 100 -- burstCount=400 spawnRate=0 inFront=1
expect_fields Sparkle --options 'MODE = burst : 75 ; Density=2' -- spawnRate=0 burstCount=150
expect_fields Sparkle -- spawnRate=40 colorOverride=0 inFront=1
expect_fields Sparkle --intensity '$64' -- spawnRate=80
expect_fields Sparkle --intensity 250 -- spawnRate=80
expect_fields Sparkle --intensity abc -- spawnRate=0
expect_fields ' FIRE ' --color '255, 0 ,0' -- colorStartR=255 colorStartG=0 colorEndR=255 \
  colorEndG=0 colorOverride=1 hasColorMid=1 colorMidG=110 emitY=0.879999995 drag=0.970000029
expect_fields Fire --color '255,0' -- colorStartR=255 colorStartG=230 colorOverride=0
expect_fields Rain --options 'zOrder=behind;opacity=0.5' -- inFront=0 alphaStart=0.324999988
expect_fields Nope -- spawnRate=40 shape=0 rayCount=12
expect_fields Fireworks -- spawnRate=1.5 burstCount=0 trailSeconds=0.150000006 deathBurstMin=40 deathBurstMax=70
expect_fields Fire --options 'trail=0.2;deathBurst=12:150' -- trailSeconds=0.200000003 deathBurstMin=12 deathBurstMax=12 deathBurstSpeed=150
expect_fields Fire --options 'speed=2;deathBurst=80' -- deathBurstMin=50 deathBurstMax=50 deathBurstSpeed=230
expect_fields Fireworks --options 'trail=5;deathBurst=0' -- trailSeconds=1 deathBurstMin=0 deathBurstMax=0
expect_fields Sparkle --options 'emitShape=Edge;direction=outward,20;spriteFrames=4x2@12' -- emitShape=1 directionMode=1 spreadAngle=20 spriteCols=4 spriteRows=2 spriteFps=12
expect_fields Sparkle --options 'emitShape=ring;direction=inward;spriteFrames=40x0' -- emitShape=2 directionMode=2 spreadAngle=0 spriteCols=16 spriteRows=1 spriteFps=0
expect_fields Sparkle --options 'emitShape=mask:;direction=outward,20;direction=90;spriteFrames=3x3@500' -- emitShape=0 directionMode=1 spriteCols=3 spriteFps=60
expect_fields Sparkle --options 'emitShape=mask:/no/such/file.png' -- emitShape=0
expect_fields Fireworks --options 'trail=-1;deathBurst=3:-5' -- trailSeconds=0 deathBurstMin=3 deathBurstSpeed=0
expect_fields Sparkle --options 'cursor=repel:5000;click=burst' -- cursorMode=2 cursorRadius=1000 clickBurst=60
expect_fields Sparkle --options 'cursor= Attract : 4 ;click=burst:9999' -- cursorMode=3 cursorRadius=10 clickBurst=500
expect_fields Sparkle --options 'cursor=follow;click=burst:0' -- cursorMode=1 cursorRadius=120 clickBurst=1
expect_fields Sparkle --options 'cursor=follow:3;click=wave' -- cursorMode=0 clickBurst=0
# The effect's start and stop keys follow the fields, only when set.
out="$("$bin" config Snow --options 'prewarm=3;fadeOut=800')"
checks=$((checks + 1))
[ "$(tail -n3 <<<"$out" | tr '\n' ' ')" = "inFront=1 prewarm=3 fadeOut=800 " ] || fail "config Snow prewarm/fadeOut: $(tail -n3 <<<"$out" | tr '\n' ' ')"

out="$("$bin" config Explosion --options 'onEnd= GoSub "ShowNext" ;motion=Always')"
checks=$((checks + 1))
[ "$(tail -n2 <<<"$out" | tr '\n' ' ')" = 'onEnd=GoSub "ShowNext" motion=always ' ] || fail "config Explosion onEnd/motion: $(tail -n2 <<<"$out" | tr '\n' ' ')"

# The dump: 69 fields in record order plus inFront, floats that read back to the same float.
out="$("$bin" config Fire)"
checks=$((checks + 1))
[ "$(wc -l <<<"$out")" -eq 70 ] || fail "config prints $(wc -l <<<"$out") lines, not 70"
[ "$(head -n1 <<<"$out")" = "spawnRate=60" ] || fail "first line: $(head -n1 <<<"$out")"
[ "$(sed -n 57p <<<"$out")" = "rayWidth=2" ] || fail "line 57: $(sed -n 57p <<<"$out")"
[ "$(sed -n 61p <<<"$out")" = "deathBurstSpeed=0" ] || fail "line 61: $(sed -n 61p <<<"$out")"
[ "$(tail -n1 <<<"$out")" = "inFront=1" ] || fail "last line: $(tail -n1 <<<"$out")"
[ "$("$bin" config Nope)" = "$("$bin" config sparkle)" ] || fail "unknown preset is not Sparkle"

expect_usage_error "unknown subcommand 'draw'" draw Fire
expect_usage_error "missing subcommand"
expect_usage_error "unknown flag '--speed'" config Fire --speed 3
expect_usage_error "missing value for --intensity" config Fire --intensity
expect_usage_error "missing PRESET" config --intensity 5
expect_usage_error "unexpected argument 'Rain'" config Fire Rain
expect_usage_error "cannot be combined" config Fire --color 1,2,3 --options speed=2

echo "$checks checks, $failures failed"
[ "$failures" -eq 0 ]
