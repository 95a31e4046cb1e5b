#!/bin/sh
# Lists written by rhash, the peer tool, for the program to check: every
# SHA-3 size and CRC-32C, relative paths (taken from the list's folder),
# absolute host paths (rooted, so the program takes them from the list's
# drive: Wine's Z: is the host's root) and the same paths as Z: drive paths.
# changed/ is a copy of the tree whose lists were made before one file
# changed.
set -e
dir=$1
rm -rf "$dir"
mkdir -p "$dir/tree/sub dir"
printf abc > "$dir/tree/a.txt"
printf 'second file' > "$dir/tree/sub dir/b (1).bin"
: > "$dir/tree/empty"
cd "$dir/tree"
rhash --bsd --crc32c --sha3-224 --sha3-256 --sha3-384 --sha3-512 \
    a.txt "sub dir/b (1).bin" ./empty > relative.txt
rhash --bsd --sha3-512 --crc32c "$dir/tree/a.txt" "$dir/tree/sub dir/b (1).bin" > absolute.txt
sed 's#^\([^ ]*\) (/#\1 (Z:/#' absolute.txt > drive.txt
cd "$dir"
cp -r tree changed
printf 'second file, changed' > "changed/sub dir/b (1).bin"
# grow/: a list made before files were added to its folder, for the program
# to list the new files, add them, and for rhash to read the grown list back
# (read_back_rhash_list.sh).
mkdir -p "$dir/grow/sub" "$dir/grow/fresh"
printf abc > "$dir/grow/a.txt"
printf 'second file' > "$dir/grow/sub/b.txt"
(cd "$dir/grow" && rhash --bsd --sha3-256 a.txt sub/b.txt > list.txt)
printf new > "$dir/grow/new.txt"
printf more > "$dir/grow/sub/more.txt"
printf deeper > "$dir/grow/fresh/c.txt"
