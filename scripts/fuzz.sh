#!/usr/bin/env bash
# Fuzzes each libFuzzer target for SECONDS (default 60): `scripts/fuzz.sh [SECONDS]`.
# New inputs go to build/fuzz/corpus/<target>; copy the interesting ones into fuzz/corpus/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
seconds="${1:-60}"
case "$seconds" in ''|*[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac

bash scripts/build.sh fuzz
for target in options color numbers; do
  work="build/fuzz/corpus/$target"
  mkdir -p "$work" "build/fuzz/crashes/$target"
  echo "== fuzz_$target for ${seconds}s"
  "build/fuzz/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/crashes/$target/" "$work" "fuzz/corpus/$target"
done
