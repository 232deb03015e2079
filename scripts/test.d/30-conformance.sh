#!/usr/bin/env bash
# The native settings-file store must answer every conformance case as the Windows build does.
# Expects the native and win64 presets built in build/native and build/win64.
set -euo pipefail
cd "$(dirname "$0")/../.."
exec scripts/profile-conformance tests/conformance
