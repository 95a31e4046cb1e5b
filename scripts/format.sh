#!/usr/bin/env bash
# Formats every C++ file the repository tracks with the root .clang-format.
# `--check` changes nothing and fails when a file is not formatted.
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
cd "$root"
mode=(-i)
if [ "${1:-}" = "--check" ]; then
    mode=(--dry-run -Werror)
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --style=file "${mode[@]}"
