#!/usr/bin/env bash
# Two formats back to back on the real sound path: an 11025 Hz 8-bit tone,
# a 16000 Hz 16-bit tone (the built-in voice's format) and the 8-bit tone
# again, played one after the other through the wave-out player and SDL
# audio to a PulseAudio null sink of this run's own. Each change of format
# closes and reopens the device; all three tones must be heard whole, one
# after the other. The longest quiet stretch between them is printed (on an
# idle machine it is that between any two sounds, a few ms; a busy one
# stretches it, so it is a figure here, not a limit). Skips (77) without
# PulseAudio.
set -u
build=${QUORIL_BUILD_DIR:-build}
src=${QUORIL_SOURCE_DIR:-.}
tool=$build/wavplay
[ -x "$tool" ] || { echo "format_switch: $tool not built"; exit 77; }
command -v parec >/dev/null && command -v pactl >/dev/null || { echo "format_switch: no parec/pactl"; exit 77; }
export PULSE_RUNTIME_PATH=/tmp/quoril-pulse
export PULSE_SERVER=unix:/tmp/quoril-pulse/native
"$src/scripts/start-sound-server" >/dev/null 2>&1 || { echo "format_switch: no sound server"; exit 77; }

. "$src/tests/scripts/lib/sink.bash"
open_sink quoril_switch
"$tool" --tone "$work/a.wav" 0.6 440 || exit 1
"$tool" --tone "$work/b.wav" 0.6 330 16000 16 || exit 1

start_recording 16000
PULSE_SINK=$sink QUORIL_CONSOLE=headless QUORIL_AUDIO=sdl SDL_AUDIODRIVER=pulseaudio \
    "$tool" "$work/a.wav" "$work/b.wav" "$work/a.wav"
status=$?
# Half a second more of recording, so the tail of the last tone is in.
grown_past $(( $(size) + 16000 )) || echo "format_switch: the recording stopped growing"
kill "$rec" 2>/dev/null
wait "$rec" 2>/dev/null
[ $status -eq 0 ] || { echo "format_switch: wavplay failed ($status)"; exit 1; }

read -r line < <("$tool" --measure "$work/rec.raw" 16000)
echo "format_switch: $line"
sounding=$(sed -n 's/.*sounding_ms=\([0-9]*\).*/\1/p' <<<"$line")
rms=$(sed -n 's/.*rms=\([0-9]*\).*/\1/p' <<<"$line")
[ "${rms:-0}" -gt 8000 ] || { echo "format_switch: the recording is too quiet (rms ${rms:-0})"; exit 1; }
# Three tones of 600 ms: a dropped or repeated one is 600 ms off.
[ "${sounding:-0}" -ge 1500 ] && [ "$sounding" -le 2100 ] || { echo "format_switch: ${sounding} ms of sound, not 1800"; exit 1; }
echo "format_switch: ok"
