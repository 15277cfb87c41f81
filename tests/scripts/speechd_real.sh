#!/usr/bin/env bash
# The type 5 server against a real speech-dispatcher: this script starts
# one of its own (own configuration, own socket, espeak-ng module, sound to
# a null sink of its own on the PulseAudio server, so that other sound tests
# running beside it hear nothing of it, English as its default language),
# runs the SpeechdReal tests against it while parec records that sink, checks
# the voice asked for Brazilian Portuguese, and stops both. Skips (77) without
# speech-dispatcher or a sound server.
set -u
build=${QUORIL_BUILD_DIR:-build}
src=${QUORIL_SOURCE_DIR:-.}
tests=$build/tests/test_servers
[ -x "$tests" ] || { echo "speechd_real: $tests not built"; exit 77; }
command -v speech-dispatcher >/dev/null || { echo "speechd_real: no speech-dispatcher"; exit 77; }
command -v pactl >/dev/null || { echo "speechd_real: no pactl"; exit 77; }
export PULSE_RUNTIME_PATH=/tmp/quoril-pulse
export PULSE_SERVER=unix:/tmp/quoril-pulse/native
"$src/scripts/start-sound-server" >/dev/null 2>&1 || { echo "speechd_real: no sound server"; exit 77; }
pactl list short sinks | grep -q quoril_null || { echo "speechd_real: no null sink"; exit 77; }
module=$(ls /usr/lib/speech-dispatcher-modules/sd_espeak-ng /usr/lib/*/speech-dispatcher-modules/sd_espeak-ng 2>/dev/null | head -1)
[ -n "$module" ] || { echo "speechd_real: no espeak-ng module"; exit 77; }

work=$(mktemp -d)
sink=quoril_speechd_$$
spd=""
rec=""
sinkmod=""
cleanup() {
  [ -n "$rec" ] && kill "$rec" 2>/dev/null
  [ -n "$spd" ] && kill "$spd" 2>/dev/null && wait "$spd" 2>/dev/null
  [ -n "$sinkmod" ] && pactl unload-module "$sinkmod" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
sinkmod=$(pactl load-module module-null-sink sink_name="$sink" rate=48000) || { echo "speechd_real: no own sink"; exit 77; }
mkdir -p "$work/conf/modules" "$work/log"
echo "EspeakListVoiceVariants 0" >"$work/conf/modules/espeak-ng.conf"
cat >"$work/conf/speechd.conf" <<CONF
LogLevel 5
LogDir "$work/log"
AudioOutputMethod "pulse"
AudioPulseServer "unix:/tmp/quoril-pulse/native"
AudioPulseDevice "$sink"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
DefaultLanguage "en"
DefaultRate 0
CONF

speech-dispatcher -s -t 0 -C "$work/conf" -m "$(dirname "$module")" -c unix_socket -S "$work/speechd.sock" \
  -P "$work/speechd.pid" -L "$work/log" >"$work/log/stdout" 2>&1 &
spd=$!
end=$((SECONDS + 30))
until [ -S "$work/speechd.sock" ] || [ $SECONDS -ge $end ]; do sleep 0.05; done
[ -S "$work/speechd.sock" ] || { echo "speechd_real: speech-dispatcher did not start"; cat "$work/log/"* 2>/dev/null | tail -20; exit 1; }

have_parec=0
if command -v parec >/dev/null; then
  parec -d "$sink.monitor" --raw --format=s16le --rate=11025 --channels=1 >"$work/rec.raw" &
  rec=$!
  have_parec=1
  # Recording once the sink's silence reaches the file.
  end=$((SECONDS + 20))
  until [ -s "$work/rec.raw" ] || [ $SECONDS -ge $end ]; do sleep 0.05; done
fi

SPEECHD_ADDRESS="unix_socket:$work/speechd.sock" QUORIL_SPEECHD_REAL=1 QUORIL_CONSOLE=headless \
  "$tests" --gtest_filter='SpeechdReal.*'
status=$?
[ $status -eq 0 ] || { echo "speechd_real: tests failed"; tail -20 "$work/log/"*.log 2>/dev/null; exit 1; }
# The default language here is English: each connection must ask for
# Brazilian Portuguese itself, and have it granted.
grep -q 'DATA:|SET SELF LANGUAGE pt-BR' "$work/log/speech-dispatcher.log" &&
  grep -q 'REPLY:|201 OK LANGUAGE SET' "$work/log/speech-dispatcher.log" ||
  { echo "speechd_real: the voice did not ask for Brazilian Portuguese"; exit 1; }

if [ $have_parec -eq 1 ]; then
  # Half a second more of recording, so the end of the speech is in.
  want=$(( $(stat -c %s "$work/rec.raw") + 11025 ))
  end=$((SECONDS + 20))
  until [ "$(stat -c %s "$work/rec.raw")" -ge "$want" ] || [ $SECONDS -ge $end ]; do sleep 0.05; done
  kill "$rec" 2>/dev/null; wait "$rec" 2>/dev/null; rec=""
  # Speech reached the sink: some of the recording is loud.
  loud=$(od -An -v -t d2 -w2 "$work/rec.raw" | awk '{ if ($1 > 2000 || $1 < -2000) n++ } END { print n+0 }')
  echo "speechd_real: $loud loud samples reached the sink"
  [ "$loud" -gt 1000 ] || { echo "speechd_real: no speech reached the sound server"; exit 1; }
fi
echo "speechd_real: ok"
