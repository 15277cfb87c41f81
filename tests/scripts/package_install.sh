#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from this build,
# unpacked into a scratch root, its metadata checked, and the installed
# program run in a terminal through one conversion; lintian finds no error
# or warning in it. Then `make install` into a DESTDIR and `make uninstall` leave
# nothing behind. Skips (77) without cpack, dpkg-deb, lintian or tmux.
set -u

build=$(cd "${QUORIL_BUILD_DIR:-build}" && pwd)
for tool in cpack dpkg-deb lintian tmux; do
    command -v $tool >/dev/null 2>&1 || { echo "skip: $tool is not installed"; exit 77; }
done
[ -x "$build/convzul" ] || { echo "skip: $build/convzul is not built"; exit 77; }

work=$(mktemp -d)
sock="convzul-pkg-$$"
cleanup() {
    tmux -L "$sock" kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# ---- the package ----
(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; exit 1; }
deb=$(ls "$work"/pkg/convzul_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { fail "no convzul_*.deb"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for dep in xdg-utils espeak-ng-data libsdl2; do
    grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
dpkg-deb -e "$deb" "$work/control"
for conf in /etc/quoril/QUORIL.INI /etc/quoril/registry.reg; do
    grep -qx "$conf" "$work/control/conffiles" || fail "$conf is not a configuration file"
done

# Lintian as Debian judges a package: no error and no warning (what it
# warns of by design is overridden in the package, each with its reason).
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian finds errors or warnings"; }
grep '^W:' "$work/lintian.log"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/convzul usr/share/applications/convzul.desktop usr/share/icons/hicolor/scalable/apps/convzul.svg \
         etc/quoril/QUORIL.INI usr/share/quoril/som/letras/_65.wav usr/share/doc/convzul/LEIAME.html; do
    [ -e "$root/$f" ] || fail "the package lacks /$f"
done
# Every program a user runs has its manual page, in both folders.
for bin in "$root"/usr/bin/*; do
    for dir in man1 pt_BR/man1; do
        [ -f "$root/usr/share/man/$dir/$(basename "$bin").1.gz" ] || fail "no manual page $dir/$(basename "$bin").1.gz"
    done
done
ls "$root"/usr/share/quoril/som/difones/*.IND >/dev/null 2>&1 || fail "the package lacks the diphone database"
grep -q '^Exec=.*convzul' "$root/usr/share/applications/convzul.desktop" || fail "the desktop entry does not start convzul"
# The guide a screen reader reads: real tables with header cells, and the
# anchors its own links point to.
html="$root/usr/share/doc/convzul/LEIAME.html"
grep -q '<th>Tecla</th>' "$html" || fail "LEIAME.html has no key tables"
for anchor in $(grep -o 'href="#[^"]*"' "$html" | sed 's/href="#//; s/"$//' | sort -u); do
    grep -q "id=\"$anchor\"" "$html" || fail "LEIAME.html links to #$anchor, which it lacks"
done

# The scratch root stands for /: its settings name it.
sed -i "s#/usr/share/quoril#$root/usr/share/quoril#g" "$root/etc/quoril/QUORIL.INI"
[ -f "$root/etc/quoril/registry.reg" ] && sed -i "s#/usr/#$root/usr/#g" "$root/etc/quoril/registry.reg"

printf 'abc\r\nol\xe9\n' > "$work/entrada.txt"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
echo "set -g alternate-screen off" > "$work/tmux.conf"
tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
    "cd '$work' && SDL_AUDIODRIVER=dummy QUORIL_CONSOLE=terminal QUORIL_WINDIR='$root/etc/quoril' '$root/usr/bin/convzul' 2>'$work/stderr'; echo \"EXIT=\$?\"; sleep 60"
screen() { tmux -L "$sock" capture-pane -p -S - -t 0 2>/dev/null; }
wait_for() {
    local end=$((SECONDS + 60))
    until screen | grep -qF -- "$1"; do
        [ $SECONDS -lt $end ] || { fail "'$1' did not appear"; screen; cat "$work/stderr"; exit 1; }
        sleep 0.2
    done
}
wait_for "Qual o arquivo a converter?"
tmux -L "$sock" send-keys -t 0 -l "entrada.txt"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "Qual o arquivo de sa"
tmux -L "$sock" send-keys -t 0 -l "saida.zul"
tmux -L "$sock" send-keys -t 0 Enter
wait_for "EXIT="
screen | grep -q "EXIT=0" || fail "the installed program did not end with 0"
# abc -> 106 110 110; "olé" -> OEM 111 108 130, masks 11 12 13.
cmp -s "$work/saida.zul" <(printf '\152\156\156\r\n\144\140\217\r\n') || { fail "the ZUL file differs"; od -An -tu1 "$work/saida.zul"; }

# ---- make install and make uninstall ----
inst="$work/inst"
DESTDIR="$inst" cmake --install "$build" --prefix /usr/local >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "install"; }
[ -x "$inst/usr/local/bin/convzul" ] && [ -f "$inst/etc/quoril/QUORIL.INI" ] || fail "install put nothing in place"
grep -q "/usr/local/share/quoril" "$inst/etc/quoril/QUORIL.INI" || fail "the installed settings do not name the prefix"
DESTDIR="$inst" cmake -P "$build/uninstall.cmake" >"$work/uninstall.log" 2>&1 || { cat "$work/uninstall.log"; fail "uninstall"; }
left=$(find "$inst" -mindepth 1 \( -type f -o -type l -o -name '*quoril*' -o -name 'pt_BR' -o -name convzul \) | head -n 5)
[ -z "$left" ] || fail "uninstall left: $left"

[ $failures -eq 0 ] && echo "ok" || echo "$failures failure(s)"
exit $((failures > 0))
