#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine: `scripts/wine-run.sh PROGRAM.exe [ARGS...]`.
# Used as the Windows build tree's crossing emulator, so ctest runs the .exe tests through it.
#
# Where the kernel runs 32-bit x86 programs, this is plain `wine`. Some virtual machines cannot
# (exec of any i386 ELF fails with "Exec format error"); there Wine's own 32-bit loader runs under
# qemu-i386 user emulation, talking to the 64-bit wineserver, in a prefix whose syswow64 holds
# Wine's 32-bit DLLs. That is slow to start (about a minute) but runs the same i686 code.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${LUMIVEX_WINEPREFIX:-$root/build/wineprefix}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

native_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

# Creates the prefix once; concurrent callers wait on the lock.
prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.lumivex-ready-2" ]; then
    if native_i386; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w || true
    else
      # wine64 lays out the prefix; its 32-bit half cannot run here, so copy Wine's i386 DLLs
      # into syswow64 where the 32-bit loader looks for them.
      /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver64 -w || true
      mkdir -p "$WINEPREFIX/drive_c/windows/syswow64"
      cp -n /usr/lib/i386-linux-gnu/wine/i386-windows/* "$WINEPREFIX/drive_c/windows/syswow64/"
      # No 32-bit COM class got registered either; GDI+ decodes and encodes pictures through the
      # Windows Imaging Component, so register it (about 45 s, once per prefix).
      WINELOADERNOEXEC=1 WINESERVER=/usr/lib/wine/wineserver64 \
        qemu-i386 /usr/lib/wine/wine 'C:\windows\syswow64\regsvr32.exe' /s \
        'C:\windows\syswow64\windowscodecs.dll' >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver64 -w || true
    fi
    touch "$WINEPREFIX/.lumivex-ready-2"
  fi
  flock -u 9
}

if [ "$#" -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
prepare_prefix
if native_i386; then
  exec wine "$@"
else
  export WINELOADERNOEXEC=1
  export WINESERVER=/usr/lib/wine/wineserver64
  exec qemu-i386 /usr/lib/wine/wine "$@"
fi
