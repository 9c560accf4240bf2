#!/usr/bin/env bash
# Builds the release package dist/Lumivex-<version>.zip, one folder Lumivex-<version>/ holding:
#   Lumivex.dll               the plug-in (build/win32)
#   guide/                    the illustrated guide (`lumivex-render guide`, build/native)
#   README.txt                install, the four actions, where the guide is (for authors)
#   LICENSE                   the project's licence (MIT)
#   THIRD-PARTY-NOTICES.txt   what the DLL links statically: the GCC runtime (libstdc++, libgcc),
#                             the MinGW-w64 runtime and winpthreads, copied from the notices the
#                             Debian packages of the cross compiler install on this machine
# The version is the project() version of CMakeLists.txt. Builds what it needs first (an
# up-to-date tree costs a few seconds). LUMIVEX_GUIDE_DIR=DIR takes an already built guide from
# DIR instead of running `lumivex-render guide`. Prints the zip's path last.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

fail() { echo "package.sh: $*" >&2; exit 1; }

version="$(sed -n 's/^project(Lumivex VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || fail "no version in the project() line of CMakeLists.txt"

name="Lumivex-$version"
zip_path="$root/dist/$name.zip"
rm -f "$zip_path"  # a failed run leaves no zip behind, not even an old one

bash scripts/setup.sh >/dev/null

# Builds one target of a tree (the whole tree when it was never configured); the build's output
# goes to build/package.log and is shown when it fails.
build_target() {
  local tree="$1" target="$2" status=0
  mkdir -p build
  echo "== building $target (build/$tree)"
  if [ -f "build/$tree/build.ninja" ]; then
    cmake --build "build/$tree" --target "$target" -- -j2 >build/package.log 2>&1 || status=$?
  else
    bash scripts/build.sh "$tree" >build/package.log 2>&1 || status=$?
  fi
  if [ "$status" -ne 0 ]; then
    tail -n 40 build/package.log >&2
    fail "building $target in build/$tree failed (build/package.log)"
  fi
}

build_target win32 Lumivex
dll="build/win32/bin/Lumivex.dll"
[ -s "$dll" ] || fail "$dll was not built"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name"
out="$stage/$name"

cp "$dll" "$out/Lumivex.dll"

# The guide.
if [ -n "${LUMIVEX_GUIDE_DIR:-}" ]; then
  [ -f "$LUMIVEX_GUIDE_DIR/index.html" ] || fail "LUMIVEX_GUIDE_DIR=$LUMIVEX_GUIDE_DIR holds no index.html"
  cp -r "$LUMIVEX_GUIDE_DIR" "$out/guide"
else
  build_target wasm all
  build_target native lumivex-render
  echo "== the guide (lumivex-render guide)"
  build/native/bin/lumivex-render guide --out "$out/guide" \
    || fail "'build/native/bin/lumivex-render guide --out DIR' failed: the guide could not be made"
  [ -f "$out/guide/index.html" ] || fail "'lumivex-render guide' wrote no index.html"
fi
[ -f "$out/guide/playground.html" ] || fail "the guide has no playground.html"

# Texts for Windows readers: CRLF line ends.
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1"; }

sed "s/@VERSION@/$version/g" tools/package/README.txt.in | crlf /dev/stdin > "$out/README.txt"
crlf LICENSE > "$out/LICENSE"

# From a Debian machine-readable copyright file: the paragraphs whose Files name the pattern
# (but not the exclusion), then the stand-alone License paragraphs they refer to by name.
dep5_notice() {
  local file="$1" pattern="$2" exclude="$3"
  awk -v pattern="$pattern" -v exclude="$exclude" '
    BEGIN { RS = ""; FS = "\n" }
    {
      if ($1 ~ /^Files:/) {
        files = $1
        for (i = 2; i <= NF && $i ~ /^[ \t]/; i++) files = files " " $i
        if (files ~ pattern && (exclude == "" || files !~ exclude)) {
          print $0 "\n"
          for (i = 1; i <= NF; i++)
            if ($i ~ /^License:/ && i == NF) { sub(/^License: */, "", $i); wanted[$i] = 1 }
        }
      } else if ($1 ~ /^License:/) {
        standalone[NR] = $0
      }
    }
    END {
      for (n = 1; n <= NR; n++) {
        if (!(n in standalone)) continue
        split(standalone[n], lines, "\n")
        license = lines[1]
        sub(/^License: */, "", license)
        if (license in wanted) print standalone[n] "\n"
      }
    }' "$file"
}

gcc_copyright=/usr/share/doc/gcc-mingw-w64-base/copyright
mingw_copyright=/usr/share/doc/mingw-w64-i686-dev/copyright
[ -f "$gcc_copyright" ] || fail "$gcc_copyright is missing (package gcc-mingw-w64-base)"
[ -f "$mingw_copyright" ] || fail "$mingw_copyright is missing (package mingw-w64-i686-dev)"

gcc_runtime="$(sed -n '/^GCC is Copyright (C)/,/^Free Software Foundation, Inc\./p' "$gcc_copyright")

$(sed -n '/^The following runtime libraries are licensed/,/^ - libvtv/p' "$gcc_copyright")

$(sed -n '/^GCC RUNTIME LIBRARY EXCEPTION/,/^requirements of the license of GCC\./p' "$gcc_copyright")"
mingw_runtime="$(dep5_notice "$mingw_copyright" 'Files: \*$' '')"
winpthreads="$(dep5_notice "$mingw_copyright" 'winpthreads/' 'tests_pthread')"
grep -q "Runtime Library Exception" <<<"$gcc_runtime" || fail "no GCC Runtime Library Exception text in $gcc_copyright"
grep -q "2. No Weakening of GCC Copyleft" <<<"$gcc_runtime" || fail "the GCC Runtime Library Exception text in $gcc_copyright is incomplete"
grep -q "winpthreads" <<<"$winpthreads" || fail "no winpthreads notice in $mingw_copyright"
grep -q "Permission is hereby granted" <<<"$winpthreads" || fail "no licence text for winpthreads in $mingw_copyright"
grep -q "ZPL-2.1" <<<"$mingw_runtime" || fail "no MinGW-w64 runtime notice in $mingw_copyright"
# The playground's modules (guide/lumivex_playground*.js) carry emscripten's runtime and its
# builds of musl, libc++, libc++abi and compiler-rt.
emscripten_copyright=/usr/share/doc/emscripten/copyright
[ -f "$emscripten_copyright" ] || fail "$emscripten_copyright is missing (package emscripten)"
emscripten_runtime="$(dep5_notice "$emscripten_copyright" \
  '^Files: +(\*|system/lib/libc/musl/\*|system/lib/libcxx/\*|system/lib/libcxxabi/\*|system/lib/compiler-rt/\*)$' '')"
# Their licence texts, the stand-alone paragraphs of those names (the Files paragraphs name them
# with additions, "Expat or NCSA~Mozilla", "Apache-2.0 with LLVM exception").
emscripten_runtime="$emscripten_runtime

$(awk 'BEGIN { RS = ""; FS = "\n" }
  $1 ~ /^License: (Expat|NCSA~Mozilla|NCSA~LLVM|Apache-2\.0)$/ { print $0 "\n" }' "$emscripten_copyright")"
for part in 'libc/musl' 'libcxx/' 'libcxxabi/' 'compiler-rt/' 'The Emscripten Authors' \
            'Permission is hereby granted' 'Apache License'; do
  grep -q "$part" <<<"$emscripten_runtime" || fail "no notice for $part in $emscripten_copyright"
done

{
  cat <<EOF
Third-party notices for Lumivex.dll $version
=========================================

Lumivex.dll is built with the MinGW-w64 GCC cross compiler and carries parts of these
libraries inside it (it is linked statically, so that it needs nothing but Windows):

1. The GCC runtime libraries libstdc++ and libgcc: GNU General Public License version 3 with
   the GCC Runtime Library Exception, version 3.1, which permits distributing them combined
   with Lumivex under Lumivex's own licence.
2. The MinGW-w64 runtime (start-up code and C runtime support).
3. winpthreads, the MinGW-w64 POSIX threads library.

The guide's playground (guide/playground.html and the modules beside it,
lumivex_playground_simd.js and lumivex_playground.js) is Lumivex's engine built to WebAssembly
with emscripten, and carries parts of:

4. Emscripten's runtime and its builds of musl (C library), libc++, libc++abi and compiler-rt.

The texts below are the notices of these libraries as Debian's packages of the cross compiler
(gcc-mingw-w64-base, mingw-w64-i686-dev) and of emscripten ship them.


1. GCC runtime libraries (libstdc++, libgcc)
--------------------------------------------

EOF
  echo "$gcc_runtime"
  cat <<EOF


2. MinGW-w64 runtime
--------------------

EOF
  echo "$mingw_runtime"
  cat <<EOF


3. winpthreads
--------------

EOF
  echo "$winpthreads"
  cat <<EOF


4. Emscripten runtime, musl, libc++, libc++abi, compiler-rt (the guide's playground)
-----------------------------------------------------------------------------------

EOF
  echo "$emscripten_runtime"
} | crlf /dev/stdin > "$out/THIRD-PARTY-NOTICES.txt"

mkdir -p dist
(cd "$stage" && zip -q -r -X "$zip_path" "$name") || fail "zip failed"
echo "package: $zip_path"
