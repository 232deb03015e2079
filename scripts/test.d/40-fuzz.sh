#!/usr/bin/env bash
# Each fuzz target for a short bounded time: the settings store, ROM titles, the command line.
set -euo pipefail
cd "$(dirname "$0")/../.."
exec scripts/fuzz.sh "${QV_FUZZ_SECONDS:-45}"
