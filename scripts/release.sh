#!/usr/bin/env bash
# Builds the release downloads in build-release/:
# - TalvorCrcCheck-<version>-win64.zip, the portable one: the program, its
#   console companion TalvorCrcCheck.com, README.md and SHA3-256SUMS, the
#   SHA3-256 digests of the other three in BSD-tagged form ("SHA3-256 (name)
#   = hex", as `rhash --bsd --sha3-256` writes them);
# - TalvorCrcCheck-<version>-setup.exe, the setup program (NSIS,
#   scripts/installer.nsi) with the same program, companion and README.
#
# The same sources give the same bytes wherever they are built: the programs
# are built without build paths or link time stamp, the zip's entries are
# stored sorted by name, with fixed permissions, and the files of both have
# one time stamp, that of the last commit (or SOURCE_DATE_EPOCH when set).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build="$root/build-release"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTALVOR_REPRODUCIBLE=ON >/dev/null
cmake --build "$build" --target TalvorCrcCheck TalvorCrcCheckConsole

# The version text exactly as the compiler assembles it for the About box.
version_of() {
    printf '#include "core/version.h"\n%s\n' "$1" |
        x86_64-w64-mingw32-gcc -E -P -I"$root" -x c - | tr -d '" \n'
}
version=$(version_of TALVOR_VERSION_TEXT)
numeric_version=$(version_of 'TALVOR_VERSION_MAJOR.TALVOR_VERSION_MINOR.TALVOR_VERSION_REVISION.TALVOR_VERSION_BUILD')
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}
if [ -z "$epoch" ]; then
    echo "release: not a git checkout; set SOURCE_DATE_EPOCH to the entries' time stamp" >&2
    exit 1
fi
name="TalvorCrcCheck-$version-win64"
zip_file="$build/$name.zip"
setup_file="$build/TalvorCrcCheck-$version-setup.exe"

stage="$build/stage"
rm -rf "$stage" "$zip_file" "$setup_file"
mkdir -p "$stage"
cp "$build/app/TalvorCrcCheck.exe" "$build/app/TalvorCrcCheck.com" "$root/README.md" "$stage/"
(cd "$stage" && rhash --bsd --sha3-256 README.md TalvorCrcCheck.com TalvorCrcCheck.exe > SHA3-256SUMS)
chmod 0644 "$stage"/*
touch -d "@$epoch" "$stage"/*
# -X leaves out the owner ids and the extra time stamps; -D the folder entry.
(cd "$stage" && ls | LC_ALL=C sort | TZ=UTC zip -X -D -9 -q "$zip_file" -@)
echo "$zip_file"
makensis -V2 -WX -DVERSION="$version" -DNUMERIC_VERSION="$numeric_version" -DFILES="$stage" \
    -DREADME="$stage/README.md" -DOUTFILE="$setup_file" "$root/scripts/installer.nsi" >/dev/null
echo "$setup_file"
