#!/usr/bin/env bash
# Takes docs/screenshots/native-main.png: the native launcher with a filled cartridge list and
# a selected cartridge, on a private Xvfb server.
#   scripts/screenshots-native.sh [--dpi N] [build dir, default build/native]
# With --dpi other than 96 the screen is 1600x1200 at N dpi and the picture is
# docs/screenshots/native-main-Ndpi.png.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
dpi=96
if [ "${1:-}" = "--dpi" ]; then dpi="$2"; shift 2; fi
build="${1:-$repo/build/native}"
screen=800x600 name=native-main.png
[ "$dpi" -eq 96 ] || { screen=1600x1200 name="native-main-${dpi}dpi.png"; }
# The launcher's scale: the nearest quarter step of dpi / 96, at least 1.
scale=$(awk -v d="$dpi" 'BEGIN { s = int(d / 96 * 4 + 0.5) / 4; print (s < 1 ? 1 : s) }')
work="$(mktemp -d)"
"$repo/scripts/demo.sh" --dir "$work/demo" --build-dir "$build" --headless >/dev/null
for n in $(seq 400 499); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
Xvfb ":$n" -screen 0 "${screen}x24" -nolisten tcp -noreset -dpi "$dpi" >/dev/null 2>&1 &
xvfb_pid=$!
launcher_pid=""
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=":$n"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$work/demo/launcher/Quorvalis" &
launcher_pid=$!
wid=""
for _ in $(seq 100); do
  wid="$(xdotool search --onlyvisible --name "^Quorvalis '95\$" 2>/dev/null | head -n1 || true)"
  [ -n "$wid" ] && break; sleep 0.1
done
[ -n "$wid" ] || { echo "screenshots: no window" >&2; exit 1; }
# Select the second cartridge (its saved settings load into the form).
xdotool mousemove --window "$wid" "$(awk -v s="$scale" 'BEGIN { print int(40 * s) }')" \
  "$(awk -v s="$scale" 'BEGIN { print int(28 * s) }')" click 1
sleep 0.5
read -r x y w h < <(xwininfo -id "$wid" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{print x, y, w, h}')
mkdir -p "$repo/docs/screenshots"
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$repo/docs/screenshots/$name"
echo "screenshots: wrote docs/screenshots/$name (${w}x${h})"
