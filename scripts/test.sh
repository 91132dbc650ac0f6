#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test:
#   1. the whole program with its window and browser tests (headless),
#   2. the core alone, without Qt Widgets or WebEngine,
#   3. the core again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" --parallel "$jobs"
  ctest --test-dir "$dir" --output-on-failure --parallel "$jobs" --timeout 900
}

echo "== Whole program"
run_suite build/test-full -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== Core alone (no widgets, no browser)"
run_suite build/test-core -DTESS_GUI=OFF -DTESS_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
echo "== Core under sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_suite build/test-asan -DTESS_GUI=OFF -DTESS_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug \
  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
echo "== All suites passed"
