#!/usr/bin/env bash
# Drives build/convzul in a terminal as a user would: the terminal backend
# inside tmux, both names typed at the keyboard, then the ZUL file checked
# byte by byte. Skips (77) without tmux or without the program.
set -u

build=${QUORIL_BUILD_DIR:-build}
bin="$build/convzul"
command -v tmux >/dev/null 2>&1 || { echo "skip: tmux is not installed"; exit 77; }
[ -x "$bin" ] || { echo "skip: $bin is not built"; exit 77; }

work=$(mktemp -d)
# One tmux server per run of the program: a server being shut down must not
# meet the next run's client on the same socket.
sock="convzul-test-$$-a"
cleanup() {
    tmux -L "convzul-test-$$-a" kill-server >/dev/null 2>&1
    tmux -L "convzul-test-$$-b" kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

windir="$build/etc"
[ -d "$windir" ] || windir="$work"

# abc, a line with Latin-1 letters (é ç), a tab at position 13, no final line end.
printf 'abc\r\nol\xe9 \xe7\nAAAAAAAAAAAA\tX' > "$work/meu texto.txt"

export LANG=C.UTF-8 LC_ALL=C.UTF-8
# Without the alternate screen the last screen stays in the pane after the
# program has ended, so its last message can be read.
echo "set -g alternate-screen off" > "$work/tmux.conf"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
    "cd '$work' && QUORIL_CONSOLE=terminal QUORIL_WINDIR='$windir' '$bin'; echo \"EXIT=\$?\"; sleep 60"

# The pane's history too: what went to standard error while the screen was
# up is written out when the program ends, and may scroll the last screen.
screen() { tmux -L "$sock" capture-pane -p -S - -t 0 2>/dev/null; }

wait_for() {
    local text=$1 limit=${2:-60}
    local end=$((SECONDS + limit))
    while [ $SECONDS -lt $end ]; do
        if screen | grep -qF -- "$text"; then return 0; fi
        sleep 0.2
    done
    echo "FAIL: '$text' did not appear; the screen was:"
    screen
    exit 1
}

wait_for "Qual o arquivo a converter?"
tmux -L "$sock" send-keys -t 0 -l "meu texto.txt"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "Qual o arquivo de sa"
tmux -L "$sock" send-keys -t 0 -l "saida.zul"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "Ok, convertido"
wait_for "EXIT=0"

expected="$work/expected"
# abc -> 106 110 110; "olé ç" -> OEM then masks 11..15; 12 A's then a tab
# that becomes 10, then X (mask 4).
printf '\152\156\156\r\n' > "$expected"
printf '\144\140\217\056\210\r\n' >> "$expected"
printf '\112\115\114\117\116\121\120\123\122\101\100\103\012\134\r\n' >> "$expected"
if ! cmp "$expected" "$work/saida.zul"; then
    echo "FAIL: the ZUL file differs"
    od -An -tu1 "$work/saida.zul"
    exit 1
fi
input_intact() {
    cmp -s "$work/meu texto.txt" <(printf 'abc\r\nol\xe9 \xe7\nAAAAAAAAAAAA\tX') || { echo "FAIL: input changed"; exit 1; }
}
input_intact
# A full disk: the error is shown and the program ends with code 1.
tmux -L "$sock" kill-server >/dev/null 2>&1
sock="convzul-test-$$-b"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
    "cd '$work' && QUORIL_CONSOLE=terminal QUORIL_WINDIR='$windir' '$bin' 2>'$work/stderr'; echo \"EXIT=\$?\"; sleep 60"
wait_for "Qual o arquivo a converter?"
tmux -L "$sock" send-keys -t 0 -l "meu texto.txt"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "Qual o arquivo de sa"
tmux -L "$sock" send-keys -t 0 -l "/dev/full"
tmux -L "$sock" send-keys -t 0 Enter
# Written and spoken first, then the reverse-video line waits for a key.
wait_for "(/dev/full) [Enter]"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "EXIT=1"
grep -q "Não há espaço disponível no dispositivo" "$work/stderr" || { echo "FAIL: no error on standard error"; exit 1; }
if screen | grep -qF "Ok, convertido"; then echo "FAIL: success reported after a failure"; exit 1; fi
input_intact

# A UTF-8 file: the screen shows its letters, and its ZUL is the one of the
# same text in Windows-1252.
tmux -L "$sock" kill-server >/dev/null 2>&1
sock="convzul-test-$$-c"
printf '\xef\xbb\xbfa\xc3\xa7\xc3\xa3o, p\xc3\xa3es\nvoc\xc3\xaa \xc3\xa9\n' > "$work/utf8.txt"
printf 'a\xe7\xe3o, p\xe3es\r\nvoc\xea \xe9\r\n' > "$work/twin.txt"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
    "cd '$work' && QUORIL_CONSOLE=terminal QUORIL_WINDIR='$windir' '$bin'; echo \"EXIT=\$?\"; sleep 60"
wait_for "Qual o arquivo a converter?"
tmux -L "$sock" send-keys -t 0 -l "utf8.txt"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "Qual o arquivo de sa"
tmux -L "$sock" send-keys -t 0 -l "utf8.zul"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "Ok, convertido"
wait_for "EXIT=0"
screen | grep -qF "ação, pães" || { echo "FAIL: the accented letters are not on the screen"; screen; exit 1; }
if [ -x "$build/zul" ]; then
    "$build/zul" encode "$work/twin.txt" "$work/twin.zul" || { echo "FAIL: zul encode"; exit 1; }
    cmp "$work/twin.zul" "$work/utf8.zul" || { echo "FAIL: the UTF-8 file's ZUL differs from its twin's"; exit 1; }
fi
# The twin's ZUL by hand: "ação, pães" and "você é" through code page 850 and the masks.
if ! cmp <(printf '\152\213\313\141\043\060\141\324\166\163\r\n\175\143\156\206\057\222\r\n') "$work/utf8.zul"; then
    echo "FAIL: the UTF-8 file's ZUL is wrong"
    od -An -tu1 "$work/utf8.zul"
    exit 1
fi

echo "ok: convzul converted files typed at the terminal (Windows-1252 and UTF-8), and reported a full disk"
