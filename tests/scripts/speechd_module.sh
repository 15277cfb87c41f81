#!/usr/bin/env bash
# Our output module driven by a real speech-dispatcher of this script's own
# (own configuration and socket, sound to a null sink of its own), twice:
# as "quoril", which takes speech-dispatcher's audio, and as "quoril-own",
# which plays through our own output on the sink speech-dispatcher names.
# For each: a sentence reaches the sink as speech, and a cancel cuts a long
# text. Then: a faster rate makes the sentence shorter, an SSML mark is
# reported, and a line the module does not understand (put in front of
# speech-dispatcher's first request by a wrapper) is answered with an error
# while the module goes on to load and speak. Skips (77) without
# speech-dispatcher or a sound server.
set -u
build=$(cd "${QUORIL_BUILD_DIR:-build}" && pwd)
src=${QUORIL_SOURCE_DIR:-.}
bin=$build/sd_quoril
[ -x "$bin" ] || { echo "speechd_module: $bin not built"; exit 77; }
for tool in speech-dispatcher spd-say pactl parec; do
    command -v $tool >/dev/null || { echo "speechd_module: no $tool"; exit 77; }
done
export PULSE_RUNTIME_PATH=/tmp/quoril-pulse
export PULSE_SERVER=unix:/tmp/quoril-pulse/native
"$src/scripts/start-sound-server" >/dev/null 2>&1 || { echo "speechd_module: no sound server"; exit 77; }
. "$src/tests/scripts/lib/sink.bash"
open_sink speechd_module
spd=""
rec=""
trap 'kill $rec $spd 2>/dev/null; wait 2>/dev/null; pactl unload-module "$module" >/dev/null 2>&1; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The module as speech-dispatcher starts it, with one line it cannot
# understand sent first; that line's answer is kept aside.
cat >"$work/wrapper" <<EOF
#!/usr/bin/env bash
{ printf 'NOT A REQUEST\n'; cat; } | "$bin" "\$@" 2>>"$work/module.err" |
    { IFS= read -r answer; printf '%s\n' "\$answer" >"$work/malformed"; exec cat; }
EOF
chmod +x "$work/wrapper"
mkdir -p "$work/conf/modules" "$work/log"
echo "QuorilServerAudio 1" >"$work/conf/modules/quoril.conf"
echo "QuorilServerAudio 0" >"$work/conf/modules/quoril-own.conf"
cat >"$work/conf/speechd.conf" <<CONF
LogLevel 5
LogDir "$work/log"
AudioOutputMethod "pulse"
AudioPulseDevice "$sink"
AddModule "quoril" "$work/wrapper" "quoril.conf"
AddModule "quoril-own" "$bin" "quoril-own.conf"
DefaultModule quoril
DefaultLanguage "pt-BR"
DefaultVolume 100
CONF
# The module's data come from the build tree; the sanitizers' leak report
# at exit is no use to speech-dispatcher.
QUORIL_WINDIR=$build/etc ASAN_OPTIONS=detect_leaks=0 \
    speech-dispatcher -s -t 0 -C "$work/conf" -m "$build" -c unix_socket -S "$work/sock" \
    -P "$work/pid" -L "$work/log" >"$work/log/stdout" 2>&1 &
spd=$!
end=$((SECONDS + 30))
until [ -S "$work/sock" ] || [ $SECONDS -ge $end ]; do sleep 0.05; done
[ -S "$work/sock" ] || { echo "speechd_module: speech-dispatcher did not start"; tail -20 "$work/log/"*; exit 1; }
export SPEECHD_ADDRESS="unix_socket:$work/sock"
start_recording 16000

bytes_per_s=32000
# loud_between FROM TO: how many samples louder than -24 dBFS the recording
# holds between the two byte offsets.
loud_between() {
    tail -c +$(($1 + 1)) "$work/rec.raw" | head -c $(($2 - $1)) | od -An -v -t d2 -w2 |
        awk '{ if ($1 > 2000 || $1 < -2000) n++ } END { print n+0 }'
}
# last_loud FROM: the byte offset of the last loud sample after FROM.
last_loud() {
    tail -c +$(($1 + 1)) "$work/rec.raw" | od -An -v -t d2 -w2 |
        awk -v from="$1" '{ if ($1 > 2000 || $1 < -2000) last = NR } END { print from + 2 * last }'
}
# say MODULE ARGS...: speaks and waits for the end; prints the seconds taken.
say() {
    local m=$1
    shift
    local t0
    t0=$(date +%s%N)
    timeout 60 spd-say -w -o "$m" -l pt-BR "$@" || fail "spd-say -o $m $* did not end"
    echo $((($(date +%s%N) - t0) / 1000000))
}
sentence='R$ 1.234,56 em 25/12/2026'
long="Este é um texto longo, que o módulo não chega a terminar: ele fala devagar, frase por frase, \
enquanto o teste espera o corte. Mais uma frase, e outra, e mais outra ainda."

for m in quoril quoril-own; do
    from=$(size)
    say "$m" "$sentence" >/dev/null
    grown_past $((from + bytes_per_s / 2)) || fail "$m: the recording stopped"
    loud=$(loud_between "$from" "$(size)")
    echo "$m: $loud loud samples of '$sentence'"
    # A second of speech at least (the sentence lasts several).
    [ "$loud" -gt 16000 ] || fail "$m: the sentence did not reach the sink as speech ($loud loud samples)"

    from=$(size)
    spd-say -o "$m" -l pt-BR -r -50 "$long" &
    talker=$!
    end=$((SECONDS + 20))
    until [ "$(loud_between "$from" "$(size)")" -gt 1600 ] || [ $SECONDS -ge $end ]; do sleep 0.05; done
    cut=$(size)
    spd-say -C
    wait $talker
    grown_past $((cut + 2 * bytes_per_s)) || fail "$m: the recording stopped"
    after=$(( ($(last_loud "$cut") - cut) * 1000 / bytes_per_s ))
    echo "$m: the last loud sample came ${after} ms after the cancel"
    # Recording and two clients stand between; a text that ran on would
    # sound for many seconds more.
    [ "$after" -lt 600 ] || fail "$m: the cancel did not cut the speech (${after} ms of it after)"
done

normal=$(say quoril "$sentence")
fast=$(say quoril -r 80 "$sentence")
echo "speechd_module: the sentence took $normal ms at rate 0, $fast ms at rate 80"
[ $((fast * 4)) -lt $((normal * 3)) ] || fail "rate 80 did not make it shorter ($fast ms against $normal ms)"

say quoril -x '<speak>Um, <mark name="depois_do_um"/> dois.</speak>' >/dev/null
grep -q 'Reply from output module: |*700-depois_do_um' "$work/log/speech-dispatcher.log" ||
    grep -q '700-depois_do_um' "$work/log/speech-dispatcher.log" || fail "the SSML mark was not reported"

answer=$(cat "$work/malformed" 2>/dev/null)
echo "speechd_module: 'NOT A REQUEST' was answered '$answer'"
[[ "$answer" == 3[0-9][0-9]\ * ]] || fail "the malformed line got no error answer"

[ $failures -eq 0 ] || { echo "speechd_module: $failures failure(s)"; tail -5 "$work/module.err" 2>/dev/null; exit 1; }
echo "speechd_module: ok"
