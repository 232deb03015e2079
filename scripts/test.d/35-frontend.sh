#!/usr/bin/env bash
# The front-end table: the same user actions on the native window and on the Win32 dialog under
# Wine, each on an X server of its own; any difference not marked deliberate fails.
# Expects the native preset and each Windows build of QV_WIN_BUILDS (default win64) built;
# the table runs once for each Windows build, against the native build each time.
set -euo pipefail
cd "$(dirname "$0")/../.."
status=0
for build in ${QV_WIN_BUILDS:-win64}; do
  scripts/frontend-conformance --build native --build "$build" tests/frontend/frontend.table ||
    status=1
done
exit $status
