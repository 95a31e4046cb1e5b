#!/usr/bin/env bash
# Idempotent setup on a Debian machine: installs what is missing and
# configures the build folders (build-win: the Windows program and its tests;
# build-host: the platform-neutral code under sanitizers, fuzzer, benchmarks;
# build-clang: the Windows program built by clang, for its smoke test, using
# build-win's Wine prefix).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)

packages=(
    cmake ninja-build g++ clang clang-format libclang-rt-14-dev lld
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nsis
    wine wine64 fonts-wine xvfb x11-apps x11-utils imagemagick xdotool
    googletest libssl-dev openssl libisal-dev rhash zip unzip
    librust-blake3-dev libxxhash-dev b3sum xxhash
    util-linux procps bc
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

configure() {
    local dir=$1
    shift
    if [ ! -f "$root/$dir/build.ninja" ]; then
        cmake -S "$root" -B "$root/$dir" -G Ninja "$@" >/dev/null
    fi
}
configure build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
configure build-host -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
configure build-clang -DCMAKE_TOOLCHAIN_FILE="$root/cmake/clang-mingw-w64-x86_64.cmake" \
    -DTALVOR_WINE_BUILD_DIR="$root/build-win"
