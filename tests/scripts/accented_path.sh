#!/usr/bin/env bash
# The voice data installed under a folder whose name has accents
# (".../joão/Área de Trabalho"): QUORIL.INI and registry.reg written by the
# build's own script, as an install writes them, and once more with the
# registry saved in UTF-8 as an editor may save it. Each time the built-in
# voice must find its database through the registry and speak: sintetizar
# makes speech of the name br4, and convzul with TIPOSAPI=3 converts a file
# in a terminal without saying that the built-in voice is unavailable.
# Skips (77) without tmux, perl or the built voice data.
set -u

build=$(cd "${QUORIL_BUILD_DIR:-build}" && pwd)
src=$(cd "${QUORIL_SOURCE_DIR:-.}" && pwd)
for tool in tmux perl iconv; do
    command -v $tool >/dev/null 2>&1 || { echo "skip: $tool is not installed"; exit 77; }
done
[ -x "$build/convzul" ] && [ -x "$build/sintetizar" ] && [ -x "$build/fonemas" ] || { echo "skip: the programs are not built"; exit 77; }
[ -f "$build/share/quoril/tireltts/br4" ] && [ -f "$build/engine/registry.reg.in" ] || { echo "skip: the voice data is not built"; exit 77; }

work=$(mktemp -d)
sock="convzul-accent-$$"
cleanup() {
    tmux -L "$sock" kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL($1): $2"; failures=$((failures + 1)); }

root="$work/joão/Área de Trabalho"
mkdir -p "$root/etc"
cp -r "$build/share" "$root/share"
data="$root/share/quoril"

cmake -DTEMPLATE="$src/data/QUORIL.INI.in" -DOUTPUT="$root/etc/QUORIL.INI" -DQUORIL_DATA_DIR="$data" \
    -P "$src/cmake/scripts/write_ini.cmake" >/dev/null || { fail ini "write_ini.cmake"; exit 1; }
# The built-in voice speaks (the file is Windows-1252: bytes, not text).
LC_ALL=C perl -pi -e 's/^SAPI=.*/SAPI=S\r/; s/^;?TIPOSAPI=3\b.*/TIPOSAPI=3\r/' "$root/etc/QUORIL.INI"
grep -aq '^TIPOSAPI=3' "$root/etc/QUORIL.INI" || fail ini "no TIPOSAPI=3 line to turn on"

printf 'um texto\r\ndois\r\n' >"$work/entrada.txt"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
echo "set -g alternate-screen off" >"$work/tmux.conf"

# One run of both programs with the registry file as it is now.
speaks() {
    local what=$1 before=$failures
    "$build/fonemas" "Bom dia." >"$work/bomdia.pho"
    rm -f "$work/fala.wav"
    QUORIL_WINDIR="$root/etc" "$build/sintetizar" br4 "$work/bomdia.pho" "$work/fala.wav" 2>"$work/sint.err"
    local size
    size=$(stat -c %s "$work/fala.wav" 2>/dev/null || echo 0)
    [ "$size" -gt 8000 ] || { fail "$what" "sintetizar made no speech of br4 ($size bytes)"; cat "$work/sint.err"; }

    tmux -L "$sock" kill-server >/dev/null 2>&1
    rm -f "$work/saida.zul" "$work/err"
    tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
        "cd '$work' && SDL_AUDIODRIVER=dummy QUORIL_CONSOLE=terminal QUORIL_WINDIR='$root/etc' '$build/convzul' 2>'$work/err'; echo \"EXIT=\$?\"; sleep 60"
    screen() { tmux -L "$sock" capture-pane -p -S - -t 0 2>/dev/null; }
    wait_for() {
        local end=$((SECONDS + 60))
        until screen | grep -qF -- "$1"; do
            [ $SECONDS -lt $end ] || { fail "$what" "'$1' did not appear"; screen; return 1; }
            sleep 0.2
        done
    }
    wait_for "Qual o arquivo a converter?" || return
    tmux -L "$sock" send-keys -t 0 -l "entrada.txt"
    tmux -L "$sock" send-keys -t 0 Enter
    wait_for "Qual o arquivo de sa" || return
    tmux -L "$sock" send-keys -t 0 -l "saida.zul"
    tmux -L "$sock" send-keys -t 0 Enter
    wait_for "EXIT=" || return
    screen | grep -q "EXIT=0" || fail "$what" "convzul did not end with 0"
    if screen | grep -q "indispon" || grep -q "indispon" "$work/err"; then
        fail "$what" "the built-in voice did not start: $(grep indispon "$work/err")"
    fi
    [ -s "$work/saida.zul" ] || fail "$what" "no ZUL file"
    [ $failures -eq "$before" ] && echo "ok($what): the built-in voice spoke from '$root'"
}

# As the build writes it: Windows-1252.
cmake -DTEMPLATE="$build/engine/registry.reg.in" -DOUTPUT="$root/etc/registry.reg" -DQUORIL_REG_DB="$data/tireltts/br4" \
    -P "$src/cmake/scripts/write_ini.cmake" >/dev/null || fail registry "write_ini.cmake"
LC_ALL=C grep -aq $'jo\xe3o' "$root/etc/registry.reg" || fail registry "registry.reg is not in Windows-1252"
speaks "Windows-1252 registry"

# As an editor may save it: UTF-8.
iconv -f WINDOWS-1252 -t UTF-8 "$root/etc/registry.reg" >"$work/utf8.reg" && mv "$work/utf8.reg" "$root/etc/registry.reg"
speaks "UTF-8 registry"

[ $failures -eq 0 ] || exit 1
echo "ok: the built-in voice speaks under an accented path"
