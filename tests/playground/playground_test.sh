#!/usr/bin/env bash
# The playground page as the guide writes it, in headless Chromium from file://: it loads without
# an error in the console with either module; for three presets and two seeds (and a PlayAdvanced
# effect) frame 30's hash equals that of lumivex-render's PNG of the same frame (lumivex-frame-hash)
# with the SIMD module and with the fallback; the page's own checks (page_checks.js: controls from
# the tables, the script line, an option changing the picture, a pasted options text read and
# round-tripped) pass; the guide's links to it open the effect of their figure. Prints the frame time of 2000 Sparkle particles at 800 x 600 (a figure,
# not a check). Usage: playground_test.sh LUMIVEX_RENDER LUMIVEX_FRAME_HASH SOURCE_ROOT
set -u
render="$1"
hasher="$2"
root="$3"
failures=0
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$render" guide --out "$tmp/guide" >/dev/null 2>"$tmp/guide.err" || { cat "$tmp/guide.err"; echo "FAIL: guide"; exit 1; }
page="$tmp/guide/playground.html"
[ -s "$page" ] || { echo "FAIL: the guide wrote no playground.html"; exit 1; }

# Chromium as root, headless, nothing reaching the network; console messages go to the log.
browser() {
  local log="$1"; shift
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --enable-logging=stderr --v=0 --user-data-dir="$tmp/profile" "$@" 2>"$log"
}
# The text of the page's report in a dumped DOM.
reportText() { python3 -c 'import re, sys
m = re.search(r"<pre id=\"report\">(.*?)</pre>", sys.stdin.read(), re.S)
print(m.group(1) if m else "")'; }
# The page's report after it has run (virtual time: the page's own clock stands still).
report() {
  browser "$tmp/console.log" --virtual-time-budget=20000 --dump-dom "file://$page#$1" | reportText
  if grep -q 'CONSOLE' "$tmp/console.log"; then
    fail "console messages for #$1: $(grep CONSOLE "$tmp/console.log" | head -3)"
  fi
}

# --- the hash itself: FNV-1a over the RGBA bytes, computed here from ImageMagick's reading ---------
convert -size 3x2 xc:none -fill 'rgba(255,128,0,0.5)' -draw 'point 1,0' -fill '#20406080' -draw 'point 2,1' \
  PNG32:"$tmp/two.png"
want="$(stream -map rgba -storage-type char "$tmp/two.png" - | python3 -c '
import sys
h = 2166136261
for b in sys.stdin.buffer.read():
    h = ((h ^ b) * 16777619) % 2**32
print("%08x" % h)')"
got="$("$hasher" "$tmp/two.png" | cut -d' ' -f1)"
[ "$got" = "$want" ] || fail "lumivex-frame-hash of a 2 x 1 picture: $got, not $want"
"$hasher" "$tmp/none.png" >/dev/null 2>&1; [ "$?" -eq 1 ] || fail "lumivex-frame-hash of a missing file did not exit 1"

# --- frame hashes against lumivex-render --------------------------------------------------------
enc() { python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$1"; }
cases=("Fire 1" "Fire 7" "Snow 1" "Snow 7" "Confetti 1" "Confetti 7")
for c in "${cases[@]}" "MagicDust 3 mode=burst:300;shape=star;direction=270,90"; do
  set -- $c
  preset="$1" seed="$2" options="${3:-}"
  flags=(); args="preset=$preset&seed=$seed&size=320x240&frame=30"
  if [ -n "$options" ]; then flags=(--options "$options"); args="$args&options=$(enc "$options")"; fi
  rm -rf "$tmp/frames"
  "$render" render "$preset" "${flags[@]}" --seed "$seed" --size 320x240 --frames 31 --out "$tmp/frames" 2>/dev/null \
    || fail "lumivex-render render $preset failed"
  want="$("$hasher" "$tmp/frames/frame_0030.png" | cut -d' ' -f1)"
  for module in simd plain; do
    got="$(report "$args&module=$module")"
    echo "$got" | grep -q "module=$module" || fail "$preset seed $seed: the $module module did not load: $got"
    hash="$(echo "$got" | grep -o 'hash=[0-9a-f]*' | cut -d= -f2)"
    echo "$preset seed $seed ${options:+options $options }$module: page $hash, lumivex-render $want"
    [ -n "$hash" ] && [ "$hash" = "$want" ] || fail "$preset seed $seed ($module): page $hash, lumivex-render $want"
  done
done
# The hash tells frames apart (a different seed, a different frame).
[ "$("$hasher" "$tmp/frames/frame_0030.png" | cut -d' ' -f1)" != "$("$hasher" "$tmp/frames/frame_0029.png" | cut -d' ' -f1)" ] \
  || fail "frames 29 and 30 have the same hash"

# --- the guide's "try it" links open the figure's own line ---------------------------------------
python3 - "$tmp/guide/index.html" >"$tmp/links.txt" <<'PY'
import html.parser, sys
# Each figure's script line and its playground link: the first of each kind of effect (Play, a
# few PlayAdvanced ones).
class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(); self.line = None; self.inLine = False; self.pairs = []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "code" and a.get("class") == "line": self.inLine = True; self.line = ""
        if tag == "a" and a.get("class") == "try": self.pairs.append((a["href"].split("#", 1)[1], self.line))
    def handle_endtag(self, tag):
        if tag == "code": self.inLine = False
    def handle_data(self, data):
        if self.inLine: self.line += data
p = Page(); p.feed(open(sys.argv[1]).read())
plays = [x for x in p.pairs if x[1].startswith("Lumivex_Play ")][:1]
advanced = [x for x in p.pairs if x[1].startswith("Lumivex_PlayAdvanced ")]
for args, line in plays + advanced[:: max(1, len(advanced) // 4)][:4]: print(args + "\t" + line)
PY
[ "$(wc -l <"$tmp/links.txt")" -ge 4 ] || fail "the guide has too few playground links: $(cat "$tmp/links.txt")"
# The page writes the keys in the order they are applied, which a figure's line need not: the
# same action, parameters and key=value fields count as the same line.
sameLine() { python3 -c 'import shlex, sys
def parts(line):
    words = shlex.split(line)
    return words[:4] + [sorted(words[4].split(";")) if len(words) > 4 else []]
sys.exit(0 if parts(sys.argv[1]) == parts(sys.argv[2]) else 1)' "$1" "$2"; }
while IFS="$(printf '\t')" read -r args line; do
  shown="$(report "$args" | sed -n 's/^script //p')"
  if [ -n "$shown" ] && sameLine "$shown" "$line"; then echo "guide link: $shown"
  else fail "the guide's link #$args shows '$shown', its figure '$line'"; fi
done <"$tmp/links.txt"

# --- the page's own checks -------------------------------------------------------------------------
copy="$tmp/guide/checks.html"
cp "$root/tests/playground/page_checks.js" "$tmp/guide/"
sed 's|</body>|<script src="page_checks.js"></script></body>|' "$page" >"$copy"
# The checks' script comes after the page's, which loads its module asynchronously.
browser "$tmp/console.log" --virtual-time-budget=30000 --dump-dom "file://$copy" | reportText >"$tmp/checks.txt"
grep '^check\|^checks done\|error=' "$tmp/checks.txt" | sed 's/^/page: /'
grep -q '^checks done' "$tmp/checks.txt" || fail "the page's checks did not finish"
grep -q '^check .* FAIL' "$tmp/checks.txt" && fail "a check of the page failed"
grep -q 'CONSOLE' "$tmp/console.log" && fail "console messages: $(grep CONSOLE "$tmp/console.log" | head -3)"
# Its controls are the key table's rows and the preset list, in their order.
keys="$(grep -o '^keys .*' "$tmp/checks.txt" | cut -d' ' -f2)"
table="$(sed -n 's/^    {"\([A-Za-z]*\)", ".*/\1/p' "$root/src/config/option_keys.cpp" | paste -sd, -)"
[ -n "$table" ] && [ "$keys" = "$table" ] || fail "the page's keys '$keys' are not the table's '$table'"
presets="$(grep -o '^presets .*' "$tmp/checks.txt" | cut -d' ' -f2)"
[ "$(echo "$presets" | tr ',' '\n' | wc -l)" -eq 20 ] && echo "$presets" | grep -q '^Sparkle,Fire,.*,AuroraBorealis,Fireworks$' \
  || fail "the page's presets: $presets"

# --- the frame time, printed ---------------------------------------------------------------------
# Real time here (no virtual time budget), after the page has loaded its module.
for module in simd plain; do
  browser "$tmp/bench.log" --dump-dom \
    "file://$page#preset=Sparkle&options=$(enc 'mode=burst:2000;life=100')&size=800x600&bench=300&module=$module" \
    | grep -o 'bench=[0-9].*' | sed 's/^/frame time: /'
done

echo
if [ "$failures" -eq 0 ]; then echo "playground: all checks passed"; else echo "playground: $failures FAILED"; fi
[ "$failures" -eq 0 ]
