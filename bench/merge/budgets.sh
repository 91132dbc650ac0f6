#!/usr/bin/env bash
# The merge's peak memory under small budgets: runs `tessaroon merge` on
# each input with each budget and prints the largest resident set
# (/usr/bin/time -v). A budget below the minimum is raised to it, so 1,
# 1K and 16M should peak alike, within the budget and the program's fixed
# cost.
#
# usage: bench/merge/budgets.sh PROGRAM INPUT... [-- BUDGET...]
#   BUDGET  default: 1 1K 16M
set -euo pipefail
prog=$1
shift
inputs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    inputs+=("$1")
    shift
done
[ $# -gt 0 ] && shift
budgets=("$@")
[ ${#budgets[@]} -gt 0 ] || budgets=(1 1K 16M)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "| input MB | budget | peak MB | wall s |"
echo "|---|---|---|---|"
for input in "${inputs[@]}"; do
    size=$(( $(stat -c %s "$input") / 1000000 ))
    for budget in "${budgets[@]}"; do
        /usr/bin/time -v -o "$work/time" "$prog" merge -o "$work/out.txt" --memory "$budget" "$input" \
            >/dev/null 2>"$work/err" || echo "failed: $(cat "$work/err")" >&2
        peak=$(awk -F': ' '/Maximum resident set size/ { printf "%d", $2 / 1024 }' "$work/time")
        wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$work/time")
        echo "| $size | $budget | $peak | $wall |"
    done
done
