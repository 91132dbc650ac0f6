#!/usr/bin/env bash
# Time from starting the program to its main window being shown, under Xvfb.
# usage: bench/gui-launch/launch.sh [PROGRAM] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
prog=${1:-$root/build/release/src/app/tessaroon}
rounds=${2:-5}
display=:77
Xvfb $display -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"; fi
for i in $(seq "$rounds"); do
  start=$(date +%s%N)
  "$prog" >/dev/null 2>&1 &
  pid=$!
  until xdotool search --onlyvisible --name 'Tessaroon' >/dev/null 2>&1; do sleep 0.01; done
  shown=$(date +%s%N)
  printf 'round %d: window shown after %d ms\n' "$i" $(( (shown - start) / 1000000 ))
  kill "$pid"; wait "$pid" 2>/dev/null || true
done
