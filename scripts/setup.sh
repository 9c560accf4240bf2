#!/usr/bin/env bash
# Installs everything the project builds, tests and demos with, from Debian's packages only.
# Idempotent: packages already present are skipped, so running it twice is cheap and safe.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# Native toolchain and test libraries, the i686 cross compiler, Wine (32-bit) and the X server
# the Win32 tests and screenshots run under, and the libraries the native tools use. wine64 and
# qemu-user let the i686 tests run on machines whose kernel cannot execute i386 programs
# (see scripts/wine-run.sh). xcompmgr composites the overlays' per-pixel alpha in the demo's X
# server: without a compositing manager X shows their premultiplied colours over black.
# zip and unzip make and check the release package (scripts/package.sh). chromium (headless) and
# python3 check the author's guide and take its screenshots. locales-all provides de_DE.UTF-8,
# the comma-decimal locale the core tests switch to when they check that number reading ignores
# the process locale. emscripten builds the guide's playground (the portable core in
# WebAssembly, scripts/build.sh wasm); its compiler driver needs node-acorn beside it.
# fonts-dejavu-core: the font the demo writes its mask picture's word in.
native_pkgs=(g++ cmake ninja-build make git pkg-config clang libclang-rt-dev
             googletest libgtest-dev libbenchmark-dev
             g++-mingw-w64-i686 wine xvfb xauth imagemagick xcompmgr
             libstb-dev libgif-dev locales-all
             wine64 qemu-user zip unzip chromium python3
             emscripten node-acorn fonts-dejavu-core)
i386_pkgs=(wine32:i386)

missing=()
for p in "${native_pkgs[@]}" "${i386_pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "setup: done"
