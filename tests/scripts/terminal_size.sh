#!/usr/bin/env bash
# build/convzul in terminals of other sizes than 80 x 25, in tmux: a narrow
# one says once why it cannot show all 80 columns (in lines that fit), a
# resize gives back what did not fit, and a terminal of few rows shows the
# rows being written. Skips (77) without tmux or without the program.
set -u

build=${QUORIL_BUILD_DIR:-build}
bin="$build/convzul"
command -v tmux >/dev/null 2>&1 || { echo "skip: tmux is not installed"; exit 77; }
[ -x "$bin" ] || { echo "skip: $bin is not built"; exit 77; }
bin=$(cd "$(dirname "$bin")" && pwd)/convzul
windir=$(cd "$build" && pwd)/etc
[ -f "$windir/QUORIL.INI" ] || { echo "skip: $windir/QUORIL.INI is not built"; exit 77; }

work=$(mktemp -d)
sock="convzul-size-$$"
trap 'tmux -L "$sock" kill-server >/dev/null 2>&1; rm -rf "$work"' EXIT
# Blank lines first (nothing to say), then the lines that must stay in sight.
for i in $(seq 1 40); do if [ "$i" -le 34 ]; then printf '\r\n'; else printf 'linha %d do texto\r\n' "$i"; fi; done > "$work/texto.txt"

export LANG=C.UTF-8 LC_ALL=C.UTF-8
echo "set -g alternate-screen off" > "$work/tmux.conf"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 30 -y 20 \
    "cd '$work' && SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 QUORIL_CONSOLE=terminal QUORIL_WINDIR='$windir' '$bin' 2>err; echo \$? > rc; sleep 600"

pane() { tmux -L "$sock" capture-pane -p -t 0 2>/dev/null; }
fail() {
    echo "FAIL: $1; the pane was:"
    pane
    exit 1
}
wait_for() {
    local end=$((SECONDS + ${2:-60}))
    until pane | tr '\n' ' ' | grep -qF -- "$1"; do
        [ $SECONDS -lt $end ] || fail "'$1' did not appear"
        sleep 0.2
    done
}
keys() { tmux -L "$sock" send-keys -t 0 -l "$1"; tmux -L "$sock" send-keys -t 0 Enter; }

# 30 columns: the title is cut; the reason comes in lines of at most 30.
wait_for "Qual o arquivo a converter?"
wait_for "O terminal mostra só 30 das 80 colunas da tela: o que passar da coluna 30 não aparece. Alargue o terminal para ver tudo."
pane | grep -qF "Conversor de arquivos para fo" || fail "the title's first 30 columns are not shown"
if pane | grep -qF "formato ZUL"; then fail "a 30-column terminal shows column 38"; fi
keys "texto.txt"
wait_for "Qual o arquivo de saída?"

# Wider: everything written comes back, told once.
tmux -L "$sock" resize-window -t 0 -x 100 -y 30
wait_for "Conversor de arquivos para formato ZUL" 20
[ "$(pane | grep -c "O terminal mostra")" -eq 1 ] || fail "the reason was told more than once"

# 6 rows: the rows being written stay in sight, up to the last message.
tmux -L "$sock" resize-window -t 0 -x 80 -y 6
sleep 0.5
keys "saida.zul"
wait_for "Ok, convertido" 120
pane | grep -qF "linha 40 do texto" || fail "the last line written is not in sight"
end=$((SECONDS + 60))
until [ -s "$work/rc" ]; do [ $SECONDS -lt $end ] || fail "the program did not end"; sleep 0.2; done
[ "$(cat "$work/rc")" = 0 ] || fail "the program ended with $(cat "$work/rc")"
[ "$(tr -cd '\n' < "$work/saida.zul" | wc -c)" -eq 40 ] || fail "the ZUL file does not hold 40 lines"
echo "ok: narrow, wide and short terminals show what they can, and say why once"
