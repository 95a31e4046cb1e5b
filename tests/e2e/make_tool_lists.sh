#!/bin/sh
# Lists written by the tools users hold them from, for the program to check:
# sha256sum, md5sum (binary marks), sha512sum (CR LF with a byte order mark),
# b3sum, xxhsum (XXH128 in GNU form, XXH3 in its own tags), rhash --sfv, a
# sidecar holding one digest, and a b3sum list under a name that says no
# algorithm. sha256sum escapes the name "esc\aped.txt"; the program reads it
# back as the path esc\aped.txt, which a twin file of the same bytes answers.
# changed/ and missing/ are copies of the tree with one file changed and one
# gone. save/ is where the program writes lists for the tools to verify
# (verify_tool_lists.sh), grow/ a sha256sum list it adds new files to.
set -e
dir=$1
rm -rf "$dir"
mkdir -p "$dir/tree/sub dir" "$dir/tree/esc"
cd "$dir/tree"
printf abc > a.txt
printf 'second file' > "sub dir/b (1).bin"
: > empty
printf 'escaped' > 'esc\aped.txt'
printf 'escaped' > esc/aped.txt
sha256sum a.txt "sub dir/b (1).bin" empty 'esc\aped.txt' > SHA256SUMS
md5sum -b a.txt "sub dir/b (1).bin" empty > MD5SUMS
sha512sum a.txt "sub dir/b (1).bin" empty | sed 's/$/\r/' > SHA512SUMS.tmp
{ printf '\357\273\277'; cat SHA512SUMS.tmp; } > SHA512SUMS
rm SHA512SUMS.tmp
b3sum a.txt "sub dir/b (1).bin" empty > list.b3
cp list.b3 neutral.txt
xxhsum -H2 a.txt "sub dir/b (1).bin" empty > list.xxh128
xxhsum -H3 a.txt "sub dir/b (1).bin" empty > list.xxh3
rhash --sfv a.txt "sub dir/b (1).bin" empty > list.sfv
sha256sum a.txt | cut -d ' ' -f 1 > a.txt.sha256
# Digests of other bytes under the tree's names: no candidate matches.
mkdir -p "$dir/other"
(cd "$dir/other" && printf xyz > a.txt && printf 'third' > empty && b3sum a.txt empty) > unsettled.txt
rm 'esc\aped.txt'
cd "$dir"
cp -r tree changed
printf 'second file, changed' > "changed/sub dir/b (1).bin"
cp -r tree missing
rm missing/a.txt
mkdir -p "$dir/save/files/sub"
printf abc > "$dir/save/files/a.txt"
printf 'in a folder' > "$dir/save/files/sub/c d.txt"
mkdir -p "$dir/grow"
printf abc > "$dir/grow/a.txt"
(cd "$dir/grow" && sha256sum a.txt > SHA256SUMS)
printf new > "$dir/grow/new.txt"
