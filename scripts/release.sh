#!/usr/bin/env bash
# Builds the release zip, build-release/TalvorCrcCheck-<version>-win64.zip:
# the program, README.md and SHA3-256SUMS, the SHA3-256 digests of the other
# two in BSD-tagged form ("SHA3-256 (name) = hex", as `rhash --bsd --sha3-256`
# writes them).
#
# The same sources give the same zip bytes wherever they are built: the
# program is built without build paths or link time stamp, and the entries
# are stored sorted by name, with fixed permissions and one time stamp, that
# of the last commit (or SOURCE_DATE_EPOCH when set).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build="$root/build-release"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTALVOR_REPRODUCIBLE=ON >/dev/null
cmake --build "$build" --target TalvorCrcCheck

# The version text exactly as the compiler assembles it for the About box.
version=$(printf '#include "core/version.h"\nTALVOR_VERSION_TEXT\n' |
    x86_64-w64-mingw32-gcc -E -P -I"$root" -x c - | tr -d '" \n')
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}
if [ -z "$epoch" ]; then
    echo "release: not a git checkout; set SOURCE_DATE_EPOCH to the entries' time stamp" >&2
    exit 1
fi
name="TalvorCrcCheck-$version-win64"
zip_file="$build/$name.zip"

stage="$build/stage"
rm -rf "$stage" "$zip_file"
mkdir -p "$stage"
cp "$build/app/TalvorCrcCheck.exe" "$root/README.md" "$stage/"
(cd "$stage" && rhash --bsd --sha3-256 README.md TalvorCrcCheck.exe > SHA3-256SUMS)
chmod 0644 "$stage"/*
touch -d "@$epoch" "$stage"/*
# -X leaves out the owner ids and the extra time stamps; -D the folder entry.
(cd "$stage" && ls | LC_ALL=C sort | TZ=UTC zip -X -D -9 -q "$zip_file" -@)
echo "$zip_file"
