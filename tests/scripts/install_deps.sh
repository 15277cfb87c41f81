#!/usr/bin/env bash
# scripts/install-deps plans for the machine it finds: `--run` what building
# and running need, `--test` what testing adds, with names both Debian 12
# and 13 have; and it never replaces its sound server: on a desktop whose sound is PipeWire's it plans no
# PulseAudio and apt would remove nothing; where PulseAudio is there it is
# kept; where neither is, PulseAudio is planned. Each machine is a dpkg
# database of its own, made from this machine's and the archive's records,
# so nothing here needs root or changes the machine. Skips (77) without
# apt's package lists.
set -u

src=${QUORIL_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
deps="$src/scripts/install-deps"
command -v apt-get >/dev/null && command -v dpkg-query >/dev/null || { echo "skip: not a Debian machine"; exit 77; }
apt-cache show pipewire-pulse >/dev/null 2>&1 || { echo "skip: apt has no package lists (apt-get update)"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# machine FROM TO PACKAGES...: the database TO is FROM after apt installed
# PACKAGES (a package to remove is written NAME-, as apt-get takes it).
machine() {
    local from=$1 to=$2
    shift 2
    mkdir -p "$to/info" "$to/updates"
    apt-get -o "Dir::State::status=$from/status" -s install "$@" >"$to/plan" 2>&1 || { cat "$to/plan"; return 1; }
    # Removed and replaced packages leave; installed ones come in as apt has them.
    awk '$1 == "Remv" || $1 == "Inst" { print $2 }' "$to/plan" | sort -u >"$to/gone"
    awk -v gone="$to/gone" 'BEGIN { while ((getline n < gone) > 0) drop[n] = 1; RS = ""; ORS = "\n\n" }
        { split($0, l, "\n"); sub(/^Package: /, "", l[1]); if (!(l[1] in drop)) print }' "$from/status" >"$to/status"
    local wanted
    wanted=$(sed -n 's/^Inst \([^ ]*\) \(\[[^]]*\] \)\{0,1\}(\([^ ]*\) .*/\1=\3/p' "$to/plan")
    [ -z "$wanted" ] && return 0
    # shellcheck disable=SC2086
    apt-cache show $wanted 2>/dev/null |
        awk '/^Package: / { print; print "Status: install ok installed"; next }
             /^(Filename|Size|MD5sum|SHA[0-9]*|Description-md5): / { next } { print }' >>"$to/status"
}

mkdir -p "$work/here"
cp /var/lib/dpkg/status "$work/here/status"
machine "$work/here" "$work/bare" pulseaudio- pipewire-pulse- || { echo "FAIL: cannot make a machine without a sound server"; exit 1; }
machine "$work/bare" "$work/pipewire" pipewire-audio pipewire-pulse || { echo "FAIL: cannot make a PipeWire machine"; exit 1; }
machine "$work/bare" "$work/pulse" pulseaudio || { echo "FAIL: cannot make a PulseAudio machine"; exit 1; }

# machine  |  PulseAudio planned
cases="bare yes
pipewire no
pulse no"
while read -r m wants; do
    export QUORIL_DPKG_ADMINDIR="$work/$m"
    dpkg-query --admindir="$work/$m" -W pipewire-pulse pulseaudio >"$work/$m.have" 2>/dev/null
    plan=$("$deps" --list) || { fail "$m: install-deps --list failed"; continue; }
    if grep -qx pulseaudio <<<"$plan"; then got=yes; else got=no; fi
    [ "$got" = "$wants" ] || fail "$m: PulseAudio planned: $got, wanted $wants (has: $(tr '\n' ' ' <"$work/$m.have"))"
    "$deps" --simulate >"$work/$m.sim" 2>&1 || { cat "$work/$m.sim"; fail "$m: apt-get -s of the plan failed"; continue; }
    removed=$(sed -n 's/^Remv \([^ ]*\).*/\1/p' "$work/$m.sim" | tr '\n' ' ')
    [ -z "$removed" ] || fail "$m: installing the plan would remove $removed"
done <<<"$cases"

# The two lists, on machines that have none of them: `make run`'s plans
# building and running only; `make test`'s adds the tests' tools; every
# name in them is one apt can install here. And a name that holds a
# release's version is satisfied by either release's package installed:
# Debian 12's clang 14 or Debian 13's clang 19 with its sanitizer runtime.
# stanza NAME [DEPENDS]: a package dpkg has installed.
stanza() {
    printf 'Package: %s\nStatus: install ok installed\nVersion: 1\nArchitecture: all\n' "$1"
    [ -n "${2:-}" ] && printf 'Depends: %s\n' "$2"
    echo
}
mkdir -p "$work/none" "$work/clang14" "$work/clang19"
: >"$work/none/status"
{ stanza clang "clang-14 (>= 14)"; stanza clang-14; stanza libclang-rt-14-dev; } >"$work/clang14/status"
{ stanza clang "clang-19 (>= 19)"; stanza clang-19; stanza libclang-rt-19-dev; } >"$work/clang19/status"
test_tools="libgtest-dev libgmock-dev lintian clang tmux xvfb xdotool imagemagick sox"
# machine | list | must plan | must not plan ("clang-rt": no libclang-rt name)
cases="none --run build-essential cmake libsdl2-dev libespeak-ng-dev libsamplerate0-dev libspeechd-dev pulseaudio | $test_tools
none --test build-essential libsdl2-dev pulseaudio $test_tools speech-dispatcher | -
clang14 --test libgtest-dev | clang clang-rt
clang19 --test libgtest-dev | clang clang-rt"
while read -r m list rest; do
    export QUORIL_DPKG_ADMINDIR="$work/$m"
    want=${rest%%|*} unwanted=${rest#*| }
    plan=$("$deps" $list --list) || { fail "$m: install-deps $list --list failed"; continue; }
    for p in $want; do grep -qx "$p" <<<"$plan" || fail "$m $list: $p is not planned"; done
    for p in $unwanted; do
        case $p in
            -) ;;
            clang-rt) ! grep -q '^libclang-rt' <<<"$plan" || fail "$m $list: plans $(grep '^libclang-rt' <<<"$plan") though clang's runtime is there" ;;
            *) ! grep -qx "$p" <<<"$plan" || fail "$m $list: $p is planned" ;;
        esac
    done
    if [ "$m $list" = "none --test" ]; then
        grep -q '^libclang-rt' <<<"$plan" || fail "none --test: no sanitizer runtime planned"
        # shellcheck disable=SC2086
        unknown=$(LC_ALL=C apt-cache policy $plan 2>/dev/null | awk '/^[^ ]/ { sub(":$", ""); p = $1 } /Candidate: \(none\)/ { print p }')
        for p in $plan; do
            LC_ALL=C apt-cache policy "$p" 2>/dev/null | grep -q "^$p:" || unknown="$unknown $p"
        done
        [ -z "${unknown// /}" ] || fail "apt cannot install:$unknown"
    fi
done <<<"$cases"

[ $failures -eq 0 ] && echo "ok" || echo "$failures failure(s)"
exit $((failures > 0))
