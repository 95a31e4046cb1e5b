#!/usr/bin/env bash
# CTest's emulator for the Windows test binaries: wine-exec.sh BUILD_DIR EXE [ARGS...]
# Starts the session if the test run did not (a plain `ctest` call).
#
# With TALVOR_TEST_DPI set, the prefix's DPI (the user's LogPixels value) is
# that number for this run only. The value to put back is kept in a file
# until it is back, so a run killed on its timeout is mended by the next run.
here=$(dirname "$(readlink -f "$0")")
. "$here/wine-env.sh"
build=$1
shift
if [ ! -f "$build/wineprefix/.talvor-ready" ] || ! talvor_display_up; then
    talvor_wine_start "$build" || exit 1
fi
talvor_wine_env "$build"

dpi_key='HKCU\Control Panel\Desktop'
saved_dpi="$WINEPREFIX.saved-dpi"

set_log_pixels() {
    if [ "$1" = none ]; then
        wine reg delete "$dpi_key" /v LogPixels /f
    else
        wine reg add "$dpi_key" /v LogPixels /t REG_DWORD /d "$1" /f
    fi </dev/null >/dev/null 2>&1
}

restore_dpi() {
    [ -f "$saved_dpi" ] || return 0
    set_log_pixels "$(cat "$saved_dpi")" && rm -f "$saved_dpi"
}

restore_dpi
if [ -z "${TALVOR_TEST_DPI:-}" ]; then
    exec wine "$@"
fi

current=$(wine reg query "$dpi_key" /v LogPixels 2>/dev/null </dev/null |
    awk '$1 == "LogPixels" { print $3 }')
if [ -n "$current" ]; then
    echo $((current)) > "$saved_dpi"
else
    echo none > "$saved_dpi"
fi
trap restore_dpi EXIT
set_log_pixels "$TALVOR_TEST_DPI" || exit 1
wine "$@"
