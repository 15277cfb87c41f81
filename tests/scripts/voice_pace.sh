#!/usr/bin/env bash
# The pace of each voice under the console speeds and the server rates, from
# the length of the WAV that falar writes (silence at both ends left out),
# against espeak-ng -v pt-br at its default rate on the same sentence. Every
# voice gets slower from speed 5 to 1, speed 1 stays near 1.6 times and
# speed 5 near half espeak-ng's length (the diphone voice keeps its own
# range); the built-in voice's rates -10 and 10 stay between a third and
# twice espeak-ng's length. The lengths are counted in samples, so a busy
# machine changes nothing; the windows are wide enough for a retuned voice
# and narrow enough to catch a speed that does nothing or a smear.
# Skips (77) without falar, espeak-ng or sox.
set -u
build=${QUORIL_BUILD_DIR:?}
[ -x "$build/falar" ] && [ -f "$build/etc/QUORIL.INI" ] || { echo "skip: falar or its settings not built"; exit 77; }
command -v espeak-ng >/dev/null && command -v sox >/dev/null || { echo "skip: espeak-ng or sox missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0 QUORIL_WINDIR="$build/etc"
sentence="O conversor transforma o arquivo de texto em um arquivo novo, linha por linha."

seconds() {
    sox "$1" -n silence 1 0.02 -50d reverse silence 1 0.02 -50d reverse stat 2>&1 | awk '/^Length/ { print $3 }'
}
espeak-ng -v pt-br -w "$work/e.wav" "$sentence"
base=$(seconds "$work/e.wav")

fail=0
# ratio VOICE SPEED [RATE]: the length against espeak-ng's.
ratio() {
    "$build/falar" -V "$1" -v "$2" ${3:+-r "$3"} -o "$work/v.wav" "$sentence" 2>"$work/err" ||
        { echo "falar -V $1 -v $2 failed: $(cat "$work/err")"; fail=1; echo 0; return; }
    awk -v s="$(seconds "$work/v.wav")" -v b="$base" 'BEGIN { printf "%.2f", s / b }'
}
within() {  # what value low high
    if awk -v v="$2" -v l="$3" -v h="$4" 'BEGIN { exit !(v >= l && v <= h) }'; then
        echo "ok   $1: $2 (between $3 and $4)"
    else
        echo "FAIL $1: $2 (not between $3 and $4)"
        fail=1
    fi
}

for voice in difone 3 54 4; do
    slow=$(ratio "$voice" 1 0)
    own=$(ratio "$voice" 3 0)
    fast=$(ratio "$voice" 5 0)
    within "$voice speed 1 slower than 3" "$(awk -v a="$slow" -v b="$own" 'BEGIN { print a / b }')" 1.1 3
    within "$voice speed 5 faster than 3" "$(awk -v a="$fast" -v b="$own" 'BEGIN { print a / b }')" 0.3 0.9
    if [ "$voice" = difone ]; then
        within "$voice speed 5" "$fast" 0.4 1.2
    else
        within "$voice speed 1" "$slow" 1.2 2.2
        within "$voice speed 5" "$fast" 0.33 0.75
    fi
done
within "3 rate 10" "$(ratio 3 3 10)" 0.25 0.5
within "3 rate -10" "$(ratio 3 3 -10)" 1.6 2.5
exit $fail
