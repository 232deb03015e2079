#!/usr/bin/env bash
# One-command demo of the native launcher.
#
#   scripts/demo.sh [--first-run] [--headless] [--dir DIR] [--build-dir DIR] [--launcher FILE]
#
# Installs what is missing (scripts/setup.sh), builds the native preset, prepares a demo
# directory (default: demo/ in the repository) with the launcher, a cartridge directory of
# test cartridges and the emulator bridge as Zelko.exe, which plays them in BlastEm, seeds the
# settings file so the list appears at once, and starts the launcher from the emulator's
# directory.
#
#   --first-run   start from an empty settings file, to see the two first-run prompts; the
#                 emulator prompt opens on the demo emulator with "Zelko.exe" filled in
#                 (headless: it is accepted with Enter, then a cartridge is opened)
#   --headless    run under a private Xvfb until the window is mapped, close it the way a
#                 window manager does and check that the launcher exits with code 0
#   --dir DIR     the demo directory (recreated)
#   --build-dir   use an existing native build in DIR; skips the set-up and the build
#   --launcher    the launcher executable to show (default: the build's ui/fltk/Quorvalis)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
first_run=0
headless=0
demo_dir="$repo/demo"
build_dir=""
launcher=""
while [ $# -gt 0 ]; do
  case "$1" in
    --first-run) first_run=1 ;;
    --headless) headless=1 ;;
    --dir) demo_dir="$2"; shift ;;
    --build-dir) build_dir="$2"; shift ;;
    --launcher) launcher="$2"; shift ;;
    -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
    *) echo "demo: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

if [ -z "$build_dir" ]; then
  "$repo/scripts/setup.sh"
  build_dir="$repo/build/native"
  cmake --preset native -S "$repo" >/dev/null
  cmake --build "$build_dir" -j2 --target Quorvalis zelko_bridge make_roms
fi
[ -n "$launcher" ] || launcher="$build_dir/ui/fltk/Quorvalis"
for f in "$launcher" "$build_dir/bridge/Zelko.exe" "$build_dir/bridge/zelko-message.so" \
         "$build_dir/tools/demo/make_roms"; do
  [ -x "$f" ] || { echo "demo: $f is missing; build first" >&2; exit 1; }
done

# The demo directory: launcher/, emulator/Zelko.exe, carts/.
mkdir -p "$demo_dir"
demo_dir="$(cd "$demo_dir" && pwd -P)"
rm -rf "$demo_dir/launcher" "$demo_dir/emulator" "$demo_dir/carts"
mkdir -p "$demo_dir/launcher" "$demo_dir/emulator" "$demo_dir/carts"
cp "$launcher" "$demo_dir/launcher/Quorvalis"
cp "$build_dir/bridge/Zelko.exe" "$build_dir/bridge/zelko-message.so" "$demo_dir/emulator/"
"$build_dir/tools/demo/make_roms" "$demo_dir/carts"

ini="$demo_dir/launcher/Quorvalis.ini"
if [ "$first_run" -eq 1 ]; then
  : > "$ini"
  echo "demo: empty settings file; open Zelko.exe (filled in), then any file in $demo_dir/carts"
else
  cat > "$ini" <<INI
[Quorvalis Paths]
EmulatorPath=$demo_dir/emulator/Zelko.exe
CartPath=$demo_dir/carts/
[MOLEQST.BIN]
Title=Mole Quest
NoSound=0
Z80=1
Version=Europe
Frames=3
[turbomole.md]
Title=Turbo Mole (saved title)
NoSound=1
Z80=0
Version=Japan
Frames=1
INI
fi

# Started from the emulator's directory: the launcher's first prompt opens where it starts.
cd "$demo_dir/emulator"
if [ "$headless" -eq 0 ]; then
  echo "demo: starting $demo_dir/launcher/Quorvalis"
  exec "$demo_dir/launcher/Quorvalis"
fi

# Headless: a private X server, wait for the window, close it, expect exit code 0.
for n in $(seq 300 399); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
export DISPLAY=":$n"
for _ in $(seq 300); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$demo_dir/launcher/Quorvalis" &
launcher_pid=$!
# The first visible window whose name matches $1, waited for up to 30 s while the launcher runs.
find_window() {
  local w=""
  for _ in $(seq 300); do
    w="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)"
    [ -n "$w" ] && { echo "$w"; return 0; }
    kill -0 "$launcher_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# Types a path into a prompt's file-name field (its text is selected when it comes up), or
# with no path takes the name filled in, and opens.
answer_prompt() {
  local w
  w="$(find_window "$1")" || { echo "demo: no prompt \"$1\"" >&2; kill "$launcher_pid" 2>/dev/null; exit 1; }
  echo "demo: answering $(xdotool getwindowname "$w") with ${2:-the name filled in}"
  xdotool windowfocus --sync "$w" 2>/dev/null || true
  [ -z "$2" ] || xdotool type --delay 10 "$2"
  xdotool key Return
}
if [ "$first_run" -eq 1 ]; then
  answer_prompt '^Find Zelko.exe$' ""
  answer_prompt '^Open a cartridge to locate your cartridge directory$' "$demo_dir/carts/MOLEQST.BIN"
  # Done once the cartridge prompt has gone.
  for _ in $(seq 300); do
    xdotool search --onlyvisible --name '^Open a cartridge' >/dev/null 2>&1 || break
    sleep 0.1
  done
fi
if ! wid="$(find_window "^Quorvalis '95\$")"; then
  echo "demo: the window did not come up" >&2
  kill "$launcher_pid" 2>/dev/null || true
  exit 1
fi
echo "demo: window $wid mapped ($(xdotool getwindowname "$wid"))"
# Let it draw its list before it is closed.
sleep 0.5
# Close it as a window manager's close box does.
python3 - "$wid" <<'PY' 2>/dev/null || xdotool windowclose "$wid"
import ctypes, ctypes.util, sys
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
dpy = x.XOpenDisplay(None)
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class XEvent(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
ev = XEvent()
win = int(sys.argv[1])
ev.xclient.type = 33  # ClientMessage
ev.xclient.window = win
ev.xclient.message_type = x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
ev.xclient.format = 32
ev.xclient.data[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(XEvent)]
x.XSendEvent(dpy, win, 0, 0, ctypes.byref(ev))
x.XSync(ctypes.c_void_p(dpy), 0)
PY
for _ in $(seq 300); do kill -0 "$launcher_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$launcher_pid" 2>/dev/null; then
  echo "demo: the launcher did not end after its window was closed" >&2
  kill "$launcher_pid" 2>/dev/null || true
  exit 1
fi
rc=0
wait "$launcher_pid" || rc=$?
if [ "$rc" -ne 0 ]; then
  echo "demo: the launcher exited with code $rc" >&2
  exit 1
fi
echo "demo: closed cleanly (exit code 0)"
if [ "$first_run" -eq 1 ]; then
  if ! grep -q "^EmulatorPath=$demo_dir/emulator/Zelko.exe" "$ini" ||
     ! grep -q "^CartPath=$demo_dir/carts/" "$ini"; then
    echo "demo: the first-run answers were not recorded" >&2
    exit 1
  fi
  echo "demo: first-run answers recorded in $ini"
fi
