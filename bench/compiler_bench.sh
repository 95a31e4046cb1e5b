#!/usr/bin/env bash
# The program as GCC builds it (build-win, what the release ships) against
# the program as clang builds it (build-clang), end to end under Wine in the
# same run: each started with -dir= until its status bar reads "Ready",
# launch included, the two taking turns, the best of ROUNDS turns of each
# kept.
#
#   small  20,000 files of 1-4 KB, CRC-32C
#   mid    2,000 files of 1 MiB, SHA3-256 (the hashing threads' lanes full)
#   large  4 files of 256 MiB, SHA3-256 (each file alone on its thread)
#
# Prints each run's seconds and clang/gcc: at 1 or above the shipped build
# is at least as fast. Not a test: speed shows only as the ratio.
#
#   bench/compiler_bench.sh [GCC_BUILD_DIR [CLANG_BUILD_DIR]]
#
# COMPILER_BENCH_SMALL, COMPILER_BENCH_MID and COMPILER_BENCH_LARGE_MIB
# change the sizes (20000, 2000, 256); COMPILER_BENCH_ROUNDS the turns (3).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
. "$root/bench/bench-common.sh" "${1:-}" compiler
clang_build=$(cd "${2:-$root/build-clang}" && pwd)
cmake --build "$clang_build" --target TalvorCrcCheck >/dev/null
gcc_app=$app
clang_app="$clang_build/app/TalvorCrcCheck.exe"

talvor_wine_start "$build"
print_machine
rounds=${COMPILER_BENCH_ROUNDS:-3}
app=$gcc_app idle_run >/dev/null   # the first start sets Wine up

# One run of both builds over FOLDER with the hash switch SWITCH, taking
# turns; prints "gcc_s clang_s", the best of each.
both_builds() {
    local gcc_s="" clang_s="" round_s
    for _ in $(seq 1 "$rounds"); do
        read -r round_s _ <<<"$(app=$gcc_app run_app "$1" "-dir=$(windows_path "$2")")"
        gcc_s=$(best "$gcc_s" "$round_s")
        read -r round_s _ <<<"$(app=$clang_app run_app "$1" "-dir=$(windows_path "$2")")"
        clang_s=$(best "$clang_s" "$round_s")
    done
    echo "$gcc_s $clang_s"
}

report() {
    printf '%-6s %-24s gcc %7.2f s   clang %7.2f s   clang/gcc %.2f\n' "$1" "$2" "$3" "$4" \
        "$(calc "$4 / $3")"
}

small=${COMPILER_BENCH_SMALL:-20000}
python3 "$root/bench/make_tree.py" "$data/small" "$small" 1024 4096
read -r gcc_s clang_s <<<"$(both_builds -crc "$data/small")"
report small "$small files CRC-32C" "$gcc_s" "$clang_s"
rm -rf "$data/small"

mid=${COMPILER_BENCH_MID:-2000}
python3 "$root/bench/make_tree.py" "$data/mid" "$mid" 1048576 1048576
read -r gcc_s clang_s <<<"$(both_builds -sha256 "$data/mid")"
report mid "$mid x 1 MiB SHA3-256" "$gcc_s" "$clang_s"
rm -rf "$data/mid"

large_mib=${COMPILER_BENCH_LARGE_MIB:-256}
mkdir -p "$data/large"
for i in 1 2 3 4; do
    head -c $((large_mib * 1024 * 1024)) /dev/urandom >"$data/large/large$i.bin"
done
read -r gcc_s clang_s <<<"$(both_builds -sha256 "$data/large")"
report large "4 x $large_mib MiB SHA3-256" "$gcc_s" "$clang_s"
