#!/usr/bin/env bash
# Times the command-line merge against `LC_ALL=C sort -u -f` on the same
# generated address lists: in memory at 1M and 5M lines, and at 50M lines
# (about 2.6 GB) with a memory budget for both (--memory / sort -S). Prints
# a Markdown table: wall and CPU time, peak memory, the temporary disk at
# its fullest, and the ratios to sort.
#
# usage: bench/merge/run.sh [PROGRAM] [SIZE[:BUDGET]...]
#   PROGRAM  the tessaroon binary (default build/bench/src/app/tessaroon,
#            else build/release/src/app/tessaroon)
#   SIZE     lines to generate; BUDGET, such as 512M, bounds both tools'
#            memory (default: 1000000 5000000 50000000:512M)
# Environment:
#   GEN_URLS     the generator (default ../shared/bench/gen_urls.py beside the project)
#   BENCH_DIR    where the lists, outputs and temporary files go (default /tmp/tess-merge-bench)
#   RUNS         runs of each tool at sizes without a budget, the median kept (default 3)
#   OLD_PROGRAM  a build of the previous version: its output at the largest size
#                without a budget is compared byte for byte with this one's
#   KEEP=1       keep the generated lists and outputs
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
prog=${1:-}
shift || true
if [ -z "$prog" ]; then
    prog=$root/build/bench/src/app/tessaroon
    [ -x "$prog" ] || prog=$root/build/release/src/app/tessaroon
fi
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 5000000 50000000:512M)
gen=${GEN_URLS:-$root/../shared/bench/gen_urls.py}
work=${BENCH_DIR:-/tmp/tess-merge-bench}
runs=${RUNS:-3}
tmp=$work/tmp
mkdir -p "$work" "$tmp"

# The temporary disk a process tree uses at its fullest: sort's files in
# $tmp, and the merge's temporary file, which has no name and is found
# through the program's open descriptors.
watchDisk() { # pid, result file
    local pid=$1 out=$2 peak=0 used f size
    while kill -0 "$pid" 2>/dev/null; do
        used=$(du -sb "$tmp" 2>/dev/null | cut -f1)
        for f in /proc/[0-9]*/fd/*; do
            case $(readlink "$f" 2>/dev/null) in
            *.tessaroon-*"(deleted)") size=$(stat -L -c %s "$f" 2>/dev/null || echo 0)
                used=$((used + size)) ;;
            esac
        done 2>/dev/null
        [ "$used" -gt "$peak" ] && peak=$used
        sleep 0.1
    done
    echo "$peak" >"$out"
}

# Runs the command once: "wall cpu peakKB tempBytes".
measureOnce() {
    rm -rf "${tmp:?}"/*
    TMPDIR=$tmp /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" &
    local pid=$!
    watchDisk "$pid" "$work/disk.txt" &
    local watcher=$!
    if ! wait "$pid"; then
        echo "failed: $*" >&2
        cat "$work/err.txt" >&2
        exit 1
    fi
    wait "$watcher"
    local wall user sys kb
    read -r wall user sys kb < <(tail -n 1 "$work/time.txt")
    echo "$wall $(printf '%.2f' "$(echo "$user + $sys" | bc)") $kb $(cat "$work/disk.txt")"
}

# Runs the command `n` times; the run with the median wall time.
measure() { # n, command...
    local n=$1
    shift
    for _ in $(seq "$n"); do measureOnce "$@"; done | sort -n | sed -n "$(((n + 1) / 2))p"
}

mb() { echo $(($1 / 1048576)); }
ratio() { printf '%.2f' "$(echo "scale=4; $1 / $2" | bc)"; }

echo "| lines | input | budget | tool | wall s | CPU s | peak MB | temp disk MB | wall ÷ sort | peak ÷ input |"
echo "|---|---|---|---|---|---|---|---|---|---|"
lastInMemory=
for item in "${sizes[@]}"; do
    n=${item%%:*}
    budget=
    [ "$item" = "$n" ] || budget=${item#*:}
    data=$work/$n
    [ -f "$data/src4.txt" ] || python3 "$gen" "$n" "$data" >/dev/null 2>&1
    input=$(cat "$data"/src*.txt | wc -c)
    cat "$data"/src*.txt >/dev/null # the page cache warm for both
    if [ -n "$budget" ]; then
        reps=1
        sorted=(env LC_ALL=C sort -u -f -S "$budget" -o "$work/sort-$n.txt" "$data"/src*.txt)
        merged=("$prog" merge -o "$work/merge-$n.txt" --memory "$budget" "$data"/src*.txt)
    else
        reps=$runs
        sorted=(env LC_ALL=C sort -u -f -o "$work/sort-$n.txt" "$data"/src*.txt)
        merged=("$prog" merge -o "$work/merge-$n.txt" "$data"/src*.txt)
        lastInMemory=$n
    fi
    read -r sortWall sortCpu sortKb sortDisk < <(measure "$reps" "${sorted[@]}")
    read -r mergeWall mergeCpu mergeKb mergeDisk < <(measure "$reps" "${merged[@]}")
    for row in "sort -u -f|$sortWall|$sortCpu|$sortKb|$sortDisk" "tessaroon merge|$mergeWall|$mergeCpu|$mergeKb|$mergeDisk"; do
        IFS='|' read -r tool wall cpu kb disk <<<"$row"
        echo "| $n | $(mb "$input") MB | ${budget:-none} | $tool | $wall | $cpu | $((kb / 1024)) | $(mb "$disk") |" \
            "$(ratio "$wall" "$sortWall") | $(ratio "$((kb * 1024))" "$input") |"
    done
    echo "<!-- $n lines: sort wrote $(wc -l <"$work/sort-$n.txt") lines, the merge $(wc -l <"$work/merge-$n.txt") -->"
    [ "${KEEP:-}" = 1 ] || rm -f "$work/sort-$n.txt"
done

if [ -n "${OLD_PROGRAM:-}" ] && [ -n "$lastInMemory" ]; then
    n=$lastInMemory
    "$OLD_PROGRAM" merge -o "$work/old-$n.txt" "$work/$n"/src*.txt >/dev/null
    if cmp -s "$work/old-$n.txt" "$work/merge-$n.txt"; then
        echo "<!-- $n lines: byte for byte the previous version's result ($(sha256sum <"$work/old-$n.txt" | cut -c1-16)) -->"
    else
        echo "$n lines: the output differs from the previous version's" >&2
        exit 1
    fi
    rm -f "$work/old-$n.txt"
fi
[ "${KEEP:-}" = 1 ] || rm -f "$work"/merge-*.txt
