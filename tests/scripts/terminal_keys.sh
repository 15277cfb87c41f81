#!/usr/bin/env bash
# Types keys into the terminal window inside tmux and checks the messages
# they become, with two terminal descriptions: "screen" (8 colours, few key
# capabilities, so the modified keys rest on the sequences the backend
# teaches ncurses) and "tmux-256color". Then checks the screen shows the
# program's text and that Alt+F4 ends it with the terminal restored, and
# that what is written to standard error, when that is the terminal, stays
# off the screen until the program has ended.
# Skips (77) without tmux or without build/keyecho.
set -u

build=${QUORIL_BUILD_DIR:-build}
bin="$build/keyecho"
command -v tmux >/dev/null 2>&1 || { echo "skip: tmux is not installed"; exit 77; }
[ -x "$bin" ] || { echo "skip: $bin is not built"; exit 77; }

work=$(mktemp -d)
sock="keyecho-test-$$"
cleanup() {
    tmux -L "$sock" kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# tmux keys (one send-keys call; "-l TEXT" sends TEXT literally), then the
# log lines they must give, separated by "|".
read -r -d '' table <<'KEYS'
Up	keydown 26 -
C-Up	keydown 26 C
M-Left	syskeydown 25 A
S-Right	keydown 27 S
Home	keydown 24 -
End	keydown 23 -
PPage	keydown 21 -
NPage	keydown 22 -
IC	keydown 2D -
DC	keydown 2E -
C-Home	keydown 24 C
C-End	keydown 23 C
C-PPage	keydown 21 C
C-NPage	keydown 22 C
C-IC	keydown 2D C
S-IC	keydown 2D S
F1	keydown 70 -
F5	keydown 74 -
F10	keydown 79 -
F12	keydown 7B -
S-F1	keydown 70 S
C-F2	keydown 71 C
C-S-F9	keydown 78 CS
C-S-F11	keydown 7A CS
C-S-F12	keydown 7B CS
Enter	keydown 0D -|char 0D -
C-j	keydown 0D C|char 0A C
BSpace	keydown 08 -|char 08 -
C-h	keydown 08 C|char 7F C
Tab	keydown 09 -|char 09 -
Escape	keydown 1B -|char 1B -
a	keydown 41 -|char 61 -
A	keydown 41 S|char 41 S
C-a	keydown 41 C|char 01 C
C-c	keydown 43 C|char 03 C
C-z	keydown 5A C|char 1A C
M-x	syskeydown 58 A
C-M-a	keydown 41 CA
C-\	keydown DC C|char 1C C
C-]	keydown DD C|char 1D C
-l 7	keydown 37 -|char 37 -
-l ç	char E7 -
-l É	char C9 -
-l €	char 80 -
-l 中	char 4E2D -
KEYS

failures=0

run_table() {
    local term=$1 log="$work/keys-$1.log"
    printf 'set -g default-terminal "%s"\nset -g escape-time 10\n' "$term" > "$work/tmux.conf"
    tmux -L "$sock" kill-server >/dev/null 2>&1
    sock="keyecho-test-$$-$term"
    tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
        "QUORIL_CONSOLE=terminal '$bin' '$log' 2>'$work/stderr-$term'; echo \"EXIT=\$?\"; sleep 60"
    local end=$((SECONDS + 20))
    until grep -q '^ready' "$log" 2>/dev/null; do
        [ $SECONDS -lt $end ] || { echo "FAIL($term): keyecho did not start"; cat "$work/stderr-$term"; failures=$((failures + 1)); return; }
        sleep 0.1
    done
    grep -q '^ready terminal$' "$log" || { echo "FAIL($term): $(head -1 "$log")"; failures=$((failures + 1)); return; }
    sleep 0.3
    while IFS=$'\t' read -r keys expected; do
        [ -n "$keys" ] || continue
        local before after want got bars
        before=$(wc -l < "$log")
        if [ -z "$expected" ]; then want=0; else
            bars=${expected//[^|]/}; want=$((${#bars} + 1)); fi
        # shellcheck disable=SC2086
        tmux -L "$sock" send-keys -t 0 $keys
        # A busy machine may take seconds; a key that gives nothing still fails.
        end=$((SECONDS + 15))
        while :; do
            after=$(wc -l < "$log")
            [ $((after - before)) -ge "$want" ] && [ "$want" -gt 0 ] && break
            [ $SECONDS -lt $end ] || break
            [ "$want" -eq 0 ] && { sleep 0.5; break; }
            sleep 0.05
        done
        sleep 0.05
        got=$(tail -n +$((before + 1)) "$log" | paste -sd'|')
        if [ "$got" != "$expected" ]; then
            echo "FAIL($term): keys '$keys' gave '$got', want '$expected'"
            failures=$((failures + 1))
        fi
    done <<< "$table"

    # F2: a message box on the last line, in reverse video, until a key;
    # the screen's line comes back afterwards.
    tmux -L "$sock" send-keys -t 0 F2
    end=$((SECONDS + 5))
    until tmux -L "$sock" capture-pane -p -t 0 | tail -1 | grep -qF "keyecho: caixa de mensagem (ção)"; do
        [ $SECONDS -lt $end ] || { echo "FAIL($term): no message box on the last line"; tmux -L "$sock" capture-pane -p -t 0; failures=$((failures + 1)); break; }
        sleep 0.1
    done
    tmux -L "$sock" capture-pane -e -p -t 0 | tail -1 | grep -q $'\e\[7m' ||
        { echo "FAIL($term): the message box is not in reverse video"; failures=$((failures + 1)); }
    tmux -L "$sock" send-keys -t 0 Enter
    end=$((SECONDS + 5))
    until grep -q '^messagebox closed$' "$log"; do
        [ $SECONDS -lt $end ] || { echo "FAIL($term): the message box did not close"; failures=$((failures + 1)); break; }
        sleep 0.1
    done
    end=$((SECONDS + 15))
    while tmux -L "$sock" capture-pane -p -t 0 | tail -1 | grep -qF "caixa de mensagem"; do
        [ $SECONDS -lt $end ] || { echo "FAIL($term): the message box stayed on the screen"; failures=$((failures + 1)); break; }
        sleep 0.1
    done
    # Standard error is not the terminal here: the message goes there at once.
    grep -qxF "keyecho: caixa de mensagem (ção)" "$work/stderr-$term" ||
        { echo "FAIL($term): the message is not on standard error"; failures=$((failures + 1)); }
    grep -vxF "keyecho: caixa de mensagem (ção)" "$work/stderr-$term" > "$work/stderr-$term.other"

    # The window's text is on the screen, accents included.
    tmux -L "$sock" capture-pane -p -t 0 | grep -qF "keyecho: teclas recebidas (ção)" ||
        { echo "FAIL($term): the title is not on the screen"; tmux -L "$sock" capture-pane -p -t 0; failures=$((failures + 1)); }
    # Alt+F4 closes the window; the program ends and gives the terminal back.
    tmux -L "$sock" send-keys -t 0 M-F4
    end=$((SECONDS + 10))
    until tmux -L "$sock" capture-pane -p -t 0 | grep -q "EXIT=0"; do
        [ $SECONDS -lt $end ] || { echo "FAIL($term): Alt+F4 did not end keyecho"; tmux -L "$sock" capture-pane -p -t 0; failures=$((failures + 1)); break; }
        sleep 0.1
    done
    if [ -s "$work/stderr-$term.other" ]; then
        echo "FAIL($term): keyecho wrote to standard error:"; cat "$work/stderr-$term.other"; failures=$((failures + 1))
    fi
}

# Standard error on the terminal itself: F3 writes a line there, which must
# not show while the window is up, and must show once keyecho has ended.
stderr_on_terminal() {
    local log="$work/keys-stderr.log" line="keyecho: direto na saida de erro"
    printf 'set -g default-terminal "screen"\nset -g alternate-screen off\n' > "$work/tmux.conf"
    tmux -L "$sock" kill-server >/dev/null 2>&1
    sock="keyecho-test-$$-stderr"
    tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
        "QUORIL_CONSOLE=terminal TMPDIR='$work' '$bin' '$log'; echo \"EXIT=\$?\"; sleep 60"
    local end=$((SECONDS + 20))
    until grep -q '^ready terminal$' "$log" 2>/dev/null; do
        [ $SECONDS -lt $end ] || { echo "FAIL(stderr): keyecho did not start"; failures=$((failures + 1)); return; }
        sleep 0.1
    done
    tmux -L "$sock" send-keys -t 0 F3
    end=$((SECONDS + 5))
    until grep -q '^keydown 72 -$' "$log"; do
        [ $SECONDS -lt $end ] || { echo "FAIL(stderr): F3 did not arrive"; failures=$((failures + 1)); return; }
        sleep 0.05
    done
    sleep 0.5
    if tmux -L "$sock" capture-pane -p -t 0 | grep -qF "$line"; then
        echo "FAIL(stderr): standard error landed on the screen:"; tmux -L "$sock" capture-pane -p -t 0
        failures=$((failures + 1))
    fi
    tmux -L "$sock" send-keys -t 0 M-F4
    end=$((SECONDS + 10))
    until tmux -L "$sock" capture-pane -p -t 0 | grep -q "EXIT=0"; do
        [ $SECONDS -lt $end ] || { echo "FAIL(stderr): keyecho did not end with 0"; tmux -L "$sock" capture-pane -p -t 0; failures=$((failures + 1)); return; }
        sleep 0.1
    done
    tmux -L "$sock" capture-pane -p -t 0 | grep -qxF "$line" ||
        { echo "FAIL(stderr): the line written to standard error is lost"; tmux -L "$sock" capture-pane -p -t 0; failures=$((failures + 1)); }
    if ls "$work"/quoril-stderr-* >/dev/null 2>&1; then
        echo "FAIL(stderr): the file that held standard error is left behind"; failures=$((failures + 1))
    fi
}

run_table screen
if infocmp tmux-256color >/dev/null 2>&1; then run_table tmux-256color; fi
stderr_on_terminal

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "ok: terminal keys"
