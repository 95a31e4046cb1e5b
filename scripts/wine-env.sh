# Shared Wine session helpers, sourced by the other scripts.
#
# One virtual X display and one persistent wineserver serve a whole test run.
# The prefix lives in the build folder and is initialised once per folder.
# Everything started in the background has its output sent to /dev/null:
# otherwise it would inherit a caller's pipe and that pipe would never close.

TALVOR_DISPLAY_NUMBER=${TALVOR_DISPLAY_NUMBER:-97}

talvor_wine_env() {
    local build
    build=$(cd "$1" && pwd)
    export WINEPREFIX="$build/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    # Xlib keeps a display's resources once it has read some, but looks for
    # them again on every query when there were none: on a bare Xvfb that
    # was thousands of file probes per scan. A resource file of our own,
    # empty, gives it something to keep.
    export XENVIRONMENT="$build/xresources"
    [ -f "$XENVIRONMENT" ] || echo '! no resources of our own' >"$XENVIRONMENT"
    if [ -z "${TALVOR_KEEP_DISPLAY:-}" ]; then
        export DISPLAY=":$TALVOR_DISPLAY_NUMBER"
    fi
}

talvor_display_up() {
    [ -S "/tmp/.X11-unix/X$TALVOR_DISPLAY_NUMBER" ] || return 1
    local pid
    pid=$(tr -d ' ' < "/tmp/.X$TALVOR_DISPLAY_NUMBER-lock" 2>/dev/null) || return 1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null
}

talvor_start_display() {
    [ -n "${TALVOR_KEEP_DISPLAY:-}" ] && return 0
    talvor_display_up && return 0
    rm -f "/tmp/.X$TALVOR_DISPLAY_NUMBER-lock" "/tmp/.X11-unix/X$TALVOR_DISPLAY_NUMBER"
    setsid Xvfb ":$TALVOR_DISPLAY_NUMBER" -screen 0 1280x1024x24 -nolisten tcp \
        </dev/null >/dev/null 2>&1 9>&- &
    local i
    for i in $(seq 1 100); do
        talvor_display_up && return 0
        sleep 0.1
    done
    echo "Xvfb did not come up on :$TALVOR_DISPLAY_NUMBER" >&2
    return 1
}

# Starts the display, initialises the prefix of build folder $1 if needed and
# keeps its wineserver alive until talvor_wine_stop.
talvor_wine_start() {
    talvor_wine_env "$1"
    talvor_start_display || return 1
    local lock="$WINEPREFIX.lock"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.talvor-ready" ]; then
            mkdir -p "$WINEPREFIX"
            setsid wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
            wineboot -i </dev/null >/dev/null 2>&1 9>&-
            # Debian keeps Wine's Marlett outside the prefix; without it the
            # caption buttons are drawn as plain letters in screenshots.
            cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
            touch "$WINEPREFIX/.talvor-ready"
        fi
        # Fails harmlessly when the server already runs.
        setsid wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
        # The first call of a session starts Wine's background services; let
        # it happen here, with its output going nowhere.
        wineboot </dev/null >/dev/null 2>&1 9>&- || true
    ) 9>"$lock"
}

talvor_wine_stop() {
    talvor_wine_env "$1"
    wineserver -k </dev/null >/dev/null 2>&1 || true
}

talvor_stop_display() {
    [ -n "${TALVOR_KEEP_DISPLAY:-}" ] && return 0
    local pid
    pid=$(tr -d ' ' < "/tmp/.X$TALVOR_DISPLAY_NUMBER-lock" 2>/dev/null) || return 0
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
}
