#!/usr/bin/env bash
# The whole test run: installs what is missing, builds every tree (the WebAssembly one first: the
# guide and its tests take the playground's modules from it), and runs every test:
# the native tests (the guide's playground in headless Chromium among them), the same core tests
# built for i686 under Wine (in Xvfb), the native core tests again under ASan+UBSan, a replay of
# the fuzz corpus, and the release package built, unpacked and checked. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh wasm native win32 asan fuzz

status=0
run() {
  local title="$1"; shift
  echo
  echo "== $title"
  if "$@"; then echo "== $title: passed"; else echo "== $title: FAILED"; status=1; fi
}

run "native tests" ctest --test-dir build/native --output-on-failure -V
# The first Wine start in a new prefix is slow; scripts/wine-run.sh makes the prefix once.
run "i686 tests under Wine" xvfb-run -a ctest --test-dir build/win32 --output-on-failure -V --timeout 1200
run "native tests under ASan+UBSan" ctest --test-dir build/asan --output-on-failure -V
run "fuzz corpus replay" ctest --test-dir build/fuzz --output-on-failure
run "release package" bash tests/package/package_test.sh

echo
if [ "$status" -eq 0 ]; then echo "all test runs passed"; else echo "some test runs FAILED"; fi
exit "$status"
