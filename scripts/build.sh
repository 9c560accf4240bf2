#!/usr/bin/env bash
# Configures and builds the build trees: `scripts/build.sh [native] [win32] [asan] [fuzz] [wasm]`
# (all five when none is named). Output: build/native/bin, build/win32/bin, build/asan/bin,
# build/fuzz/bin, and build/wasm/bin (the guide's playground modules, built with emscripten).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

trees=("$@")
[ "${#trees[@]}" -eq 0 ] && trees=(native win32 asan fuzz wasm)

for tree in "${trees[@]}"; do
  case "$tree" in
    native) args=() ;;
    win32) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
    asan) args=(-DLUMIVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    fuzz) args=(-DLUMIVEX_FUZZ=ON -DLUMIVEX_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++
                -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    # emscripten's toolchain file; its cache of system libraries must be writable, so where
    # Debian's is not (not root) a copy under build/ is used.
    # Its optimizer runs under node with Debian's acorn (node-acorn), which a node from
    # elsewhere does not look for unless told.
    wasm) args=(-DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
          export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
          if [ ! -w /usr/share/emscripten/cache ]; then
            export EM_CACHE="$root/build/em-cache"
            [ -d "$EM_CACHE" ] || cp -r /usr/share/emscripten/cache "$EM_CACHE"
          fi ;;
    *) echo "build.sh: unknown tree '$tree' (native, win32, asan, fuzz, wasm)" >&2; exit 2 ;;
  esac
  echo "== configure and build build/$tree"
  mkdir -p build
  cmake -S . -B "build/$tree" -G Ninja "${args[@]}" >"build/$tree.configure.log" 2>&1 \
    || { cat "build/$tree.configure.log"; exit 1; }
  cmake --build "build/$tree"
done
