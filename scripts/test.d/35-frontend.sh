#!/usr/bin/env bash
# The front-end table: the same user actions on the native window and on the Win32 dialog under
# Wine, each on an X server of its own; any difference not marked deliberate fails.
# Expects the native and win64 presets built in build/native and build/win64.
set -euo pipefail
cd "$(dirname "$0")/../.."
exec scripts/frontend-conformance tests/frontend/frontend.table
