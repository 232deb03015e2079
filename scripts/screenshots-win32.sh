#!/usr/bin/env bash
# Takes the Win32 launcher's screenshots under Wine and a private X server:
#   docs/screenshots/win32-main.png   the main window with a filled list and a selected cartridge
#   docs/screenshots/win32-about.png  the About box
# Usage: scripts/screenshots-win32.sh [--dpi N] [win64-build-dir]   (default: build/win64, built
# if needed). With --dpi other than 96, Wine's resolution is N (LogPixels, in a prefix of that
# resolution's own) and the picture is docs/screenshots/win32-main-Ndpi.png (the main window).
# Needs Xvfb, ImageMagick (import) and wine64. tools/win32_pose.cpp (qv_pose) arranges the
# windows and waits for each picture before it goes on.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dpi=96
if [ "${1:-}" = "--dpi" ]; then dpi="$2"; shift 2; fi
build=$(realpath -m "${1:-$root/build/win64}")
# The screen, and Wine's desktop window as large as it.
desktop=800x600
[ "$dpi" -eq 96 ] || desktop=1200x900
out=$root/docs/screenshots

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset win64 -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target Quorvalis zelko_stub qv_pose >/dev/null

work=$(mktemp -d)
xvfb_pid=
driver_pid=
cleanup() {
  [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, in true colour.
for n in $(seq 140 180); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
  Xvfb :$n -screen 0 ${desktop}x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  break
done
[ -n "$xvfb_pid" ] || { echo "no free X display" >&2; exit 1; }
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# A prefix of the screenshots' own. Wine draws the caption buttons with the Marlett font,
# which a fresh prefix does not list; Wine ships it, so it is put into the prefix's fonts.
export WINEPREFIX=${QV_SHOTS_PREFIX:-$root/build/wineprefix-screenshots}
[ "$dpi" -eq 96 ] || WINEPREFIX=$WINEPREFIX-${dpi}dpi
export WINEDEBUG=-all
"$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 || true
if [ "$dpi" -ne 96 ]; then
  # Read when each program starts, Wine's desktop process included: set while none runs.
  "$root/scripts/wine-run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$dpi" /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
fi
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
# Inside a Wine desktop window as large as the screen, Wine draws the captions and frames
# itself and window coordinates are screen coordinates.
driver=$(sed 's|/|\\|g' <<<"Z:$build/tools/qv_pose.exe")
"$root/scripts/wine-run" explorer /desktop=quorvalis,$desktop "$driver" \
  "$work" "$build/ui/win32/Quorvalis.exe" "$build/tools/Zelko.exe" >"$work/driver.log" 2>&1 &
driver_pid=$!

# Waits for the driver's ready file, then grabs that screen rectangle.
shoot() { # name output
  local ready=$work/ready-$1 x y w h
  for _ in $(seq 1200); do
    [ -s "$ready" ] && break
    kill -0 "$driver_pid" 2>/dev/null || { cat "$work/driver.log" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$ready" ] || { echo "timed out waiting for $1" >&2; exit 1; }
  sleep 0.5 # let the last paint reach the X server
  read -r x y w h < <(tr -d '\r' <"$ready")
  import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$2"
  touch "$work/shot-$1"
  echo "wrote $2"
}

mkdir -p "$out"
if [ "$dpi" -eq 96 ]; then
  shoot main "$out/win32-main.png"
  shoot about "$out/win32-about.png"
else
  shoot main "$out/win32-main-${dpi}dpi.png"
  shoot about "$work/about.png" >/dev/null
fi
# The driver closes the launcher and writes "done"; the desktop then goes with the trap.
for _ in $(seq 300); do [ -e "$work/done" ] && break; sleep 0.1; done
[ -e "$work/done" ] || { echo "driver did not finish" >&2; exit 1; }
