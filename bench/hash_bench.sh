#!/usr/bin/env bash
# Hash benchmarks, each against a reference measured in the same run. Not a
# test: the figures depend on the machine and on whatever else it is doing.
#
#   bash bench/hash_bench.sh          both parts
#   bash bench/hash_bench.sh native   engines in-process (host, no sanitizers):
#                                     SHA3-256/512 vs OpenSSL EVP, CRC-32C vs ISA-L
#   bash bench/hash_bench.sh wine     file digest end to end under Wine on a
#                                     1 GiB file: "S" vs native `openssl dgst
#                                     -sha3-256`, "C" vs a plain read (cat)
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
    echo "== engines, 1 MiB buffers, in-process (ratio = ours / reference)"
    "$host_build/bench/hash_bench"
}

# Best wall-clock seconds of three runs of a command.
best_of_three() {
    local best="" i start end taken
    for i in 1 2 3; do
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        taken=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$taken < $best" | bc -l)" = 1 ]; then
            best=$taken
        fi
    done
    echo "$best"
}

read_floor() { cat "$big" >/dev/null; }

run_wine() {
    cmake -S "$root" -B "$win_build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$win_build" --target file_digest_bench >/dev/null

    mkdir -p "$data"
    trap 'rm -f "$big"' EXIT
    head -c 1073741824 /dev/urandom >"$big"
    cat "$big" >/dev/null

    local mb floor_s ossl_s
    mb=$(echo "1073741824 / 1000000" | bc -l)
    floor_s=$(best_of_three read_floor)
    ossl_s=$(best_of_three openssl dgst -sha3-256 "$big")

    . "$root/scripts/wine-env.sh"
    # The session helpers are not written for `set -e`; the `||` turns it off
    # inside them.
    talvor_wine_start "$win_build" || { echo "Wine did not start" >&2; exit 1; }
    talvor_wine_env "$win_build"
    local results
    results=$(wine "$win_build/bench/file_digest_bench.exe" "Z:${big//\//\\}" | tr -d "\r")
    talvor_wine_stop "$win_build" || true

    echo "== file digest of a 1 GiB file, warm cache (best of 3)"
    printf '%-28s %8.3f s %9.1f MB/s\n' "native cat (read floor)" "$floor_s" "$(echo "$mb / $floor_s" | bc -l)"
    printf '%-28s %8.3f s %9.1f MB/s\n' "native openssl dgst -sha3-256" "$ossl_s" "$(echo "$mb / $ossl_s" | bc -l)"
    echo "$results" | while read -r name seconds rate; do
        printf '%-28s %8.3f s %9.1f MB/s\n' "wine $name" "$seconds" "$rate"
    done
    local c_s s_s
    c_s=$(echo "$results" | awk '$1 == "digest_C" { print $2 }')
    s_s=$(echo "$results" | awk '$1 == "digest_S" { print $2 }')
    printf 'ratio "S" / openssl dgst -sha3-256: %.2f   (target >= 0.9)\n' "$(echo "$ossl_s / $s_s" | bc -l)"
    printf 'ratio "C" / plain read:             %.2f   (target >= 0.7)\n' "$(echo "$floor_s / $c_s" | bc -l)"
}

case "$part" in
native) run_native ;;
wine) run_wine ;;
all) run_native; echo; run_wine ;;
*) echo "usage: $0 [native|wine]" >&2; exit 2 ;;
esac
