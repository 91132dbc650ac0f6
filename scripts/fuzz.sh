#!/usr/bin/env bash
# Builds the fuzz preset (clang's libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every target in fuzz/ for SECONDS
# seconds (default 10), one after the other, each starting from its seeds
# in fuzz/corpus/NAME/. The runs work on a copy of the seeds, so what they
# find never lands in the committed corpus. Fails on the first target that
# crashes, fails one of its checks, leaks or hangs; the input that did it
# is kept under build/fuzz/runs/NAME/findings/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-10}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS]   (a whole number of seconds, at least 1)" >&2
  exit 2
fi

cmake --preset fuzz
cmake --build --preset fuzz --parallel "$(nproc)"

export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
build=build/fuzz
runs="$build/runs"
rm -rf "$runs"
for source in fuzz/*.cpp; do
  name=$(basename "$source" .cpp)
  seeds="fuzz/corpus/$name"
  if [ ! -d "$seeds" ]; then
    echo "$name has no seed corpus in $seeds" >&2
    exit 1
  fi
  run="$runs/$name"
  mkdir -p "$run/corpus" "$run/findings"
  cp -R "$seeds/." "$run/corpus/"
  echo "== $name (${seconds}s)"
  if ! "$build/fuzz/$name" -max_total_time="$seconds" -timeout=30 \
    -artifact_prefix="$run/findings/" "$run/corpus" >"$run/log" 2>&1; then
    tail -n 80 "$run/log"
    echo "$name failed: the input is in $run/findings/, the whole log in $run/log" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "$run/log" | tail -n 1
done
echo "== Every fuzz target ran clean"
