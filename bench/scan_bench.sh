#!/usr/bin/env bash
# Folder scans end to end under Wine, each against a reference measured in
# the same run: the program started with -dir= until its status bar reads
# "Ready", launch included.
#
#   small  20,000 files of 1-4 KB, CRC-32C, against the floor: walk_floor.exe
#          (FindFirstFileW, then open, read whole, close each file) in the
#          same Wine session, on one thread and on one per core. Goal:
#          floor on every core/ours >= 0.9.
#   mid    2,000 files of 1 MiB, SHA3-256, against one `openssl dgst
#          -sha3-256` over the same files, best of three turns each. Goal:
#          openssl/ours >= 4 on two cores.
#   many   100,000 files of 1 KiB: bytes of peak memory per file above the
#          idle window. Goal: <= 1000.
#   large  4 files of 256 MiB, SHA3-256, against one `openssl dgst -sha3-256`
#          over the same files, best of three turns each. Goal:
#          openssl/ours >= 2.4 on two cores.
#   million (SCAN_BENCH_MILLION=1) 1,000,000 files of 1 KiB: time against
#          the 100,000 above (goal <= 11) and memory per file; beside it the
#          CPU ratio and the floor's own time ratio, which show the drift.
# Not a test: speed shows only as ratios against the references.
#
#   bench/scan_bench.sh [BUILD_DIR]     (default: build-win; keeps no data)
#
# SCAN_BENCH_SMALL, SCAN_BENCH_MID, SCAN_BENCH_MANY and SCAN_BENCH_LARGE_MIB
# change the sizes (20000, 2000, 100000, 256); SCAN_BENCH_LARGE_ROUNDS the
# turns of the mid and large runs (3, best of each kept).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
. "$root/bench/bench-common.sh" "${1:-}" scan

# COUNT files of MIN..MAX bytes, 100 to a folder: top/dNNN/fNNNNNN.txt.
make_tree() { python3 "$root/bench/make_tree.py" "$@"; }

make_large() {
    mkdir -p "$1"
    for i in 1 2 3 4; do
        head -c $(($2 * 1024 * 1024)) /dev/urandom > "$1/large$i.bin"
    done
}

talvor_wine_start "$build"
mkdir -p "$data"
small=${SCAN_BENCH_SMALL:-20000}
many=${SCAN_BENCH_MANY:-100000}
large_mib=${SCAN_BENCH_LARGE_MIB:-256}
print_machine

idle_run >/dev/null   # the first start sets Wine up
read -r startup idle <<<"$(idle_run)"
printf 'start-up to idle window %.2f s, peak %.1f MB\n' "$startup" "$(calc "$idle / 1024")"

# small: against the floor on one thread and on every core, all warm in
# the page cache.
make_tree "$data/small" "$small" 1024 4096
cores=$(nproc)
timed wine "$floor" "$(windows_path "$data/small")" >/dev/null
floor_s=$(timed wine "$floor" "$(windows_path "$data/small")")
floor_all_s=$(timed wine "$floor" "$(windows_path "$data/small")" "$cores")
read -r ours_s _ <<<"$(run_app -crc "-dir=$(windows_path "$data/small")")"
printf 'small   %6d files CRC-32C   ours %7.2f s %8.0f files/s   floor %6.2f s on 1 thread, %6.2f s on %d\n' \
    "$small" "$ours_s" "$(calc "$small / $ours_s")" "$floor_s" "$floor_all_s" "$cores"
printf '        floor on %d threads/ours %.2f (goal >= 0.9)   floor on 1 thread/ours %.2f\n' \
    "$cores" "$(calc "$floor_all_s / $ours_s")" "$(calc "$floor_s / $ours_s")"
rm -rf "$data/small"

# SHA3-256 of every file in FOLDER: ours against one openssl over the same
# files, warm, taking turns, best of each. Prints "ours_s openssl_s".
against_openssl() {
    local openssl_s="" ours_s="" round_s
    find "$1" -type f -print0 | xargs -0 openssl dgst -sha3-256 >/dev/null
    for _ in $(seq 1 "${SCAN_BENCH_LARGE_ROUNDS:-3}"); do
        openssl_s=$(best "$openssl_s" "$(timed sh -c "find '$1' -type f -print0 | xargs -0 openssl dgst -sha3-256")")
        read -r round_s _ <<<"$(run_app -sha256 "-dir=$(windows_path "$1")")"
        ours_s=$(best "$ours_s" "$round_s")
    done
    echo "$ours_s $openssl_s"
}

# mid: many files of 1 MiB, where a hashing thread's lanes run full.
mid=${SCAN_BENCH_MID:-2000}
make_tree "$data/mid" "$mid" 1048576 1048576
read -r mid_s mid_openssl_s <<<"$(against_openssl "$data/mid")"
printf 'mid     %6d x 1 MiB SHA3-256  ours %7.2f s %7.0f MB/s   openssl %6.2f s   openssl/ours %.2f (goal >= 4)\n' \
    "$mid" "$mid_s" "$(calc "$mid * 1.048576 / $mid_s")" "$mid_openssl_s" \
    "$(calc "$mid_openssl_s / $mid_s")"
rm -rf "$data/mid"

# many: memory per file above the idle window.
per_file() { calc "($1 - $idle) * 1024 / $2"; }
make_tree "$data/many" "$many" 1024 1024
floor_many_s=$(timed wine "$floor" "$(windows_path "$data/many")")
read -r many_s many_peak many_cpu <<<"$(run_app "-dir=$(windows_path "$data/many")")"
printf 'many    %6d files SHA3-256  ours %7.2f s %8.0f files/s   peak %7.1f MB   %6.0f bytes/file (goal <= 1000)\n' \
    "$many" "$many_s" "$(calc "$many / $many_s")" "$(calc "$many_peak / 1024")" \
    "$(per_file "$many_peak" "$many")"
rm -rf "$data/many"

# large: against one openssl over the same files, warm. A run of a second
# or two on two shared cores varies by a tenth or more, so the two take turns
# and the best of LARGE_ROUNDS of each is compared.
make_large "$data/large" "$large_mib"
read -r large_s openssl_s <<<"$(against_openssl "$data/large")"
printf 'large   4 x %d MiB SHA3-256   ours %7.2f s %7.0f MB/s   openssl %6.2f s   openssl/ours %.2f (goal >= 2.4), %.2f after start-up\n' \
    "$large_mib" "$large_s" "$(calc "4 * $large_mib * 1.048576 / $large_s")" "$openssl_s" \
    "$(calc "$openssl_s / $large_s")" "$(calc "$openssl_s / ($large_s - $startup)")"
rm -rf "$data/large"

if [ "${SCAN_BENCH_MILLION:-0}" = 1 ]; then
    make_tree "$data/million" 1000000 1024 1024
    floor_million_s=$(timed wine "$floor" "$(windows_path "$data/million")")
    read -r million_s million_peak million_cpu <<<"$(run_app "-dir=$(windows_path "$data/million")")"
    printf 'million 1000000 files SHA3-256  ours %7.2f s   peak %7.1f MB   %6.0f bytes/file   time 1M/%d %.2f (goal <= %.0f)\n' \
        "$million_s" "$(calc "$million_peak / 1024")" "$(per_file "$million_peak" 1000000)" \
        "$many" "$(calc "$million_s / $many_s")" "$(calc "1000000 / $many * 1.1")"
    # The machine's pace drifts between runs minutes apart; the floor's own
    # ratio and the CPU spent show how much of the time ratio is that drift.
    printf '        for comparison: CPU 1M/%d %.2f (program and wineserver), floor time 1M/%d %.2f\n' \
        "$many" "$(calc "$million_cpu / $many_cpu")" "$many" "$(calc "$floor_million_s / $floor_many_s")"
fi
