#!/usr/bin/env bash
# Runs TALVOR CRC Check with the program's own arguments, for example
#     bash scripts/run.sh -dir=some/folder
#     bash scripts/run.sh -crc -file=notes.txt
# Relative paths are taken from the current folder.
#
# With a usable display (DISPLAY reachable and TALVOR_HEADLESS not 1) the
# program opens there and the script returns when it is closed. Without one
# it runs on the session's virtual display inside a Wine virtual desktop,
# waits for the requested job to end, prints the result rows and the status
# bar, writes a screenshot and closes the program.
set -euo pipefail
root=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
build=${TALVOR_BUILD_DIR:-$root/build-win}  # another Windows build folder, if given
app="$build/app/TalvorCrcCheck.exe"
driver="$build/tests/e2e/talvor_driver.exe"
desktop=talvor-$$  # one desktop per run, so a run only ever sees its own program
screenshot="$build/screenshot.png"

"$root/scripts/setup.sh"
cmake --build "$build" --target TalvorCrcCheck talvor_driver >/dev/null
. "$root/scripts/wine-env.sh"

# The session helpers expect failing steps to be looked at, not to end the
# script (a wineserver already running is such a step).
start_session() {
    talvor_wine_start "$build" || { echo "run: cannot start the Wine session" >&2; exit 1; }
}

display_usable() {
    [ "${TALVOR_HEADLESS:-}" != 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

if display_usable; then
    export TALVOR_KEEP_DISPLAY=1
    start_session
    exec wine "$app" "$@"
fi

# Only -file=, -dir= and -chk= request a job; without one the window just
# comes up idle.
requests_job() {
    local argument
    for argument in "$@"; do
        case "$argument" in -file=* | -dir=* | -chk=*) return 0 ;; esac
    done
    return 1
}

drive() {
    wine "$driver" --desktop "$desktop" --timeout "${TALVOR_RUN_TIMEOUT_MS:-120000}" "$@"
}

# The virtual desktop's own X window, raised so that nothing else on the
# shared display covers it, captured and cropped to the program's window.
take_screenshot() {
    local desktop_window geometry
    desktop_window=$(xdotool search --name "^$desktop - Wine desktop\$" 2>/dev/null | head -n 1) || true
    if [ -z "$desktop_window" ]; then
        xwd -silent -root | convert xwd:- "png:$screenshot"
        return
    fi
    xdotool windowraise "$desktop_window"
    geometry=$(drive layout | awk '$1 == "window" { printf "%dx%d+%d+%d", $4, $5, $2, $3 }') || true
    if [ -n "$geometry" ]; then
        xwd -silent -id "$desktop_window" | convert xwd:- -crop "$geometry" +repage "png:$screenshot"
    else
        xwd -silent -id "$desktop_window" | convert xwd:- "png:$screenshot"
    fi
}

start_session
wine explorer "/desktop=$desktop,1024x768" "$(winepath -w "$app")" "$@" </dev/null >/dev/null 2>&1 &
session=$!

if requests_job "$@"; then
    waited=wait-job
else
    waited=wait-ready
fi
if ! drive "$waited"; then
    echo "run: the program did not finish its job; closing it" >&2
    drive --timeout 5000 close >/dev/null 2>&1 || kill "$session" 2>/dev/null || true
    exit 1
fi

echo "Result list (Path, CRC, Status; newest row first):"
drive rows | sed 's/^/  /'
echo "Status bar (text, border):"
drive status | sed 's/^/  /'
take_screenshot
echo "Screenshot: $screenshot"
drive close | sed 's/^exit\t/Exit code: /'
wait "$session" || true
