#!/usr/bin/env bash
# scripts/install-deps plans for the machine it finds, and never replaces
# its sound server: on a desktop whose sound is PipeWire's it plans no
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

[ $failures -eq 0 ] && echo "ok" || echo "$failures failure(s)"
exit $((failures > 0))
