#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine: `scripts/wine-run.sh PROGRAM.exe [ARGS...]`.
# Used as the Windows build tree's crossing emulator, so ctest runs the .exe tests through it.
#
# Where the kernel runs 32-bit x86 programs, this is plain `wine`. Some virtual machines cannot
# (exec of any i386 ELF fails with "Exec format error"); there Wine's own 32-bit loader runs under
# qemu-i386 user emulation, talking to the 64-bit wineserver, in a prefix whose syswow64 holds
# Wine's 32-bit DLLs. That is slow to start (about a minute) but runs the same i686 code.
# LUMIVEX_WINE_QEMU=1 takes the emulated path on a machine that could run Wine natively, so that
# both paths can be checked from one machine; each path keeps a prefix of its own.
#
# In either prefix a program that crashes ends with a failure at once: the post-mortem debugger
# (AeDebug) is set to nothing, so no winedbg is started to wait on (under emulation it hangs).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

native_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
use_qemu() { [ "${LUMIVEX_WINE_QEMU:-0}" = 1 ] || ! native_i386; }

if use_qemu; then
  export WINEPREFIX="${LUMIVEX_WINEPREFIX:-$root/build/wineprefix-qemu}"
  export WINELOADERNOEXEC=1
  export WINESERVER=/usr/lib/wine/wineserver64
  # qemu 7.2 mis-decodes the VSIB form of vgatherdps with a ymm index register (an "illegal
  # instruction" in the rasterizer's and the engine's eight-lane gathers, code that runs correctly
  # on real processors). The emulated processor leaves AVX2 out, so our code takes the four-lane
  # SSE2 path its run-time check chooses on any processor without AVX2. The eight-lane code stays
  # tested natively on x86-64 and under native Wine.
  export QEMU_CPU="${QEMU_CPU:-max,-avx2}"
  # Tests that cannot work under the emulation (see hostile_test.cpp) skip on this.
  export LUMIVEX_WINE_EMULATED=1
  wine_cmd=(qemu-i386 /usr/lib/wine/wine)
  wine64_cmd=(/usr/lib/wine/wine64)
  wineserver_cmd=(/usr/lib/wine/wineserver64)
else
  export WINEPREFIX="${LUMIVEX_WINEPREFIX:-$root/build/wineprefix}"
  wine_cmd=(wine)
  wine64_cmd=(wine)
  wineserver_cmd=(wineserver)
fi

# Wine's own WoW64 prefix holds, for each side-by-side assembly, an x86_ copy of the amd64_
# one: the folder with the 32-bit DLLs and a manifest naming processorArchitecture "x86". Under
# emulation the 32-bit half of wineboot cannot run, so lay them out the same way from Wine's i386
# DLLs; without them the common controls 6 our editors' manifest asks for cannot be activated.
mirror_side_by_side() {
  local sxs="$WINEPREFIX/drive_c/windows/winsxs" i386=/usr/lib/i386-linux-gnu/wine/i386-windows
  local dir name f
  for dir in "$sxs"/amd64_*; do
    [ -d "$dir" ] || continue
    name="x86_${dir##*/amd64_}"
    mkdir -p "$sxs/$name"
    for f in "$dir"/*; do
      [ -f "$i386/${f##*/}" ] && cp -n "$i386/${f##*/}" "$sxs/$name/"
    done
    if [ -f "$sxs/manifests/amd64_${name#x86_}.manifest" ]; then
      sed 's/processorArchitecture="amd64"/processorArchitecture="x86"/' \
        "$sxs/manifests/amd64_${name#x86_}.manifest" > "$sxs/manifests/$name.manifest"
    fi
  done
}

# A crash must end the process rather than start a debugger that waits: an empty Debugger
# cannot be started, so Wine terminates the crashed program with its exception code. Both
# registry views, for 64-bit and 32-bit programs.
no_postmortem_debugger() {
  local view
  for view in 64 32; do
    "${wine64_cmd[@]}" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d '' /f /reg:$view >/dev/null 2>&1
  done
  "${wineserver_cmd[@]}" -w || true
}

# Creates the prefix once; concurrent callers wait on the lock.
prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.lumivex-ready-3" ]; then
    if ! use_qemu; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w || true
    else
      # wine64 lays out the prefix; its 32-bit half cannot run here, so copy Wine's i386 DLLs
      # into syswow64 where the 32-bit loader looks for them.
      /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver64 -w || true
      mkdir -p "$WINEPREFIX/drive_c/windows/syswow64"
      cp -n /usr/lib/i386-linux-gnu/wine/i386-windows/* "$WINEPREFIX/drive_c/windows/syswow64/"
      mirror_side_by_side
      # No 32-bit COM class got registered either; GDI+ decodes and encodes pictures through the
      # Windows Imaging Component, so register it (about 45 s, once per prefix).
      "${wine_cmd[@]}" 'C:\windows\syswow64\regsvr32.exe' /s \
        'C:\windows\syswow64\windowscodecs.dll' >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver64 -w || true
    fi
    no_postmortem_debugger
    touch "$WINEPREFIX/.lumivex-ready-3"
  fi
  flock -u 9
}

if [ "$#" -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
prepare_prefix
exec "${wine_cmd[@]}" "$@"
