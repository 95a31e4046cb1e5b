#!/usr/bin/env bash
# An update of a large list against a bare listing of the same folder, under
# Wine, both measured in the same run: 100,000 files of 1 KiB listed in a
# tagged list, then 100 files added. The update (the program started with
# -update= until its status bar reads "Ready", launch included) walks the
# folder, compares every name and digests the 100 new files; the reference
# is walk_floor.exe --list (FindFirstFileW over the tree, launch included).
# Goal: update/listing <= 2. Beside it the program's own start (launch to
# the idle window), which the update's time includes and the console floor's
# hardly has, and the update's peak memory against a check of the same list.
# Not a test: speed shows only as ratios.
#
#   bench/update_bench.sh [BUILD_DIR]     (default: build-win; keeps no data)
#
# UPDATE_BENCH_FILES and UPDATE_BENCH_NEW change the sizes (100000, 100);
# UPDATE_BENCH_ROUNDS the turns (3, best of each kept).
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
. "$root/bench/bench-common.sh" "${1:-}" update

talvor_wine_start "$build"
files=${UPDATE_BENCH_FILES:-100000}
added=${UPDATE_BENCH_NEW:-100}
print_machine

tree="$data/tree"
python3 "$root/bench/make_tree.py" "$tree" "$files" 1024 1024
list="$tree/list.txt"
wine "$app" -crc -exit "-dir=$(windows_path "$tree")" "-save=$(windows_path "$list")" \
    </dev/null >/dev/null 2>&1
cp "$list" "$data/list.before"
python3 "$root/bench/make_tree.py" "$tree" "$added" 1024 1024 "$files"

timed wine "$floor" --list "$(windows_path "$tree")" >/dev/null
listing_s=""
update_s=""
update_peak=0
for _ in $(seq 1 "${UPDATE_BENCH_ROUNDS:-3}"); do
    listing_s=$(best "$listing_s" "$(timed wine "$floor" --list "$(windows_path "$tree")")")
    cp "$data/list.before" "$list"
    read -r round_s update_peak _ <<<"$(run_app -crc "-update=$(windows_path "$list")")"
    update_s=$(best "$update_s" "$round_s")
done
idle_run >/dev/null   # the first start sets Wine up
read -r startup _ <<<"$(idle_run)"
lines=$(wc -l < "$list")
[ "$lines" -eq $((files + added)) ] || echo "warning: the list has $lines lines, not $((files + added))"
read -r _ check_peak _ <<<"$(run_app "-chk=$(windows_path "$list")")"
printf 'update  %d files, %d new, CRC-32C   update %6.2f s   bare listing %6.2f s   update/listing %.2f (goal <= 2)\n' \
    "$files" "$added" "$update_s" "$listing_s" "$(calc "$update_s / $listing_s")"
printf '        program start alone %6.2f s   start/listing %.2f\n' \
    "$startup" "$(calc "$startup / $listing_s")"
printf '        peak memory: update %.1f MB, check of the same list %.1f MB, update/check %.2f\n' \
    "$(calc "$update_peak / 1024")" "$(calc "$check_peak / 1024")" "$(calc "$update_peak / $check_peak")"
