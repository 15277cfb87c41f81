#!/usr/bin/env bash
# falar -o streams: on a long text (3000 words of fortunes-br) its peak
# memory, as getrusage reports it for the child (/usr/bin/time), stays
# within a few megabytes of what a short text takes, with both voices,
# while the WAV grows to many times that. To a pipe the header holds
# 0xFFFFFFFF sizes that a streaming reader (sox) accepts. With no sound
# device falar says why, in Portuguese, and ends with code 3. Files named
# with -a are read as the converter reads them (UTF-16, documents).
# Skips (77) without falar, /usr/bin/time, sox or the text.
set -u
build=${QUORIL_BUILD_DIR:?}
text=/usr/share/games/fortunes/brasil
[ -x "$build/falar" ] && [ -f "$build/etc/QUORIL.INI" ] || { echo "skip: falar or its settings not built"; exit 77; }
[ -x /usr/bin/time ] && command -v sox >/dev/null || { echo "skip: /usr/bin/time or sox missing"; exit 77; }
[ -r "$text" ] || { echo "skip: $text missing (fortunes-br)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No quarantine: the sanitizer would keep every freed block and hide what
# the program itself holds.
export ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0 QUORIL_WINDIR="$build/etc"

grep -v -E '^%$' "$text" | tr -s '[:space:]' ' ' | cut -d' ' -f1-3000 | fold -s -w 100 > "$work/long.txt"
printf 'Uma linha curta.\n' > "$work/short.txt"

fail=0
peak() {  # voice input: peak kilobytes; the WAV is left in $work/out.wav
    /usr/bin/time -f %M -o "$work/rss" "$build/falar" -V "$1" -o "$work/out.wav" < "$2" 2>"$work/err" ||
        { echo "falar -V $1 failed: $(cat "$work/err")"; fail=1; }
    tail -1 "$work/rss"
}
for voice in difone embutida; do
    short=$(peak "$voice" "$work/short.txt")
    long=$(peak "$voice" "$work/long.txt")
    wav=$(stat -c %s "$work/out.wav")
    echo "$voice: peak $short KB for a line, $long KB for 3000 words, WAV $((wav / 1024)) KB"
    if [ "$wav" -lt $((15 * 1024 * 1024)) ]; then echo "FAIL $voice: the WAV is too short to tell"; fail=1; fi
    if [ "$long" -gt $((short + 15 * 1024)) ]; then echo "FAIL $voice: memory grows with the text"; fail=1; fi
    frames=$(sox "$work/out.wav" -n stat 2>&1 | awk '/^Samples read/ { print $3 }')
    [ "${frames:-0}" -gt 0 ] || { echo "FAIL $voice: sox reads no samples from the file"; fail=1; }
done

"$build/falar" -V embutida -o - "Olá, mundo." 2>/dev/null | cat > "$work/pipe.wav"
sizes=$(od -A n -t x1 -j 4 -N 4 "$work/pipe.wav" | tr -d ' ')
[ "$sizes" = ffffffff ] || { echo "FAIL pipe: RIFF size $sizes, not ffffffff"; fail=1; }
read_back=$(sox -t wav - -n stat < "$work/pipe.wav" 2>&1 | awk '/^Samples read/ { print $3 }')
[ "${read_back:-0}" -gt 8000 ] || { echo "FAIL pipe: sox reads ${read_back:-0} samples"; fail=1; }

SDL_AUDIODRIVER=nenhum QUORIL_AUDIO=sdl "$build/falar" -V difone "teste" 2>"$work/err"
code=$?
[ $code -eq 3 ] || { echo "FAIL no device: exit code $code"; fail=1; }
grep -q 'Sem som: o dispositivo de som não abriu' "$work/err" || { echo "FAIL no device: $(cat "$work/err")"; fail=1; }

# falar -a reads through the converter's document reader: a UTF-16 text
# speaks as its UTF-8 twin, a DOCX its paragraphs, a file that is not text
# is told and ends with code 5.
printf 'Ol\xc3\xa1, mundo.\n' > "$work/utf8.txt"
printf '\xff\xfeO\0l\0\xe1\0,\0 \0m\0u\0n\0d\0o\0.\0\n\0' > "$work/utf16.txt"
"$build/falar" -V difone -a "$work/utf8.txt" -o "$work/utf8.wav" 2>/dev/null
"$build/falar" -V difone -a "$work/utf16.txt" -o "$work/utf16.wav" 2>"$work/err" ||
    { echo "FAIL UTF-16: $(cat "$work/err")"; fail=1; }
cmp -s "$work/utf8.wav" "$work/utf16.wav" || { echo "FAIL UTF-16: not the sound of its UTF-8 twin"; fail=1; }
printf 'a\0b\n' > "$work/bin.dat"
"$build/falar" -V difone -a "$work/bin.dat" -o "$work/bin.wav" 2>"$work/err"
code=$?
[ $code -eq 5 ] || { echo "FAIL not text: exit code $code"; fail=1; }
grep -q 'não é de texto' "$work/err" || { echo "FAIL not text: $(cat "$work/err")"; fail=1; }
if command -v pandoc >/dev/null && [ -x "$build/lerdoc" ]; then
    printf '# Aviso\n\nA reuni\xc3\xa3o foi adiada.\n' | pandoc -f markdown -o "$work/aviso.docx"
    "$build/falar" -V difone -p -a "$work/aviso.docx" -o "$work/aviso.wav" >"$work/phonemes" 2>"$work/err" ||
        { echo "FAIL DOCX: $(cat "$work/err")"; fail=1; }
    [ "$(wc -l < "$work/phonemes")" -eq 2 ] || { echo "FAIL DOCX: not one line a paragraph: $(cat "$work/phonemes")"; fail=1; }
    [ "$(stat -c %s "$work/aviso.wav")" -gt 8000 ] || { echo "FAIL DOCX: nothing spoken"; fail=1; }
else
    echo "skipped the DOCX: pandoc or lerdoc missing"
fi
exit $fail
