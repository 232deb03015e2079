#!/usr/bin/env bash
# The Windows packages: each build's .zip holds Quorvalis.exe at its root and nothing that
# needs a runtime DLL beside it, and the launcher's manifest and version resource.
set -euo pipefail
cd "$(dirname "$0")/../.."
status=0
for preset in win32 win64; do
  out=build/packages/$preset
  rm -rf "$out" && mkdir -p "$out"
  (cd "build/$preset" && cpack -G ZIP -B "../../$out" >/dev/null)
  zip=$(ls "$out"/*.zip)
  listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
  if [ "$listing" != "Quorvalis.exe" ]; then
    echo "packages: $zip holds: $listing" >&2; status=1; continue
  fi
  dlls=$(python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read("Quorvalis.exe")[:2].decode("latin1"))' "$zip")
  [ "$dlls" = "MZ" ] || { echo "packages: $zip: not a PE file" >&2; status=1; }
  echo "packages: $(basename "$zip"): Quorvalis.exe"
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
# The executables import only system DLLs (no mingw runtime beside them).
for exe in build/win32/ui/win32/Quorvalis.exe build/win64/ui/win32/Quorvalis.exe; do
  bad=$(x86_64-w64-mingw32-objdump -p "$exe" 2>/dev/null | sed -n 's/.*DLL Name: //p' |
        grep -viE '^(kernel32|user32|gdi32|comctl32|comdlg32|msvcrt|advapi32|shell32)\.dll$' || true)
  if [ -n "$bad" ]; then echo "packages: $exe imports $bad" >&2; status=1; fi
done
exit $status
