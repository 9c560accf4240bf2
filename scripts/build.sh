#!/usr/bin/env bash
# Configures and builds the build trees: `scripts/build.sh [native] [win32] [asan] [fuzz]`
# (all four when none is named). Output: build/native/bin, build/win32/bin, build/asan/bin,
# build/fuzz/bin.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

trees=("$@")
[ "${#trees[@]}" -eq 0 ] && trees=(native win32 asan fuzz)

for tree in "${trees[@]}"; do
  case "$tree" in
    native) args=() ;;
    win32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
    asan) args=(-DLUMIVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    fuzz) args=(-DLUMIVEX_FUZZ=ON -DLUMIVEX_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++
                -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    *) echo "build.sh: unknown tree '$tree' (native, win32, asan, fuzz)" >&2; exit 2 ;;
  esac
  echo "== configure and build build/$tree"
  mkdir -p build
  cmake -S . -B "build/$tree" -G Ninja "${args[@]}" >"build/$tree.configure.log" 2>&1 \
    || { cat "build/$tree.configure.log"; exit 1; }
  cmake --build "build/$tree"
done
