#!/usr/bin/env bash
# sintetizar streams: on the engine lines of a long text (3000 words of
# fortunes-br) its peak memory, as getrusage reports it for the child
# (/usr/bin/time), stays within a few megabytes of what one short line
# takes, while the WAV grows to many times that; the file's header holds its
# sizes. To a pipe the header holds 0xFFFFFFFF sizes that a streaming reader
# (sox) accepts, and the samples are those of the file.
# Skips (77) without the tools, /usr/bin/time, sox or the text.
set -u
build=${QUORIL_BUILD_DIR:?}
text=/usr/share/games/fortunes/brasil
[ -x "$build/sintetizar" ] && [ -x "$build/fonemas" ] || { echo "skip: sintetizar or fonemas not built"; exit 77; }
[ -x /usr/bin/time ] && command -v sox >/dev/null || { echo "skip: /usr/bin/time or sox missing"; exit 77; }
[ -r "$text" ] || { echo "skip: $text missing (fortunes-br)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No quarantine: the sanitizer would keep every freed block and hide what
# the program itself holds.
export ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0

grep -v -E '^%$' "$text" | tr -s '[:space:]' ' ' | cut -d' ' -f1-3000 | fold -s -w 100 | "$build/fonemas" > "$work/long.pho"
"$build/fonemas" "Uma linha curta." > "$work/short.pho"

fail=0
peak() {  # input output: peak kilobytes
    /usr/bin/time -f %M -o "$work/rss" "$build/sintetizar" br4 "$1" "$2" 2>"$work/err" ||
        { echo "sintetizar $1 failed: $(cat "$work/err")"; fail=1; }
    tail -1 "$work/rss"
}
le32() { od -A n -t u4 -j "$2" -N 4 "$1" | tr -d ' '; }
short=$(peak "$work/short.pho" "$work/short.wav")
long=$(peak "$work/long.pho" "$work/long.wav")
wav=$(stat -c %s "$work/long.wav")
echo "peak $short KB for a line, $long KB for 3000 words, WAV $((wav / 1024)) KB"
if [ "$wav" -lt $((30 * 1024 * 1024)) ]; then echo "FAIL: the WAV is too short to tell"; fail=1; fi
if [ "$long" -gt $((short + 15 * 1024)) ]; then echo "FAIL: memory grows with the text"; fail=1; fi
[ "$(le32 "$work/long.wav" 4)" = $((wav - 8)) ] && [ "$(le32 "$work/long.wav" 40)" = $((wav - 44)) ] ||
    { echo "FAIL: the file's header does not hold its sizes"; fail=1; }

"$build/sintetizar" br4 - - < "$work/long.pho" 2>/dev/null | cat > "$work/pipe.wav"
[ "$(od -A n -t x1 -j 4 -N 4 "$work/pipe.wav" | tr -d ' ')" = ffffffff ] || { echo "FAIL pipe: RIFF size is not ffffffff"; fail=1; }
sox -t wav - -t raw "$work/pipe.raw" < "$work/pipe.wav" 2>/dev/null
tail -c +45 "$work/long.wav" | cmp -s - "$work/pipe.raw" || { echo "FAIL pipe: sox does not read the file's samples"; fail=1; }
exit $fail
