#!/usr/bin/env bash
# Times `tessaroon list --trim root --unique domain` (one line a site) against
# `LC_ALL=C sort -u -f` and `awk -F/ '!seen[tolower($3)]++'` (one line a host,
# in memory) on the same generated address lists, then the list alone at a
# larger size with a memory budget. Prints a Markdown table: wall and CPU
# time, peak memory and the ratios to sort and to awk.
#
# usage: bench/list/run.sh [PROGRAM] [SIZE[:BUDGET]...]
#   PROGRAM  the tessaroon binary (default build/bench/src/app/tessaroon,
#            else build/release/..., else build/full/...)
#   SIZE     lines to generate; BUDGET, such as 512M, runs the list alone with
#            --memory BUDGET (default: 5000000 50000000:512M)
# Environment:
#   GEN_URLS   the generator (default ../shared/bench/gen_urls.py beside the project)
#   BENCH_DIR  where the lists and outputs go (default /tmp/tess-list-bench)
#   RUNS       runs of each tool without a budget, the median kept (default 3)
#   KEEP=1     keep the generated lists and outputs
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
prog=${1:-}
shift || true
if [ -z "$prog" ]; then
    for build in bench release full; do
        prog=$root/build/$build/src/app/tessaroon
        [ -x "$prog" ] && break
    done
fi
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(5000000 50000000:512M)
gen=${GEN_URLS:-$root/../shared/bench/gen_urls.py}
work=${BENCH_DIR:-/tmp/tess-list-bench}
runs=${RUNS:-3}
tmp=$work/tmp
mkdir -p "$work" "$tmp"

# Runs the command once: "wall cpu peakKB".
measureOnce() {
    TMPDIR=$tmp /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || {
        echo "failed: $*" >&2
        cat "$work/err.txt" >&2
        exit 1
    }
    local wall user sys kb
    read -r wall user sys kb < <(tail -n 1 "$work/time.txt")
    echo "$wall $(printf '%.2f' "$(echo "$user + $sys" | bc)") $kb"
}

# Runs the command `n` times; the run with the median wall time.
measure() { # n, command...
    local n=$1
    shift
    for _ in $(seq "$n"); do measureOnce "$@"; done | sort -n | sed -n "$(((n + 1) / 2))p"
}

mb() { echo $(($1 / 1048576)); }
ratio() { printf '%.2f' "$(echo "scale=4; $1 / $2" | bc)"; }

echo "| lines | input | budget | tool | wall s | CPU s | peak MB | wall ÷ sort | wall ÷ awk |"
echo "|---|---|---|---|---|---|---|---|---|"
for item in "${sizes[@]}"; do
    n=${item%%:*}
    budget=
    [ "$item" = "$n" ] || budget=${item#*:}
    data=$work/$n
    [ -f "$data/src4.txt" ] || python3 "$gen" "$n" "$data" >/dev/null 2>&1
    input=$(cat "$data"/src*.txt | wc -c)
    cat "$data"/src*.txt >/dev/null # the page cache warm for all
    listed=("$prog" list --trim root --unique domain ${budget:+--memory "$budget"} -o "$work/list-$n.txt" "$data"/src*.txt)
    if [ -n "$budget" ]; then
        read -r wall cpu kb < <(measure 1 "${listed[@]}")
        echo "| $n | $(mb "$input") MB | $budget | tessaroon list | $wall | $cpu | $((kb / 1024)) | | |"
    else
        read -r sortWall sortCpu sortKb < <(measure "$runs" env LC_ALL=C sort -u -f -o "$work/sort-$n.txt" "$data"/src*.txt)
        read -r awkWall awkCpu awkKb < <(measure "$runs" sh -c "awk -F/ '!seen[tolower(\$3)]++' \"\$@\" >'$work/awk-$n.txt'" awk "$data"/src*.txt)
        read -r wall cpu kb < <(measure "$runs" "${listed[@]}")
        for row in "sort -u -f|$sortWall|$sortCpu|$sortKb" "awk seen[host]|$awkWall|$awkCpu|$awkKb" "tessaroon list|$wall|$cpu|$kb"; do
            IFS='|' read -r tool w c k <<<"$row"
            echo "| $n | $(mb "$input") MB | none | $tool | $w | $c | $((k / 1024)) | $(ratio "$w" "$sortWall") | $(ratio "$w" "$awkWall") |"
        done
        echo "<!-- $n lines: sort wrote $(wc -l <"$work/sort-$n.txt") lines, awk $(wc -l <"$work/awk-$n.txt"), the list $(wc -l <"$work/list-$n.txt") -->"
    fi
    [ "${KEEP:-}" = 1 ] || rm -f "$work/sort-$n.txt" "$work/awk-$n.txt" "$work/list-$n.txt"
done
