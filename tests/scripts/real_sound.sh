#!/usr/bin/env bash
# Real sound: a generated tone goes through the wave-out player and SDL audio
# to a PulseAudio null sink; parec records the sink's monitor. The recording
# must hold sound, about as long as the tone. A busy machine may leave gaps
# in the recording (the sound server runs late), so the time that sounds is
# measured, not the span; waits are for the recording to grow, not fixed
# sleeps. Skips (77) without PulseAudio.
set -u
build=${QUORIL_BUILD_DIR:-build}
src=${QUORIL_SOURCE_DIR:-.}
tool=$build/wavplay
[ -x "$tool" ] || { echo "real_sound: $tool not built"; exit 77; }
command -v parec >/dev/null && command -v pactl >/dev/null || { echo "real_sound: no parec/pactl"; exit 77; }
export PULSE_RUNTIME_PATH=/tmp/quoril-pulse
export PULSE_SERVER=unix:/tmp/quoril-pulse/native
"$src/scripts/start-sound-server" >/dev/null 2>&1 || { echo "real_sound: no sound server"; exit 77; }
pactl list short sinks | grep -q quoril_null || { echo "real_sound: no null sink"; exit 77; }

# A sink of this run's own, so that no other test's sound is recorded with it.
. "$src/tests/scripts/lib/sink.bash"
open_sink quoril_real
"$tool" --tone "$work/tone.wav" 1.5 440 || exit 1

start_recording 11025
start=$(date +%s%N)
PULSE_SINK=$sink QUORIL_CONSOLE=headless QUORIL_AUDIO=sdl SDL_AUDIODRIVER=pulseaudio "$tool" "$work/tone.wav"
status=$?
end=$(date +%s%N)
# Half a second more of recording (11025 two-byte samples a second), so the
# tail of the sound is in.
grown_past $(( $(size) + 11025 )) || echo "real_sound: the recording stopped growing"
kill "$rec" 2>/dev/null
wait "$rec" 2>/dev/null
[ $status -eq 0 ] || { echo "real_sound: wavplay failed ($status)"; exit 1; }

played_ms=$(( (end - start) / 1000000 ))
read -r line < <("$tool" --measure "$work/rec.raw" 11025)
echo "real_sound: played in ${played_ms} ms; $line"
sounding_ms=$(sed -n 's/.*sounding_ms=\([0-9]*\).*/\1/p' <<<"$line")
rms=$(sed -n 's/.*sounding_rms=\([0-9]*\).*/\1/p' <<<"$line")
[ "${rms:-0}" -gt 3000 ] || { echo "real_sound: the recording is silent"; exit 1; }
# 1500 ms of tone: each gap can add a part-filled 10 ms window at either
# side; a cut tail, a lost or repeated stretch or a wrong rate falls outside.
[ "${sounding_ms:-0}" -ge 1350 ] && [ "${sounding_ms:-0}" -le 1800 ] ||
    { echo "real_sound: sound lasted ${sounding_ms} ms, not 1500"; exit 1; }
# playWaveFile waits for the end of the sound before it returns.
[ "$played_ms" -ge 1400 ] || { echo "real_sound: returned after ${played_ms} ms, before the sound ended"; exit 1; }
echo "real_sound: ok"
