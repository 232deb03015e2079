#!/usr/bin/env bash
# Sets up the machine, builds every target and runs the whole test suite:
# the native tests, the Windows tests under Wine, the sanitizer run, and the stage scripts
# in scripts/test.d (settings-file conformance against Wine, short fuzzing runs).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh --tests || exit 1
bash scripts/build.sh native win32 win64 native-asan || { echo "build failed"; exit 1; }

# One X server for everything that opens a window (Wine, FLTK).
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$n
    break
  done
  trap 'kill $xvfb_pid 2>/dev/null' EXIT
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

# A Wine prefix of the test run's own, made once up front (its first start is slow).
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true

passed=0
failed=0
count_ctest() { # reads a ctest log and adds its totals
  local line t f
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  t=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  f=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + t - f)); failed=$((failed + f))
}

# The i686 build's tests run under Debian's 32-bit Wine where this kernel runs 32-bit programs
# (scripts/setup.sh installs wine32 there); elsewhere they are skipped, and the summary says why.
win_builds="win64"
if ! i686_skipped=$(bash scripts/i386-check); then
  i686_skipped="i686 runs skipped: $i686_skipped"
elif [ ! -x /usr/lib/wine/wine ]; then
  i686_skipped="i686 runs skipped: Debian's wine32 (/usr/lib/wine/wine) is not installed"
else
  i686_skipped=""
  win_builds="win64 win32"
fi
export QV_WIN_BUILDS="$win_builds"

presets=(native win64)
[ -z "$i686_skipped" ] && presets+=(win32)
presets+=(native-asan)
for preset in "${presets[@]}"; do
  echo "=== ctest $preset"
  log=build/ctest-$preset.log
  ctest --preset "$preset" 2>&1 | tee "$log"
  count_ctest "$log"
done

for stage in scripts/test.d/*.sh; do
  [ -e "$stage" ] || continue
  echo "=== $stage"
  if bash "$stage"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $stage"; fi
done

echo
echo "builds run: native and native-asan (Linux), win64 (x86_64 under Wine)$(
  [ -z "$i686_skipped" ] && echo ", win32 (i686 under Wine)")"
[ -z "$i686_skipped" ] || echo "$i686_skipped"
echo "all suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
