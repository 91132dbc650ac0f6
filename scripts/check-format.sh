#!/usr/bin/env bash
# Fails when a C++ file of the project strays from .clang-format; prints
# where. Format a file with `clang-format -i FILE`.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}"
echo "Formatting: ${#files[@]} files follow .clang-format"
