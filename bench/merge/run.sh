#!/usr/bin/env bash
# Times the command-line merge against `LC_ALL=C sort -u -f` on the same
# generated address lists, at 1M and 5M lines: wall time and peak memory.
# usage: bench/merge/run.sh [PROGRAM] [SIZES...]
#   PROGRAM: the tessaroon binary (default build/release/src/app/tessaroon)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
prog=${1:-$root/build/release/src/app/tessaroon}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 5000000)
gen=${GEN_URLS:-$root/../shared/bench/gen_urls.py}
work=${BENCH_DIR:-/tmp/tess-merge-bench}
mkdir -p "$work"

measure() { # label, command...
    local label=$1
    shift
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null
    read -r wall kb <"$work/time.txt"
    printf '  %-22s wall %6.2f s   peak RSS %6d MB\n' "$label" "$wall" $((kb / 1024))
}

for n in "${sizes[@]}"; do
    data="$work/$n"
    [ -f "$data/src4.txt" ] || python3 "$gen" "$n" "$data" 2>/dev/null
    input=$(cat "$data"/src*.txt | wc -c)
    echo "$n lines, $((input / 1048576)) MB input (locale ${LC_ALL:-${LC_COLLATE:-${LANG:-none}}})"
    cat "$data"/src*.txt >/dev/null # warm the page cache for both
    measure "sort -u -f (LC_ALL=C)" env LC_ALL=C sort -u -f -o "$work/sort.txt" "$data"/src*.txt
    measure "merge" "$prog" merge -o "$work/merge.txt" "$data"/src*.txt
    echo "  lines: sort $(wc -l <"$work/sort.txt"), merge $(wc -l <"$work/merge.txt")"
done
