#!/usr/bin/env bash
# Screenshots of the three action editors: `scripts/editor-shots.sh OUTDIR` writes play.png,
# play_2.png (the Play editor about a second later, its preview moved on), stop.png and
# advanced.png into OUTDIR. Runs build/win32/bin/editor_shots.exe (build it first:
# `bash scripts/build.sh win32`) under Wine on a private Xvfb screen at 96 dpi; the program
# opens each editor over a stand-in host page and writes a ready-NAME marker, this script takes
# the picture with `import -window root` and answers with done-NAME.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [ "$#" -ne 1 ]; then
  echo "usage: $0 OUTDIR" >&2
  exit 2
fi
mkdir -p "$1"
out="$(cd "$1" && pwd)"
exe="$root/build/win32/bin/editor_shots.exe"
if [ ! -f "$exe" ]; then
  echo "editor-shots: $exe is missing; run 'bash scripts/build.sh win32' first" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Runs inside the Xvfb session: the program in the background, a picture per marker.
cat >"$work/session.sh" <<'INNER'
set -euo pipefail
root="$1"; exe="$2"; out="$3"; work="$4"
# Wine sees the Unix file system as drive Z:.
windir="Z:${work//\//\\}"
# A compositing manager blends the page effects' per-pixel alpha as a desktop does.
xcompmgr -n &
compositor=$!
trap 'kill $compositor 2>/dev/null || true' EXIT
"$root/scripts/wine-run.sh" "$exe" "$windir" >"$work/program.log" 2>&1 &
program=$!
for name in play play_2 stop advanced; do
  waited=0
  until [ -f "$work/ready-$name" ]; do
    if ! kill -0 "$program" 2>/dev/null; then
      echo "editor-shots: editor_shots.exe ended before '$name'" >&2
      cat "$work/program.log" >&2
      exit 1
    fi
    sleep 1
    waited=$((waited + 1))
    if [ "$waited" -ge 600 ]; then
      echo "editor-shots: no '$name' dialog after 600 s" >&2
      kill "$program" 2>/dev/null || true
      exit 1
    fi
  done
  import -window root "$out/$name.png"
  touch "$work/done-$name"
  echo "editor-shots: $out/$name.png"
done
wait "$program"
INNER

xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" bash "$work/session.sh" "$root" "$exe" "$out" "$work"
