#!/usr/bin/env bash
# Installs what is needed, checks the formatting, then builds and runs every
# test (warnings are errors in each build):
#   1. the whole program with its window and browser tests (headless), and
#      the benchmarks built so they keep compiling,
#   2. the core alone, without Qt Widgets or WebEngine,
#   3. the core again under AddressSanitizer and UndefinedBehaviorSanitizer.
# The builds and their settings are the presets in CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== Formatting"
bash scripts/check-format.sh
echo "== Layers"
bash scripts/check-layers.sh

run_suite() {
  cmake --preset "$1"
  cmake --build --preset "$1" --parallel "$(nproc)"
  ctest --preset "$1" --parallel "$(nproc)"
}

echo "== Whole program"
run_suite full
echo "== Core alone (no widgets, no browser)"
run_suite core
echo "== Core under sanitizers"
run_suite asan
echo "== Fuzz targets (a short run on the committed seeds)"
bash scripts/fuzz.sh 10
echo "== Debian package (build, install, check, remove)"
bash scripts/package-check.sh
echo "== All suites passed"
