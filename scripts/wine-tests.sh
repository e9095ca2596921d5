#!/usr/bin/env bash
# Runs the Windows test programs of a build folder under Wine: one private
# prefix in the build folder, one display (Xvfb) and one wineserver for the
# whole run, so each program starts in well under a second.
set -uo pipefail
BUILD=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Every program must be self-contained: no DLL that Windows lacks.
bad=0
for exe in $(find "$BUILD" -name '*.exe' -not -path '*/wineprefix/*' -not -path '*/CMakeFiles/*'); do
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $imports; do
    case "$dll" in
      zlib1.dll|libcurl*.dll|libstdc++*.dll|libgcc*.dll|libwinpthread*.dll|libarchive*.dll|liblzma*.dll|libpugixml*.dll)
        echo "$exe imports $dll"; bad=1 ;;
    esac
  done
done
[ $bad -eq 0 ] || { echo "a Windows program depends on a DLL it must not use"; exit 1; }

if [ -z "${VANTELO_UNDER_XVFB:-}" ]; then
  exec env VANTELO_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

export VANTELO_WINEPREFIX="$BUILD/wineprefix"
export WINEPREFIX="$VANTELO_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A server left from an earlier run may hold a display that is gone, and
# every program would then wait on it.
wineserver -k >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/.vantelo-ready" ]; then
  echo "creating Wine prefix"
  timeout 300 wineboot -i >/dev/null 2>&1
  # Without a window manager, closing a window stalls unless Wine manages none.
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  timeout 120 wineserver -w
  wineserver -k >/dev/null 2>&1
  touch "$WINEPREFIX/.vantelo-ready"
fi
wineserver -p
# The first program in a new prefix finishes the prefix's own set-up.
timeout 120 wine cmd /c exit >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1' EXIT
# One program at a time: Wine's start-up is the cost, not the tests. A
# program that Wine leaves hanging at exit is tried once more.
cd "$BUILD" && ctest --output-on-failure --timeout 600 --repeat after-timeout:2 ${VANTELO_CTEST_ARGS:-}
