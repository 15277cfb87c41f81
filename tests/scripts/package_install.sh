#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from this build,
# unpacked into a scratch root, its metadata checked, and the installed
# program run in a terminal through one conversion; lintian finds no error
# or warning in it. Then `make install` into a DESTDIR and `make uninstall` leave
# nothing behind. Skips (77) without cpack, dpkg-deb, lintian or tmux.
#
# Then, as root in CI (CI set) or when QUORIL_INSTALL_PACKAGE=1, and only on
# a machine that has nothing of ours installed, the package is installed
# for real with apt and used from the installed paths, as a user would:
# convzul converts a file with the built-in voice loaded; falar speaks to a
# file and zul encodes; the speech-dispatcher module answers INIT, and a
# speech-dispatcher of the test's own, loading the installed modules as its
# system one does, speaks a sentence with it to a sink of the test sound
# server; where Orca, zenity, Xvfb and D-Bus are installed, Orca on a
# virtual desktop with at-spi reads a zenity dialog through that
# speech-dispatcher, whose default module is ours, and the dialog's text
# reaches the module and its sound the sink. Purging the package leaves
# nothing of ours behind. The parts whose tools are missing are skipped.
set -u

build=$(cd "${QUORIL_BUILD_DIR:-build}" && pwd)
src=${QUORIL_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
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
# The user's answers: entrada.txt to convert into saida.zul, then the end.
answer_prompts() {
    wait_for "Qual o arquivo a converter?"
    tmux -L "$sock" send-keys -t 0 -l "entrada.txt"
    tmux -L "$sock" send-keys -t 0 Enter
    wait_for "Qual o arquivo de sa"
    tmux -L "$sock" send-keys -t 0 -l "saida.zul"
    tmux -L "$sock" send-keys -t 0 Enter
    wait_for "EXIT="
}
answer_prompts
screen | grep -q "EXIT=0" || fail "the installed program did not end with 0"
# abc -> 106 110 110; "olé" -> OEM 111 108 130, masks 11 12 13.
cmp -s "$work/saida.zul" <(printf '\152\156\156\r\n\144\140\217\r\n') || { fail "the ZUL file differs"; od -An -tu1 "$work/saida.zul"; }

# ---- the installed package ----
installed_package() {
    command -v apt-get >/dev/null && command -v dpkg-query >/dev/null || { echo "installed package: not tried (no apt)"; return; }
    if [ "$(id -u)" -ne 0 ] || { [ -z "${CI:-}" ] && [ "${QUORIL_INSTALL_PACKAGE:-}" != 1 ]; }; then
        echo "installed package: not tried (only as root in CI, or with QUORIL_INSTALL_PACKAGE=1)"
        return
    fi
    # Never over what a user or another install put there.
    local ours=(/etc/quoril /usr/share/quoril /usr/lib/quoril /usr/lib/libmbrola.so.1 /usr/bin/convzul
                /etc/speech-dispatcher/modules/quoril.conf)
    local p
    if dpkg-query -W -f='${Status}' convzul 2>/dev/null | grep -qv "not-installed"; then
        echo "installed package: not tried (a convzul package is on this machine)"; return
    fi
    for p in "${ours[@]}"; do
        [ -e "$p" ] && { echo "installed package: not tried ($p is already there)"; return; }
    done
    installed_deb=$deb
    apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt install of the package"; return; }
    ldconfig -p | grep -Eq 'libmbrola\.so\.1 .*=> (/usr)?/lib/libmbrola\.so\.1$' || fail "the loader's cache lacks /usr/lib/libmbrola.so.1"
    installed_convzul
    installed_tools
    installed_module
}

# The installed converter, with the installed settings (/etc/quoril).
installed_convzul() {
    local run=$work/installed
    mkdir -p "$run"
    printf 'abc\r\nol\xe9\n' > "$run/entrada.txt"
    tmux -L "$sock" kill-server >/dev/null 2>&1
    sock=$sock-installed
    tmux -L "$sock" -f "$work/tmux.conf" new-session -d -x 100 -y 30 \
        "cd '$run' && env -u QUORIL_WINDIR SDL_AUDIODRIVER=dummy QUORIL_CONSOLE=terminal /usr/bin/convzul 2>'$run/stderr'; echo \"EXIT=\$?\"; sleep 60"
    answer_prompts
    screen | grep -q "EXIT=0" || fail "the installed convzul did not end with 0"
    if screen | grep -q "indispon" || grep -q "indispon" "$run/stderr"; then
        fail "the installed convzul has no built-in voice: $(cat "$run/stderr")"
    fi
    cmp -s "$run/saida.zul" <(printf '\152\156\156\r\n\144\140\217\r\n') || fail "the installed convzul's ZUL file differs"
    tmux -L "$sock" kill-server >/dev/null 2>&1
}

# falar speaks with the built-in voice into a WAV file; zul encodes.
installed_tools() {
    local run=$work/installed
    /usr/bin/falar -V embutida -o "$run/falar.wav" "Bom dia. O conversor está instalado e fala." 2>"$run/falar.err" ||
        fail "the installed falar failed: $(cat "$run/falar.err")"
    # Seconds of speech, not a header and a click.
    [ "$(stat -c %s "$run/falar.wav" 2>/dev/null || echo 0)" -gt 32000 ] || fail "the installed falar wrote no speech"
    /usr/bin/zul encode "$run/entrada.txt" "$run/zul.zul" 2>"$run/zul.err" || fail "the installed zul failed: $(cat "$run/zul.err")"
    cmp -s "$run/zul.zul" "$run/saida.zul" || fail "the installed zul and convzul wrote different files"
    # A document, read by the installed document helper (/usr/lib/quoril).
    command -v pandoc >/dev/null || { echo "installed package: document part skipped (no pandoc)"; return; }
    printf '# Ata\n\nA reuni\303\243o come\303\247a \303\240s nove horas.\n' >"$run/ata.md"
    pandoc "$run/ata.md" -o "$run/ata.docx" || { fail "pandoc could not write a DOCX"; return; }
    /usr/bin/zul encode "$run/ata.docx" "$run/ata.zul" 2>"$run/ata.err" &&
        /usr/bin/zul decode --utf8 "$run/ata.zul" - >"$run/ata.txt" 2>>"$run/ata.err" ||
        fail "the installed zul did not read a DOCX: $(cat "$run/ata.err")"
    grep -qx 'A reunião começa às nove horas.' "$run/ata.txt" || fail "the installed zul's DOCX text: $(cat "$run/ata.txt")"
}

# The installed module: INIT from its own folder, then through a real
# speech-dispatcher to a sink of the sound server.
installed_module() {
    local moddir
    moddir=$(pkg-config --variable=modulebindir speech-dispatcher 2>/dev/null)
    [ -n "$moddir" ] || moddir=/usr/lib/speech-dispatcher-modules
    local bin=$moddir/sd_quoril
    [ -x "$bin" ] || { fail "the package has no $bin"; return; }
    local t0 t1 answer
    t0=$(date +%s%N)
    answer=$(printf 'INIT\nQUIT\n' | timeout 30 "$bin" /etc/speech-dispatcher/modules/quoril.conf 2>"$work/init.err" | grep -m 1 '^[0-9][0-9][0-9] ')
    t1=$(date +%s%N)
    echo "installed module: INIT answered in $(((t1 - t0) / 1000000)) ms: $(tr '\n' ' ' <<<"$answer")"
    grep -q '^299 OK LOADED SUCCESSFULLY' <<<"$answer" || { fail "the installed module's INIT: $answer $(cat "$work/init.err")"; return; }

    for tool in speech-dispatcher spd-say pactl parec; do
        command -v $tool >/dev/null || { echo "installed module: speech-dispatcher part skipped (no $tool)"; return; }
    done
    export PULSE_RUNTIME_PATH=/tmp/quoril-pulse PULSE_SERVER=unix:/tmp/quoril-pulse/native
    "$src/scripts/start-sound-server" >/dev/null 2>&1 || { echo "installed module: speech-dispatcher part skipped (no sound server)"; return; }
    . "$src/tests/scripts/lib/sink.bash"
    local outer=$work
    open_sink package_install
    sink_work=$work sink_module=$module
    work=$outer
    trap cleanup EXIT
    # As the system's speech-dispatcher: no module named, every sd_* of
    # the module folder loaded with the installed configurations.
    local conf=$work/speechd
    mkdir -p "$conf/log"
    ln -s /etc/speech-dispatcher/modules "$conf/modules"
    cat >"$conf/speechd.conf" <<CONF
LogLevel 5
LogDir "$conf/log"
AudioOutputMethod "pulse"
AudioPulseServer "unix:/tmp/quoril-pulse/native"
AudioPulseDevice "$sink"
DefaultModule quoril
DefaultLanguage "pt-BR"
DefaultVolume 100
CONF
    speech-dispatcher -s -t 0 -C "$conf" -m "$moddir" -c unix_socket -S "$conf/sock" -P "$conf/pid" -L "$conf/log" \
        >"$conf/log/stdout" 2>&1 &
    spd=$!
    local end=$((SECONDS + 30))
    until [ -S "$conf/sock" ] || [ $SECONDS -ge $end ]; do sleep 0.05; done
    [ -S "$conf/sock" ] || { fail "speech-dispatcher did not start"; tail -20 "$conf/log/"*; return; }
    export SPEECHD_ADDRESS="unix_socket:$conf/sock"
    local modules
    modules=$(timeout 30 spd-say -O 2>&1)
    grep -qx '[[:space:]]*quoril' <<<"$modules" || { fail "speech-dispatcher did not load the installed module: $(tr '\n' ' ' <<<"$modules")"; grep -i quoril "$conf/log/speech-dispatcher.log" | tail -5; return; }

    work=$sink_work
    start_recording 16000
    local from sent first
    from=$(size)
    sent=$(date +%s%N)
    timeout 60 spd-say -w -o quoril -l pt-BR "Bom dia. O conversor está instalado." || fail "spd-say -o quoril did not end"
    # Half a second more, so that the end of the sentence is in.
    grown_past $(($(size) + 16000)) || fail "the recording stopped"
    first=$(tail -c +$((from + 1)) "$work/rec.raw" | od -An -v -t d2 -w2 |
        awk '{ if ($1 > 2000 || $1 < -2000) { print NR - 1; exit } }')
    local loud
    loud=$(tail -c +$((from + 1)) "$work/rec.raw" | od -An -v -t d2 -w2 | awk '{ if ($1 > 2000 || $1 < -2000) n++ } END { print n+0 }')
    echo "installed module: $loud loud samples at the sink; the first $(( ${first:-0} / 16 )) ms after spd-say started"
    # A quarter of a second of loud sound at least (silence gives none).
    [ "$loud" -gt 4000 ] || fail "the installed module's sentence did not reach the sink ($loud loud samples)"

    installed_orca "$conf"
    work=$outer
}

# A blind user's desktop: Orca reads a zenity dialog through the
# speech-dispatcher above, whose default module is ours.
installed_orca() {
    local conf=$1 tool
    for tool in orca zenity Xvfb dbus-run-session; do
        command -v $tool >/dev/null || { echo "installed module: Orca part skipped (no $tool)"; return; }
    done
    local desk=$sink_work/desktop
    mkdir -p "$desk/home" "$desk/runtime"
    chmod 700 "$desk/runtime"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$desk/display" 2>"$desk/xvfb.log" &
    xvfb=$!
    local end=$((SECONDS + 20))
    until [ -s "$desk/display" ] || [ $SECONDS -ge $end ]; do sleep 0.1; done
    [ -s "$desk/display" ] || { echo "installed module: Orca part skipped (Xvfb did not start)"; return; }
    local from
    from=$(size)
    # Orca sends the text with a mark before each word: the module is
    # known to have it by a word of it in what speech-dispatcher sent the
    # module it chose.
    local text="Arquivo convertido com sucesso" word=convertido
    # Orca and zenity in one D-Bus session with at-spi; a fresh home, so
    # that Orca starts with its own defaults (speech-dispatcher's default
    # module) and nobody's settings.
    env -i PATH="$PATH" HOME="$desk/home" XDG_RUNTIME_DIR="$desk/runtime" XDG_CONFIG_HOME="$desk/home/.config" \
        XDG_DATA_HOME="$desk/home/.local/share" XDG_CACHE_HOME="$desk/home/.cache" LANG=C.UTF-8 \
        DISPLAY=":$(head -n 1 "$desk/display")" SPEECHD_ADDRESS="$SPEECHD_ADDRESS" GTK_A11Y=atspi \
        PULSE_SERVER="$PULSE_SERVER" timeout 150 dbus-run-session -- bash -c '
            desk=$0 log=$1/log/speech-dispatcher.log text=$2 word=$3
            spoken() { grep -c "SPEAK" "$log" 2>/dev/null; }
            /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
            before=$(spoken)
            orca --replace >"$desk/orca.log" 2>&1 &
            orca=$!
            # Orca is ready once it has said its first words.
            end=$((SECONDS + 60))
            until [ "$(spoken)" -gt "$before" ] || [ $SECONDS -ge $end ]; do sleep 0.2; done
            zenity --info --title convzul --text "$text" >/dev/null 2>&1 &
            dialog=$!
            end=$((SECONDS + 40))
            until grep -q "sent to output module: .*$word" "$log" 2>/dev/null || [ $SECONDS -ge $end ]; do sleep 0.2; done
            # Its sound takes a moment more to play.
            sleep 4
            kill $dialog $orca 2>/dev/null
            wait $dialog $orca 2>/dev/null
            exit 0' "$desk" "$conf" "$text" "$word" 2>"$desk/session.log"
    kill $xvfb 2>/dev/null
    wait $xvfb 2>/dev/null
    xvfb=""
    local module
    module=$(awk -v word="$word" '/Desired output module is/ { m = $NF }
        /sent to output module: / && index($0, word) { print m; exit }' "$conf/log/speech-dispatcher.log")
    if [ "$module" != quoril ]; then
        fail "Orca did not read the dialog through the installed module (${module:-no module} had it)"
        tail -20 "$desk/orca.log"
        return
    fi
    local loud
    loud=$(tail -c +$((from + 1)) "$sink_work/rec.raw" | od -An -v -t d2 -w2 | awk '{ if ($1 > 2000 || $1 < -2000) n++ } END { print n+0 }')
    echo "installed module: Orca read the dialog; $loud loud samples at the sink"
    [ "$loud" -gt 4000 ] || fail "Orca's reading of the dialog did not reach the sink ($loud loud samples)"
}

# Purged, the package leaves nothing of ours: no file it had, no folder of
# ours, the loader forgets the engine.
purge_package() {
    [ -n "$installed_deb" ] || return 0
    installed_deb=""
    apt-get -o DPkg::Lock::Timeout=600 purge -y -q convzul >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "apt purge"; return; }
    local left
    left=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's#^\./#/#' | grep -v '/$' | while read -r f; do [ -e "$f" ] && echo "$f"; done)
    for d in /etc/quoril /usr/share/quoril /usr/lib/quoril /usr/share/doc/convzul; do [ -e "$d" ] && left="$left $d"; done
    [ -z "$left" ] || fail "purge left: $left"
    ! ldconfig -p | grep -q libmbrola || fail "the loader's cache still has libmbrola after purge"
}

installed_deb="" spd="" rec="" xvfb="" sink_work="" sink_module=""
cleanup() {
    tmux -L "$sock" kill-server >/dev/null 2>&1
    [ -n "$rec" ] && kill "$rec" 2>/dev/null
    [ -n "$spd" ] && kill "$spd" 2>/dev/null && wait "$spd" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    purge_package
    [ -n "$sink_module" ] && pactl unload-module "$sink_module" >/dev/null 2>&1
    [ -n "$sink_work" ] && rm -rf "$sink_work"
    rm -rf "$work"
}
trap cleanup EXIT
installed_package
[ -n "$rec" ] && kill "$rec" 2>/dev/null; rec=""
[ -n "$spd" ] && kill "$spd" 2>/dev/null && wait "$spd" 2>/dev/null; spd=""
purge_package

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
