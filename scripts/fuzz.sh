#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# in build/fuzz and runs each for the given number of seconds (default 60), starting from the
# seed corpus in fuzz/corpus/<target>/. Exits non-zero when a target finds a crash, a leak or a
# failed property; the reproducer is left in build/fuzz/findings/<target>/.
# One process per target, one target at a time (no -jobs), so it takes a single core.
# Usage: scripts/fuzz.sh [seconds] [target...]    targets: profile title command
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd) # absolute paths: the title target changes the current directory
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(profile title command)
build=$root/build/fuzz
cxx=${QV_FUZZ_CXX:-clang++}
cc=${QV_FUZZ_CC:-clang}

if ! command -v "$cxx" >/dev/null; then
  echo "fuzz: $cxx not found (scripts/setup.sh installs clang and libclang-rt-dev)" >&2
  exit 2
fi

cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DQV_SANITIZE=ON -DQV_FUZZ=ON \
  -DQV_BUILD_TESTS=OFF >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 2; }
cmake --build "$build" -j2 --target $(printf 'fuzz_%s ' "${targets[@]}")

status=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"     # what the run adds to the seeds stays out of the repository
  findings="$build/findings/$t"
  mkdir -p "$work" "$findings"
  log="$build/fuzz_$t.log"
  echo "=== fuzz_$t for ${seconds}s"
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
       -timeout=20 -print_final_stats=1 -artifact_prefix="$findings/" \
       "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | tail -2 || true
  else
    status=1
    echo "fuzz_$t FAILED; log $log, findings in $findings:" >&2
    tail -40 "$log" >&2
  fi
done
exit $status
