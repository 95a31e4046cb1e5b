#!/usr/bin/env bash
# Hash benchmarks, each against a reference measured in the same run. Not a
# test: the figures depend on the machine and on whatever else it is doing.
#
#   bash bench/hash_bench.sh          both parts
#   bash bench/hash_bench.sh native   engines in-process (host, no sanitizers),
#                                     every path this processor has:
#                                     SHA3-256/512 vs OpenSSL EVP (and the path
#                                     the dispatcher chose), the x8 and x4
#                                     kernels on 8 or 4 streams vs EVP on the
#                                     same streams one after another (one
#                                     core), CRC-32C and CRC-32 vs ISA-L,
#                                     MD5, SHA-1, SHA-256, SHA-512 vs EVP,
#                                     BLAKE3 vs BLAKE3's C library (its own
#                                     dispatch), XXH3/XXH128 vs libxxhash, and
#                                     BLAKE3 over 1 GiB on every core vs one core
#   bash bench/hash_bench.sh wine     file digest end to end under Wine on a
#                                     1 GiB file: "S" vs native `openssl dgst
#                                     -sha3-256`, "C" vs a plain 1 MiB ReadFile
#                                     loop under Wine (and native cat)
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
part=${1:-all}
host_build=$root/build-bench-host
win_build=$root/build-bench-win
data=$root/bench-data
big=$data/bench_1g.bin

run_native() {
    cmake -S "$root" -B "$host_build" -G Ninja -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DTALVOR_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$host_build" --target hash_bench >/dev/null
    grep -m1 'model name' /proc/cpuinfo || true
    echo "== engines, 1 MiB buffers, in-process (ratio = ours / reference)"
    "$host_build/bench/hash_bench"
    echo
    echo "== engines, 64 MiB buffers, in-process (ratio = ours / reference)"
    "$host_build/bench/hash_bench" 64
    echo
    echo "== BLAKE3 over one 1 GiB buffer, every core against one ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'))"
    "$host_build/bench/hash_bench" threads
}

# Wall-clock seconds of one run of a command.
seconds_of() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

min() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

read_floor() { cat "$big" >/dev/null; }

wine_bench() { wine "$win_build/bench/file_digest_bench.exe" "Z:${big//\//\\}" "$1" | tr -d '\r'; }

run_wine() {
    cmake -S "$root" -B "$win_build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$win_build" --target file_digest_bench >/dev/null

    mkdir -p "$data"
    trap 'rm -f "$big"; rmdir "$data" 2>/dev/null || true' EXIT
    head -c 1073741824 /dev/urandom >"$big"
    cat "$big" >/dev/null

    . "$root/scripts/wine-env.sh"
    # The session helpers are not written for `set -e`; the `||` turns it off
    # inside them.
    talvor_wine_start "$win_build" || { echo "Wine did not start" >&2; exit 1; }
    talvor_wine_env "$win_build"

    # Rounds alternate every measurement and keep the best of each, so that
    # ours and the references meet the same load on a shared machine.
    local floor="" ossl="" win_read="" digest_c="" digest_s="" round
    for round in 1 2 3 4 5; do
        floor=$(min "$floor" "$(seconds_of read_floor)")
        ossl=$(min "$ossl" "$(seconds_of openssl dgst -sha3-256 "$big")")
        win_read=$(min "$win_read" "$(wine_bench R)")
        digest_c=$(min "$digest_c" "$(wine_bench C)")
        digest_s=$(min "$digest_s" "$(wine_bench S)")
    done
    talvor_wine_stop "$win_build" || true

    local mb
    mb=$(echo "1073741824 / 1000000" | bc -l)
    show() { printf '%-32s %8.3f s %9.1f MB/s\n' "$1" "$2" "$(echo "$mb / $2" | bc -l)"; }
    echo "== file digest of a 1 GiB file, warm cache (best of 5 alternating rounds)"
    show "native cat (read floor)" "$floor"
    show "native openssl dgst -sha3-256" "$ossl"
    show "wine Win32 ReadFile, 1 MiB reads" "$win_read"
    show 'wine file_digest_text "C"' "$digest_c"
    show 'wine file_digest_text "S"' "$digest_s"
    printf 'ratio "S" / openssl dgst -sha3-256:  %.2f   (target >= 1.3)\n' "$(echo "$ossl / $digest_s" | bc -l)"
    printf 'ratio "C" / wine ReadFile 1 MiB:     %.2f   (target >= 0.9)\n' "$(echo "$win_read / $digest_c" | bc -l)"
    printf 'ratio "C" / native cat:              %.2f\n' "$(echo "$floor / $digest_c" | bc -l)"
}

case "$part" in
native) run_native ;;
wine) run_wine ;;
all) run_native; echo; run_wine ;;
*) echo "usage: $0 [native|wine]" >&2; exit 2 ;;
esac
