# Shared by the scripts that drive a program's window on a virtual display.
# Source it after setting `bin`; it skips (77) when a tool or the program is
# missing, makes the work directory `work` (removed on exit, with the
# program `app_pid` and the display stopped), and starts Xvfb as DISPLAY.

for tool in Xvfb xdotool import; do
    command -v $tool >/dev/null 2>&1 || { echo "skip: $tool is not installed"; exit 77; }
done
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
[ -x "$bin" ] || { echo "skip: $bin is not built"; exit 77; }

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# The display libraries keep allocations to the end of the process.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
end=$((SECONDS + 20))
until [ -s "$work/display" ]; do
    [ $SECONDS -lt $end ] || { echo "skip: Xvfb did not start"; cat "$work/xvfb.log"; exit 77; }
    sleep 0.1
done
export DISPLAY=":$(head -1 "$work/display")"
