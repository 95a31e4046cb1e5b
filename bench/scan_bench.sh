#!/usr/bin/env bash
# Folder scan, end to end under Wine: the program started with -dir= until
# its status bar reads "Ready" with phase "OK", for 10,000 and 100,000 small
# files and for a few large ones. Prints files/s, MB/s, peak memory, the
# 100k/10k time ratio and the ratio against native rhash on the same tree.
# Not a test: a benchmark whose reference is measured in the same run.
#
#   bench/scan_bench.sh [BUILD_DIR]     (default: build-win; keeps no data)
#
# SCAN_BENCH_SMALL="10000 100000" sets the two small-file counts (the ratio
# is taken between them).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=$(cd "${1:-$root/build-win}" && pwd)
data="$root/bench-data/scan"
. "$root/scripts/wine-env.sh"

cmake --build "$build" --target TalvorCrcCheck talvor_driver >/dev/null
app="$build/app/TalvorCrcCheck.exe"
driver="$build/tests/e2e/talvor_driver.exe"

cleanup() { rm -rf "$data"; rmdir "$root/bench-data" 2>/dev/null || true; }
trap cleanup EXIT

# COUNT files of SIZE bytes, 100 to a folder, a few levels deep.
make_tree() {
    python3 - "$1" "$2" "$3" <<'PY'
import os, sys
top, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
block = os.urandom(size)
for i in range(count):
    folder = os.path.join(top, "d%03d" % (i // 10000), "e%03d" % (i // 100 % 100))
    if i % 100 == 0:
        os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%06d.bin" % i), "wb") as f:
        f.write(block[i % 7:] + block[:i % 7])
PY
}

make_large() {
    mkdir -p "$1"
    for i in 1 2 3 4; do
        head -c $((128 * 1024 * 1024)) /dev/urandom > "$1/large$i.bin"
    done
}

now() { date +%s.%N; }

# Runs one scan; prints "seconds peak_kib". The clock runs from the start of
# the program to the "Ready" that ends the scan.
scan_once() {
    local folder="Z:${1//\//\\}"
    local start end pid peak
    start=$(now)
    wine "$app" "-dir=$folder" </dev/null >/dev/null 2>&1 &
    pid=$!
    wine "$driver" --timeout 3600000 --phase OK --phase BAD wait-ready </dev/null >/dev/null 2>&1
    end=$(now)
    peak=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    wine "$driver" close </dev/null >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
    echo "$(echo "$end - $start" | bc -l) ${peak:-0}"
}

rhash_once() {
    local start end
    start=$(now)
    rhash -r --sha3-256 "$1" >/dev/null
    end=$(now)
    echo "$end - $start" | bc -l
}

report() {
    local name=$1 folder=$2
    local files bytes result seconds peak reference
    files=$(find "$folder" -type f | wc -l)
    bytes=$(du -sb --apparent-size "$folder" | cut -f1)
    sync
    rhash_once "$folder" >/dev/null   # warm the page cache for both sides
    result=$(scan_once "$folder")
    seconds=${result% *}
    peak=${result#* }
    reference=$(rhash_once "$folder")
    printf '%-8s %7d files %9.1f MB  %7.2f s  %9.0f files/s  %8.1f MB/s  peak %7.1f MB  rhash %6.2f s  ratio %5.2f\n' \
        "$name" "$files" "$(echo "$bytes / 1000000" | bc -l)" "$seconds" \
        "$(echo "$files / $seconds" | bc -l)" "$(echo "$bytes / 1000000 / $seconds" | bc -l)" \
        "$(echo "$peak / 1024" | bc -l)" "$reference" "$(echo "$seconds / $reference" | bc -l)"
    eval "seconds_$name=$seconds"
}

talvor_wine_start "$build"
mkdir -p "$data"
read -r few many <<<"${SCAN_BENCH_SMALL:-10000 100000}"
make_tree "$data/few" "$few" 1024
make_tree "$data/many" "$many" 1024
make_large "$data/large"

# Start-up alone, for reading the figures below: an empty folder ends at
# "Files not found", so time the program up to its first window instead.
start=$(now)
wine "$app" </dev/null >/dev/null 2>&1 &
pid=$!
wine "$driver" --timeout 60000 wait-window </dev/null >/dev/null 2>&1
echo "start-up to window: $(echo "$(now) - $start" | bc -l | cut -c1-5) s"
wine "$driver" close </dev/null >/dev/null 2>&1 || true
wait "$pid" 2>/dev/null || true

report few "$data/few"
report many "$data/many"
report large "$data/large"
printf 'time ratio %d/%d files: %.2f (linear: %.2f)\n' "$many" "$few" \
    "$(echo "$seconds_many / $seconds_few" | bc -l)" "$(echo "$many / $few" | bc -l)"
