#!/usr/bin/env bash
# A signal from outside ends build/convzul as a quit message does, in the
# window (SIGTERM, under Xvfb) and in the terminal (SIGINT, under tmux), and
# so does the display going away (Xvfb ended):
# mid-conversion, the program ends within a few seconds with exit code 255
# and the ZUL file holds whole converted lines, byte-exact.
# Skips (77) without Xvfb and xdotool, or tmux, or the program.
set -u

build=${QUORIL_BUILD_DIR:-build}
bin=$(cd "$build" && pwd)/convzul
command -v tmux >/dev/null 2>&1 || { echo "skip: tmux is not installed"; exit 77; }
source "$(dirname "$0")/lib/xvfb.bash"
sock="convzul-signal-$$"
trap 'tmux -L "$sock" kill-server >/dev/null 2>&1; cleanup' EXIT

windir=$(cd "$build" && pwd)/etc
failures=0
fail() { echo "FAIL($1): $2"; failures=$((failures + 1)); }

# Lines long enough to be heard one by one: the conversion lasts minutes.
for i in $(seq 1 3000); do printf 'linha %d do texto que se converte\r\n' "$i"; done >"$work/entrada.txt"
# The ZUL form of all of it: each byte of a line XOR (position + 10) mod 20.
perl -ne 's/\r?\n$//; my $p = 0; print join("", map { chr(ord($_) ^ ((++$p + 10) % 20)) } split //), "\r\n"' \
    "$work/entrada.txt" >"$work/esperado.zul"

# Waits until the output has a few lines, then sends the signal to pid $2
# and checks how and when the program ended ($3: a command that prints
# its exit code once it has ended).
signal_midway() {
    local what=$1 pid=$2 ended=$3 sig=$4
    local out=$work/saida-$what.zul
    local end=$((SECONDS + 90))
    until [ "$(stat -c %s "$out" 2>/dev/null || echo 0)" -gt 200 ]; do
        [ $SECONDS -lt $end ] || { fail "$what" "the conversion did not start"; return; }
        sleep 0.2
    done
    kill -"$sig" "$pid"
    end=$((SECONDS + 20))
    local code=""
    until code=$($ended) && [ -n "$code" ]; do
        [ $SECONDS -lt $end ] || { fail "$what" "still running 20 s after SIG$sig"; kill -KILL "$pid" 2>/dev/null; return; }
        sleep 0.2
    done
    [ "$code" = 255 ] || fail "$what" "exit code $code after SIG$sig, not 255"
    local size
    size=$(stat -c %s "$out")
    cmp -s -n "$size" "$out" "$work/esperado.zul" || fail "$what" "the output is not what was converted"
    [ "$(tail -c 2 "$out" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "$what" "the output ends inside a line"
    [ "$size" -lt "$(stat -c %s "$work/esperado.zul")" ] || fail "$what" "the whole file was converted before the signal"
    echo "ok($what): SIG$sig ended it with 255, $(grep -c $'\r' "$out") whole lines kept"
}

# ---- the window ----
# Starts the program in the window and gives it the names $1.txt... (the
# input) and saida-$1.zul; sets win_pid. The pid comes from the shell that
# starts the program: other tests may be running it at the same time.
start_window() {
    local what=$1
    win_pid=""
    (cd "$work" && {
        SDL_AUDIODRIVER=dummy QUORIL_CONSOLE=sdl QUORIL_WINDIR="$windir" "$bin" >"$work/$what.out" 2>"$work/$what.err" &
        echo $! >"$work/$what.pid"
        wait $!
        echo $? >"$work/$what.code"
    }) &
    local end=$((SECONDS + 60)) win=""
    until [ -s "$work/$what.pid" ] || [ $SECONDS -ge $end ]; do sleep 0.1; done
    win_pid=$(cat "$work/$what.pid" 2>/dev/null)
    app_pid=$win_pid
    until [ -n "$win" ]; do
        win=$(xdotool search --name convzul 2>/dev/null | head -1)
        [ $SECONDS -lt $end ] || break
        sleep 0.3
    done
    if [ -z "$win" ] || [ -z "$win_pid" ]; then
        fail "$what" "no window"
        cat "$work/$what.err"
        return 1
    fi
    xdotool windowfocus --sync "$win" 2>/dev/null
    sleep 1
    xdotool type --delay 60 "entrada.txt"
    xdotool key Return
    sleep 1
    xdotool type --delay 60 "saida-$what.zul"
    xdotool key Return
}
sdl_code() { [ -s "$work/sdl.code" ] && cat "$work/sdl.code"; }
if start_window sdl; then
    signal_midway sdl "$win_pid" sdl_code TERM
    app_pid=""
fi

# ---- the terminal ----
export LANG=C.UTF-8 LC_ALL=C.UTF-8
echo "set -g alternate-screen off" >"$work/tmux.conf"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
    "cd '$work' && SDL_AUDIODRIVER=dummy QUORIL_CONSOLE=terminal QUORIL_WINDIR='$windir' '$bin' 2>'$work/term.err'; echo \"EXIT=\$?\"; sleep 60"
screen() { tmux -L "$sock" capture-pane -p -S - -t 0 2>/dev/null; }
wait_for() {
    local end=$((SECONDS + 60))
    until screen | grep -qF -- "$1"; do
        [ $SECONDS -lt $end ] || { fail terminal "'$1' did not appear"; screen; return 1; }
        sleep 0.2
    done
}
if wait_for "Qual o arquivo a converter?"; then
    tmux -L "$sock" send-keys -t 0 -l "entrada.txt"
    tmux -L "$sock" send-keys -t 0 Enter
    wait_for "Qual o arquivo de sa" && {
        tmux -L "$sock" send-keys -t 0 -l "saida-terminal.zul"
        tmux -L "$sock" send-keys -t 0 Enter
        shell=$(tmux -L "$sock" list-panes -F '#{pane_pid}' | head -1)
        term_pid=$(pgrep -P "$shell" -f convzul | head -1)
        term_code() { screen | sed -n 's/^EXIT=\([0-9]*\).*/\1/p' | tail -1; }
        signal_midway terminal "$term_pid" term_code INT
    }
fi

# ---- the display going away ----
# The X server ends mid-conversion (a session closed): the program ends as
# a quit does, and says why.
display_code() { [ -s "$work/display.code" ] && cat "$work/display.code"; }
if start_window display; then
    signal_midway display "$xvfb_pid" display_code TERM
    grep -q "conex.o com a tela foi perdida" "$work/display.err" ||
        fail display "no word of the lost display on standard error: $(head -3 "$work/display.err")"
    app_pid=""
    xvfb_pid=""
fi

[ $failures -eq 0 ] || exit 1
echo "ok: signals end the program as a quit message does"
