#!/usr/bin/env bash
# The packages. The .deb passes Debian's checkers: lintian with no error or warning, and
# appstreamcli and desktop-file-validate on the AppStream metadata and the menu entry it holds.
# Each Windows build's .zip holds the files of zip_files at its root (the .exe files PE files,
# the .txt files with CRLF line ends) and nothing that needs a runtime DLL beside it: the
# launcher and the emulator bridge Zelko.exe, whose readme says to unzip BlastEm beside them.
# Both launchers carry the manifest and the version resource Windows reads from them.
set -euo pipefail
cd "$(dirname "$0")/../.."
status=0

# ---- the .deb
out=build/packages/native
rm -rf "$out" && mkdir -p "$out"
(cd build/native && cpack -G DEB -B "../../$out" >/dev/null)
deb=$(ls "$out"/*.deb)
# lintian says "running with root privileges is not recommended" when run as root.
if ! lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2); then
  echo "packages: lintian: $deb has errors or warnings" >&2; status=1
fi
dpkg-deb -x "$deb" "$out/root"
for metainfo in "$out"/root/usr/share/metainfo/*.xml; do
  appstreamcli validate --no-net "$metainfo" >"$out/appstream.log" 2>&1 ||
    { cat "$out/appstream.log" >&2; echo "packages: appstreamcli: $metainfo" >&2; status=1; }
done
for desktop in "$out"/root/usr/share/applications/*.desktop; do
  # Its hints and warnings count too.
  report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ] ||
    { echo "$report" >&2; echo "packages: desktop-file-validate: $desktop" >&2; status=1; }
done
echo "packages: $(basename "$deb"): lintian, appstreamcli, desktop-file-validate clean"

# ---- the Windows zips
zip_files=(Quorvalis.exe Zelko.exe LICENSE.txt README.txt)
check_zip() { # check_zip ZIP NAME...: the zip holds exactly these names, each as its kind asks
  python3 - "$@" <<'EOF'
import sys, zipfile
path, want = sys.argv[1], sys.argv[2:]
zf = zipfile.ZipFile(path)
names = zf.namelist()
faults = [] if sorted(names) == sorted(want) else ["holds %s, not %s" % (names, want)]
for name in set(names) & set(want):
    data = zf.read(name)
    if name.lower().endswith(".exe") and data[:2] != b"MZ":
        faults.append(name + ": not a PE file")
    if name.lower().endswith(".txt") and (
            not data.endswith(b"\r\n") or data.count(b"\n") != data.count(b"\r\n")):
        faults.append(name + ": not CRLF line ends throughout")
for fault in faults:
    print("packages: %s: %s" % (path, fault), file=sys.stderr)
sys.exit(1 if faults else 0)
EOF
}
for preset in win32 win64; do
  out=build/packages/$preset
  rm -rf "$out" && mkdir -p "$out"
  (cd "build/$preset" && cpack -G ZIP -B "../../$out" >/dev/null)
  zip=$(ls "$out"/*.zip)
  if check_zip "$zip" "${zip_files[@]}"; then
    echo "packages: $(basename "$zip"): ${zip_files[*]}"
  else
    status=1
  fi
  if ! unzip -p "$zip" README.txt | grep -q "unzip it beside Quorvalis.exe and Zelko.exe"; then
    echo "packages: $(basename "$zip"): README.txt does not say where BlastEm goes" >&2; status=1
  fi
done
# Both packed launchers carry the manifest and the version resource Windows reads from them.
for preset in win32 win64; do
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract("Quorvalis.exe", sys.argv[2])' \
    build/packages/$preset/*.zip build/packages/$preset 2>/dev/null || continue
  if python3 scripts/test.d/exe_resources.py res/about.h build/packages/$preset/Quorvalis.exe; then
    echo "packages: $preset Quorvalis.exe: manifest and version resource"
  else
    status=1
  fi
done
# The executables import only system DLLs (no mingw runtime beside them); the bridge only the
# kernel, the window manager and the C library.
imports() { x86_64-w64-mingw32-objdump -p "$1" 2>/dev/null | sed -n 's/.*DLL Name: //p'; }
for exe in build/win32/ui/win32/Quorvalis.exe build/win64/ui/win32/Quorvalis.exe; do
  bad=$(imports "$exe" |
        grep -viE '^(kernel32|user32|gdi32|comctl32|comdlg32|msvcrt|advapi32|shell32)\.dll$' || true)
  if [ -n "$bad" ]; then echo "packages: $exe imports $bad" >&2; status=1; fi
done
for exe in build/win32/bridge/Zelko.exe build/win64/bridge/Zelko.exe; do
  bad=$(imports "$exe" | grep -viE '^(kernel32|user32|msvcrt)\.dll$' || true)
  if [ -n "$bad" ] || [ -z "$(imports "$exe")" ]; then
    echo "packages: $exe imports ${bad:-nothing}" >&2; status=1
  fi
done
exit $status
