#!/bin/sh
# After the end-to-end tests wrote their lists into save/ and grew grow/'s
# sha256sum list (make_tool_lists.sh): each list verifies with the tool its
# name suggests, run in the list's folder, and a list the program refused
# was never written.
set -e
cd "$1/save"
sha256sum -c SHA256SUMS
md5sum -c list.md5
b3sum -c B3SUMS
xxhsum -c list.xxh128
rhash -c list.sfv
test ! -e refused.sfv
test ! -e refused.md5
cd "$1/grow"
test "$(wc -l < SHA256SUMS)" -eq 2
sha256sum -c SHA256SUMS
