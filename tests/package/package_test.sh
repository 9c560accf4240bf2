#!/usr/bin/env bash
# The release package as an author receives it: runs scripts/package.sh, unpacks the zip into an
# empty folder and checks what is there: the version in the names, every file present and not
# empty, the README naming each action the DLL registers and the guide, the licence and notices
# texts, Lumivex.dll loading under Wine from the unpacked folder (exports, actions, version
# resource: tools/dll_check), and the guide opening (index.html, and every picture and page it
# refers to inside the package). The guide's rendering in a browser is the guide's own test.
# Needs build/win32 (dll_check.exe); package.sh builds what it needs. LUMIVEX_GUIDE_DIR is passed
# on to package.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

version="$(sed -n 's/^project(Lumivex VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "FAILED: no project version in CMakeLists.txt"; exit 1; }
name="Lumivex-$version"
zip="dist/$name.zip"

rm -f "$zip"
bash scripts/package.sh > /tmp/lumivex_package_test.$$.log 2>&1 || {
  cat /tmp/lumivex_package_test.$$.log; rm -f /tmp/lumivex_package_test.$$.log
  echo "FAILED: scripts/package.sh"; exit 1; }
tail -n 1 /tmp/lumivex_package_test.$$.log
rm -f /tmp/lumivex_package_test.$$.log
[ -f "$zip" ] || { echo "FAILED: package.sh left no $zip"; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
top="$work/$name"

# Exactly one folder, named after the version, holding exactly the package's files.
check "the zip holds one folder, $name" test "$(ls -A "$work")" = "$name"
expected="LICENSE Lumivex.dll README.txt THIRD-PARTY-NOTICES.txt guide"
check "the folder holds $expected" test "$(ls -A "$top" | LC_ALL=C sort | tr '\n' ' ')" = "$expected "
for f in Lumivex.dll README.txt LICENSE THIRD-PARTY-NOTICES.txt guide/index.html; do
  check "$f present and not empty" test -s "$top/$f"
done

# Texts.
has() { grep -q -- "$2" "$top/$1"; }
check "README.txt names the version" has README.txt "Lumivex $version"
check "README.txt says where the guide is" has README.txt 'guide\\index.html'
check "README.txt says how to install" has README.txt "plug-in folder"
check "LICENSE is MIT for the Lumivex developers" \
  bash -c "grep -q '^MIT License' '$top/LICENSE' && grep -q 'Lumivex developers' '$top/LICENSE'"
check "notices: the GCC Runtime Library Exception" has THIRD-PARTY-NOTICES.txt "GCC RUNTIME LIBRARY EXCEPTION"
check "notices: libstdc++ among the runtime libraries" has THIRD-PARTY-NOTICES.txt "libstdc++-v3"
check "notices: winpthreads and its licence" \
  bash -c "grep -q 'winpthreads/\\*' '$top/THIRD-PARTY-NOTICES.txt' && grep -q 'Permission is hereby granted' '$top/THIRD-PARTY-NOTICES.txt'"
check "notices: the MinGW-w64 runtime" has THIRD-PARTY-NOTICES.txt "ZPL-2.1"
check "notices: the playground's emscripten runtime, musl and libc++" \
  bash -c "grep -q 'The Emscripten Authors' '$top/THIRD-PARTY-NOTICES.txt' && grep -q 'system/lib/libc/musl/' '$top/THIRD-PARTY-NOTICES.txt' && grep -q 'system/lib/libcxx/' '$top/THIRD-PARTY-NOTICES.txt' && grep -q 'Apache License' '$top/THIRD-PARTY-NOTICES.txt'"

# The DLL, loaded from the unpacked folder.
dll_check="build/win32/bin/dll_check.exe"
[ -f "$dll_check" ] || cmake --build build/win32 --target dll_check -- -j2 >/dev/null
windows_path="Z:$(echo "$top/Lumivex.dll" | tr '/' '\\')"
if scripts/wine-run.sh "$dll_check" "$windows_path" --version "$version" > "$work/dll_check.txt" 2>&1; then
  echo "ok: Lumivex.dll loads from the package under Wine: exports, actions, version $version"
else
  cat "$work/dll_check.txt"
  echo "FAILED: Lumivex.dll from the package (dll_check)"
  failures=$((failures + 1))
fi
# The README speaks of every action the DLL registers.
actions="$(sed -n 's/^action [0-9]* \([A-Za-z_]*\) [0-9]*\r*$/\1/p' "$work/dll_check.txt")"
check "dll_check saw four actions" test "$(echo "$actions" | grep -c .)" -eq 4
for action in $actions; do
  check "README.txt describes $action" has README.txt "^$action "
done

# The guide opens: its page and everything it refers to inside the package.
guide="$top/guide"
refs="$(grep -o -E '(src|href)="[^"#]*' "$guide/index.html" | sed -E 's/^(src|href)="//' \
        | grep -v -E '^(https?:|mailto:|data:)' | sort -u || true)"
missing=0
for ref in $refs; do
  target="$guide/${ref%%\?*}"
  if [ ! -s "$target" ]; then echo "  guide refers to '$ref', which is missing or empty"; missing=$((missing + 1)); fi
done
check "every picture and page index.html refers to is in the package ($(echo "$refs" | grep -c .) checked)" test "$missing" -eq 0
images="$(echo "$refs" | grep -c -i -E '\.(png|gif|jpe?g|svg)$' || true)"
# The playground rides with the guide: the page index.html links to, and the modules it loads.
check "index.html links to the playground" has guide/index.html 'href="playground.html'
for module in $(grep -o -E '"lumivex_playground[a-z_]*\.js"' "$guide/playground.html" | tr -d '"' | sort -u); do
  check "the playground's $module is in the package" test -s "$guide/$module"
done
check "the playground loads two modules" \
  test "$(grep -o -E '"lumivex_playground[a-z_]*\.js"' "$guide/playground.html" | sort -u | wc -l)" -eq 2
check "index.html shows pictures ($images)" test "$images" -gt 0

if [ "$failures" -eq 0 ]; then echo "package test: passed"; else echo "package test: $failures FAILED"; fi
[ "$failures" -eq 0 ]
