#!/usr/bin/env bash
# The whole test run: setup, build both sides, run every test; then the
# smoke tests of the program built by the second compiler (clang).
set -uo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
. "$root/scripts/wine-env.sh"

"$root/scripts/setup.sh" || exit 1
cmake --build "$root/build-host" || exit 1
cmake --build "$root/build-win" || exit 1
cmake --build "$root/build-clang" --target talvor_smoke || exit 1

status=0
"$root/scripts/format.sh" --check || { echo "test: run scripts/format.sh" >&2; status=1; }
ctest --test-dir "$root/build-host" --output-on-failure || status=1

talvor_wine_start "$root/build-win" || exit 1
ctest --test-dir "$root/build-win" --output-on-failure || status=1
ctest --test-dir "$root/build-clang" -L smoke --output-on-failure || status=1
talvor_wine_stop "$root/build-win"
talvor_stop_display
exit $status
