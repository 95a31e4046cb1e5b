#!/bin/sh
# After the end-to-end tests added the new files of grow/ to its rhash-made
# list: rhash reads every line back, the two it wrote and the three added.
set -e
cd "$1/grow"
test "$(wc -l < list.txt)" -eq 5
rhash -c list.txt
