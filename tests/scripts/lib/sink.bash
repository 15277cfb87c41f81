# A PulseAudio null sink of the test's own, so that no other test's sound
# is recorded with it, and a recording of its monitor in $work/rec.raw.

# open_sink NAME: the sink NAME_<pid>, a work folder, and their clean-up at
# exit; skips (77) when no sink can be made.
open_sink() {
    sink=$1_$$
    module=$(pactl load-module module-null-sink sink_name="$sink") || { echo "$1: cannot make a sink"; exit 77; }
    work=$(mktemp -d)
    trap 'pactl unload-module "$module" >/dev/null 2>&1; rm -rf "$work"' EXIT
}

size() { stat -c %s "$work/rec.raw" 2>/dev/null || echo 0; }

# Waits until the recording holds more than $1 bytes; false after 20 s.
grown_past() {
    local end=$((SECONDS + 20))
    until [ "$(size)" -gt "$1" ]; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.05
    done
}

# start_recording RATE: 16-bit mono at RATE from the sink's monitor; returns
# once the recorder runs (the sink's silence has reached the file).
start_recording() {
    parec -d "$sink.monitor" --raw --format=s16le --rate="$1" --channels=1 >"$work/rec.raw" &
    rec=$!
    grown_past 0 || { echo "the recorder records nothing"; exit 1; }
}
