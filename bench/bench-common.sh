# Shared by the Wine benchmarks, sourced after `root` is set: the build's
# program, driver and floor, a data folder removed on exit, and small helpers.
# $1: the build folder (default build-win); $2: the data folder's name.
build=$(cd "${1:-$root/build-win}" && pwd)
data="$root/bench-data/$2"
. "$root/scripts/wine-env.sh"

cmake --build "$build" --target TalvorCrcCheck talvor_driver walk_floor >/dev/null
app="$build/app/TalvorCrcCheck.exe"
driver="$build/tests/e2e/talvor_driver.exe"
floor="$build/bench/walk_floor.exe"

cleanup() { rm -rf "$data"; rmdir "$root/bench-data" 2>/dev/null || true; }
trap cleanup EXIT

now() { date +%s.%N; }
calc() { echo "$1" | bc -l; }
windows_path() { local p="Z:${1//\//\\}"; echo "$p"; }
# The smaller of a best-so-far ($1, empty at first) and a new time ($2).
best() { if [ -z "$1" ] || [ "$(calc "$2 < $1")" = 1 ]; then echo "$2"; else echo "$1"; fi; }
# Seconds from launch to the idle window and the peak memory (KiB) then.
idle_run() {
    local start seconds pid peak
    start=$(now)
    wine "$app" </dev/null >/dev/null 2>&1 &
    pid=$!
    wine "$driver" --timeout 60000 wait-window </dev/null >/dev/null 2>&1
    seconds=$(calc "$(now) - $start")
    sleep 1
    peak=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    wine "$driver" close </dev/null >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
    echo "$seconds ${peak:-0}"
}
# CPU seconds a process has used so far (user and system).
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) / hz}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# Runs the program with ARGS until "Ready"; prints "seconds peak_kib
# cpu_seconds", the CPU being the program's and the wineserver's.
run_app() {
    local start end pid peak server server_before cpu
    server=$(pgrep -n wineserver || echo 0)
    server_before=$(cpu_of "$server")
    start=$(now)
    wine "$app" "$@" </dev/null >/dev/null 2>&1 &
    pid=$!
    wine "$driver" --timeout 3600000 --phase OK --phase BAD wait-ready </dev/null >/dev/null 2>&1
    end=$(now)
    peak=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    cpu=$(calc "$(cpu_of "$pid") + $(cpu_of "$server") - $server_before")
    wine "$driver" close </dev/null >/dev/null 2>&1 || true
    wait "$pid" 2>/dev/null || true
    echo "$(calc "$end - $start") ${peak:-0} $cpu"
}

# Seconds a command takes, its output dropped.
timed() {
    local start
    start=$(now)
    "$@" </dev/null >/dev/null 2>&1
    calc "$(now) - $start"
}

print_machine() {
    echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
}
