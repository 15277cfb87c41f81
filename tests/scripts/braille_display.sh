#!/usr/bin/env bash
# The braille display against a real BRLTTY. brltty runs with its Virtual
# driver (vr), which plays a braille display over a socket with a line
# protocol: BRLTTY writes each line it shows as 'Visual "text"' and
# 'Braille "dots|dots|..."', and takes the display's keys as lines (FWINRT,
# ROUTE 5, PASSDOTS 3), one key at a time. This script is that display, 40 cells wide, through
# bash's /dev/tcp; BrlAPI listens on a loopback port of its own. convzul
# runs in tmux and finds the server through BRLAPI_HOST. The test reads the
# rows the display shows, pans, routes the line editor's cursor and types
# braille, and checks the converted file. Skips (77) without brltty, tmux or
# the program.
set -u

build=${QUORIL_BUILD_DIR:-build}
bin="$build/convzul"
command -v tmux >/dev/null 2>&1 || { echo "skip: tmux is not installed"; exit 77; }
command -v brltty >/dev/null 2>&1 || { echo "skip: brltty is not installed (Debian package brltty)"; exit 77; }
[ -x "$bin" ] || { echo "skip: $bin is not built"; exit 77; }

work=$(mktemp -d)
sock="convzul-braille-$$"
brltty_pid=
reader_pid=
cleanup() {
    tmux -L "$sock" kill-server >/dev/null 2>&1
    [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null
    if [ -n "$brltty_pid" ] && kill "$brltty_pid" 2>/dev/null; then
        for _ in $(seq 1 50); do kill -0 "$brltty_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$brltty_pid" 2>/dev/null
        wait "$brltty_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# A port nothing answers on (the loopback only).
free_port() {
    local p
    for _ in $(seq 1 50); do
        p=$((20000 + RANDOM % 20000))
        if ! (exec 9<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return 0; fi
    done
    return 1
}
display_port=$(free_port) || { echo "skip: no free loopback port"; exit 77; }
api_port=$(free_port) || { echo "skip: no free loopback port"; exit 77; }
while [ "$api_port" -le 4101 ] || [ "$api_port" = "$display_port" ]; do api_port=$(free_port); done
api_host="127.0.0.1:$((api_port - 4101))"  # BrlAPI's port is 4101 + the number after the colon

brltty -n -q -e -l info,brlkeys -f /dev/null -F "$work/prefs" -W "$work" -U "$work" -P "$work/brltty.pid" \
    -x no -s no -t pt -A "auth=none,host=$api_host" -b vr -d "server:127.0.0.1:$display_port" \
    >"$work/brltty.log" 2>&1 &
brltty_pid=$!

# Connect as the display once the driver listens.
end=$((SECONDS + 20))
until exec 3<>"/dev/tcp/127.0.0.1/$display_port"; do
    if ! kill -0 "$brltty_pid" 2>/dev/null || [ $SECONDS -ge $end ]; then
        echo "skip: brltty cannot run here; its log:"
        cat "$work/brltty.log"
        exit 77
    fi
    sleep 0.2
done 2>/dev/null
cat <&3 >"$work/display.log" &
reader_pid=$!
send() { printf '%s\n' "$1" >&3; }
send "cells 40"

# The last line of each kind the display was given.
visual() { grep '^Visual ' "$work/display.log" | tail -n 1 | sed -e 's/^Visual "//' -e 's/"\r\?$//'; }
braille() { grep '^Braille ' "$work/display.log" | tail -n 1 | sed -e 's/^Braille "//' -e 's/"\r\?$//'; }
# The cell (from 1) that holds the cursor: dots 7 and 8 over a character of
# plain text (capitals add dot 7 only, digits dot 8 only); 0 for none.
cursor_cell() {
    braille | tr '|' '\n' | awk '/7/ && /8/ { print NR; found = 1; exit } END { if (!found) print 0 }'
}
screen() { tmux -L "$sock" capture-pane -p -t 0 2>/dev/null; }

# wait_display TEXT CELL: until the display shows TEXT (the start of its
# line) with the cursor on CELL (0: anywhere or none).
wait_display() {
    local text=$1 cell=$2 end=$((SECONDS + 30))
    while [ $SECONDS -lt $end ]; do
        if [ "$(visual)" = "$text" ] && { [ "$cell" = 0 ] || [ "$(cursor_cell)" = "$cell" ]; }; then
            printf 'display: [%s] cursor %s\n         %s\n' "$(visual)" "$(cursor_cell)" "$(braille)"
            return 0
        fi
        sleep 0.1
    done
    echo "FAIL: the display did not show [$text] with the cursor on cell $cell; it shows:"
    printf '  [%s] cursor %s\n  %s\n' "$(visual)" "$(cursor_cell)" "$(braille)"
    echo "the screen:"
    screen
    echo "brltty's log ends:"
    tail -n 20 "$work/brltty.log"
    exit 1
}
wait_screen() {
    local end=$((SECONDS + 60))
    while [ $SECONDS -lt $end ]; do
        if screen | grep -qF -- "$1"; then return 0; fi
        sleep 0.2
    done
    echo "FAIL: '$1' did not appear; the screen was:"
    screen
    exit 1
}
pad() { printf '%-40s' "$1"; }

windir="$build/etc"
[ -d "$windir" ] || windir="$work"
printf 'abc\r\n' >"$work/entrada.txt"
echo "set -g alternate-screen off" >"$work/tmux.conf"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
    "cd '$work' && env -u WINDOWPATH -u XDG_VTNR BRLAPI_HOST='$api_host' BRLAPI_AUTH=none \
     QUORIL_CONSOLE=terminal QUORIL_WINDIR='$windir' '$bin'; echo \"EXIT=\$?\"; sleep 60"

wait_screen "Qual o arquivo a converter?"
# The editor waits on the row under the prompt: the display shows that row
# with the cursor on its first cell.
wait_display "$(pad "")" 1
# The line keys show the prompt above it, and RETURN brings the display
# back to the cursor.
send "LNUP"
wait_display "$(pad "Qual o arquivo a converter?")" 0
send "RETURN"
wait_display "$(pad "")" 1
# Typed on the keyboard: the row follows, the cursor after the text.
tmux -L "$sock" send-keys -t 0 -l "entrada.txt"
wait_display "$(pad "entrada.txt")" 12
# Braille typed on the display is read by the six-key keyboard's table,
# not by BRLTTY's (Portuguese here, where dots 3 is a full stop): dots
# 1-3-5 is o, dots 3 an apostrophe; with dot 8, a to j are the digits, and
# dots 3-8 is our full stop.
send "PASSDOTS 0x15"
wait_display "$(pad "entrada.txto")" 13
send "PASSDOTS 0x04"
wait_display "$(pad "entrada.txto'")" 14
tmux -L "$sock" send-keys -t 0 BSpace
wait_display "$(pad "entrada.txto")" 13
send "PASSDOTS 0x81"
wait_display "$(pad "entrada.txto1")" 14
send "PASSDOTS 0x84"
wait_display "$(pad "entrada.txto1.")" 15
# Routing key over the o: the editor's cursor goes there, and Backspace
# deletes the t before it.
send "ROUTE 11"
wait_display "$(pad "entrada.txto1.")" 12
tmux -L "$sock" send-keys -t 0 BSpace
wait_display "$(pad "entrada.txo1.")" 11
# End, then a long tail: the cursor passes column 40 and the display shows
# the row's second stretch; the panning keys move between the two.
tmux -L "$sock" send-keys -t 0 End
tmux -L "$sock" send-keys -t 0 -l "$(printf 'x%.0s' $(seq 1 30))"
wait_display "$(pad "xxx")" 4
send "FWINLT"
wait_display "$(pad "entrada.txo1.xxxxxxxxxxxxxxxxxxxxxxxxxxx")" 0
[ "$(cursor_cell)" = 0 ] || { echo "FAIL: the cursor shown on the first stretch"; exit 1; }
send "FWINRT"
wait_display "$(pad "xxx")" 4
# Back to the plain name, typed and routed: Ctrl+Y empties the field.
tmux -L "$sock" send-keys -t 0 C-y
wait_display "$(pad "")" 1
tmux -L "$sock" send-keys -t 0 -l "entrada.txt"
tmux -L "$sock" send-keys -t 0 Enter
wait_screen "Qual o arquivo de sa"
tmux -L "$sock" send-keys -t 0 -l "saida.zul"
tmux -L "$sock" send-keys -t 0 Enter
wait_screen "Ok, convertido"
wait_screen "EXIT=0"
printf '\152\156\156\r\n' | cmp - "$work/saida.zul" || { echo "FAIL: the ZUL file differs"; exit 1; }
kill -0 "$brltty_pid" 2>/dev/null || { echo "FAIL: brltty ended"; cat "$work/brltty.log"; exit 1; }
echo "ok: the display showed the cursor's row, panned, routed the editor's cursor and typed braille"

# BRLTTY stopped and started again in the middle of a conversion. The text
# comes through a named pipe, a few lines at a time, so that the conversion
# is surely running at each step: lines are converted (and shown, which
# writes to the dead connection) while BRLTTY is gone, the display shows
# the conversion again once BRLTTY is back, and the file holds every line.
start_brltty() {
    brltty -n -q -e -l info,brlkeys -f /dev/null -F "$work/prefs" -W "$work" -U "$work" -P "$work/brltty.pid" \
        -x no -s no -t pt -A "auth=none,host=$api_host" -b vr -d "server:127.0.0.1:$display_port" \
        >>"$work/brltty.log" 2>&1 4>&- &
    brltty_pid=$!
    local end=$((SECONDS + 20))
    until exec 3<>"/dev/tcp/127.0.0.1/$display_port"; do
        [ $SECONDS -lt $end ] || { echo "FAIL: brltty did not start again"; tail -n 20 "$work/brltty.log"; exit 1; }
        sleep 0.2
    done 2>/dev/null
    : >"$work/display.log"
    cat <&3 >"$work/display.log" 4>&- &
    reader_pid=$!
    send "cells 40"
}
stop_brltty() {
    kill "$brltty_pid"
    wait "$brltty_pid" 2>/dev/null
    exec 3<&-
    kill "$reader_pid" 2>/dev/null
    wait "$reader_pid" 2>/dev/null
    reader_pid=
}
feed() {
    local from=$1 to=$2 i
    for ((i = from; i <= to; i++)); do printf 'linha %d do texto\r\n' "$i"; done >&4
}
tmux -L "$sock" kill-server >/dev/null 2>&1
mkfifo "$work/texto.fifo"
# BrlAPI's own leak of a lost connection (see the file) is not ours.
lsan="suppressions=$(cd "$(dirname "$0")/.." && pwd)/lsan.supp"
for ((i = 1; i <= 60; i++)); do printf 'linha %d do texto\r\n' "$i"; done >"$work/texto.txt"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
    "cd '$work' && env -u WINDOWPATH -u XDG_VTNR BRLAPI_HOST='$api_host' BRLAPI_AUTH=none \
     LSAN_OPTIONS='$lsan' QUORIL_CONSOLE=terminal QUORIL_WINDIR='$windir' '$bin'; echo \"EXIT=\$?\"; sleep 60"
# Opened here, after tmux started, so that only this script holds the pipe
# (the programs it starts from now on are not given it): closing it ends
# the text.
exec 4<>"$work/texto.fifo"
wait_screen "Qual o arquivo a converter?"
tmux -L "$sock" send-keys -t 0 -l "texto.fifo"
tmux -L "$sock" send-keys -t 0 Enter
wait_screen "Qual o arquivo de sa"
tmux -L "$sock" send-keys -t 0 -l "texto.zul"
tmux -L "$sock" send-keys -t 0 Enter
feed 1 20
wait_screen "linha 20 do texto"
wait_display "$(pad "")" 1
stop_brltty
feed 21 40
# The lines are shown (and written to the lost connection); then, past
# BRLTTY's retry time, the program is still there.
end=$((SECONDS + 60))
until screen | grep -q "linha 40 do texto\|^EXIT=" || [ $SECONDS -ge $end ]; do sleep 0.2; done
end=$((SECONDS + 4))
until screen | grep -q "^EXIT=" || [ $SECONDS -ge $end ]; do sleep 0.2; done
if screen | grep -q "^EXIT="; then
    echo "FAIL: convzul ended when BRLTTY stopped:"
    screen | grep "^EXIT="
    exit 1
fi
start_brltty
# The program is waiting for more text: what the display shows now is the
# line its braille thread kept, sent again on the new connection.
wait_display "$(pad "")" 1
feed 41 60
wait_screen "linha 60 do texto"
exec 4>&-
wait_screen "Ok, convertido"
wait_screen "EXIT=0"
"$build/zul" encode "$work/texto.txt" "$work/esperado.zul" || { echo "FAIL: zul encode failed"; exit 1; }
cmp "$work/esperado.zul" "$work/texto.zul" || { echo "FAIL: lines were lost across BRLTTY's restart"; exit 1; }
echo "ok: a conversion went on while BRLTTY stopped and started again; the display came back and no line was lost"
