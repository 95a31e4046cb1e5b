#!/usr/bin/env bash
# CTest's emulator for the Windows test binaries: wine-exec.sh BUILD_DIR EXE [ARGS...]
# Starts the session if the test run did not (a plain `ctest` call).
here=$(dirname "$(readlink -f "$0")")
. "$here/wine-env.sh"
build=$1
shift
if [ ! -f "$build/wineprefix/.talvor-ready" ] || ! talvor_display_up; then
    talvor_wine_start "$build" || exit 1
fi
talvor_wine_env "$build"
exec wine "$@"
