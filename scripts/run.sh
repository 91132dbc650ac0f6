#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it.
# Arguments are passed to the program (e.g. --engine-host 127.0.0.1:8642).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --parallel "$(nproc)"

# The embedded browser cannot use its sandbox when run as root.
if [ "$(id -u)" = 0 ] && [ -z "${QTWEBENGINE_CHROMIUM_FLAGS:-}" ]; then
  export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"
fi
exec build/release/src/app/tessaroon "$@"
