#!/usr/bin/env bash
# Configures and builds the given presets (default: every preset).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32 win64 native-asan)
for p in "${presets[@]}"; do
  echo "=== build $p"
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p"
done
