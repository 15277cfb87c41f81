#!/usr/bin/env bash
# Runs build/convzul on the desktop window under Xvfb as a user would: the
# window must show its first prompt (a screenshot that is not blank, kept as
# sdl_window.png in the build directory), then both names are typed with
# xdotool, and the ZUL file and the exit code are checked.
# Skips (77) without Xvfb, xdotool, ImageMagick or the program.
set -u

build=${QUORIL_BUILD_DIR:-build}
bin="$build/convzul"
bin=$(cd "$(dirname "$bin")" && pwd)/convzul

source "$(dirname "$0")/lib/xvfb.bash"

windir=$(cd "$build" && pwd)/etc
[ -d "$windir" ] || windir="$work"

# Light pixels on the screen: the text drawn (white on black by default).
light() {
    import -window root "$work/shot.png" 2>/dev/null || { echo 0; return; }
    "$convert" "$work/shot.png" -colorspace Gray -threshold 50% -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Waits until the count of light pixels exceeds $1 and holds still for a
# moment (the program has written what it had to write and waits).
wait_light() {
    local above=$1 limit=${2:-60} n=0 last=-1
    local end=$((SECONDS + limit))
    while [ $SECONDS -lt $end ]; do
        n=$(light)
        if [ "${n:-0}" -gt "$above" ] && [ "$n" -eq "$last" ]; then echo "$n"; return 0; fi
        last=${n:-0}
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.5
    done
    echo "${n:-0}"
    return 1
}

printf 'abc\r\n' > "$work/entrada.txt"
(cd "$work" && SDL_AUDIODRIVER=dummy QUORIL_CONSOLE=sdl QUORIL_WINDIR="$windir" exec "$bin" >"$work/stdout" 2>"$work/stderr") &
app_pid=$!

# The title and the first prompt: two lines of text.
if ! first=$(wait_light 2000); then
    echo "FAIL: the window stayed blank ($first light pixels)"
    cat "$work/stderr"
    exit 1
fi
cp "$work/shot.png" "$build/sdl_window.png" 2>/dev/null
# Without the diphone database the program stops at start-up (it says so on
# the screen and waits for Enter): then only the window itself is checked.
difdir=$(grep -i '^DIRDIFONES=' "$windir/QUORIL.INI" 2>/dev/null | head -1 | cut -d= -f2- | tr -d '\r')
letdir=$(grep -i '^DIRLETRAS=' "$windir/QUORIL.INI" 2>/dev/null | head -1 | cut -d= -f2- | tr -d '\r')
if [ -z "$difdir" ] || ! ls "$difdir" 2>/dev/null | grep -qi '\.ind$' || [ -z "$letdir" ] || [ ! -d "$letdir" ]; then
    echo "ok: the window shows its first screen; the voice data is not built ('${difdir:-?}', '${letdir:-?}'), so no conversion"
    exit 0
fi
win=$(xdotool search --name convzul | head -1)
[ -n "$win" ] || { echo "FAIL: no convzul window"; exit 1; }
xdotool windowfocus --sync "$win" 2>/dev/null

xdotool type --delay 60 "entrada.txt"
xdotool key Return
# The second prompt adds a line.
if ! second=$(wait_light $((first + first / 3))); then
    echo "FAIL: no second prompt ($first, then $second light pixels); the first screen is in $build/sdl_window.png"
    kill -0 "$app_pid" 2>/dev/null || echo "convzul had ended"
    cat "$work/stderr"
    exit 1
fi
xdotool type --delay 60 "saida.zul"
xdotool key Return

end=$((SECONDS + 120))
while kill -0 "$app_pid" 2>/dev/null && [ $SECONDS -lt $end ]; do sleep 0.2; done
if kill -0 "$app_pid" 2>/dev/null; then
    echo "FAIL: convzul did not end"
    light >/dev/null
    cp "$work/shot.png" "$build/sdl_window_end.png" 2>/dev/null
    exit 1
fi
wait "$app_pid"; status=$?
app_pid=""
[ "$status" -eq 0 ] || { echo "FAIL: convzul ended with $status"; cat "$work/stderr"; exit 1; }
printf '\152\156\156\r\n' > "$work/expected"
cmp "$work/expected" "$work/saida.zul" || { echo "FAIL: the ZUL file differs"; od -An -tu1 "$work/saida.zul"; exit 1; }
echo "ok: convzul converted a file typed into its window"
