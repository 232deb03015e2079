#!/usr/bin/env bash
# The native settings-file store must answer every conformance case as the Windows build does.
# Expects the native preset and each Windows build of QV_WIN_BUILDS (default win64) built.
set -euo pipefail
cd "$(dirname "$0")/../.."
status=0
for build in ${QV_WIN_BUILDS:-win64}; do
  scripts/profile-conformance --build "$build" tests/conformance || status=1
done
exit $status
