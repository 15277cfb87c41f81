#!/usr/bin/env bash
# The built-in voice's analysis over all the real Portuguese text of the
# Debian packages fortunes-br and manpages-pt-br, one utterance a line, as
# fonemas prints it: it must finish without a fault and give engine lines.
set -euo pipefail
export LC_ALL=C
build=${QUORIL_BUILD_DIR:?}
src=${QUORIL_SOURCE_DIR:?}
[ -x "$build/fonemas" ] || { echo "fonemas not built"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rc=0
"$src/scripts/tts-corpus" "$tmp/corpus.txt" || rc=$?
[ $rc -eq 77 ] && exit 77
[ $rc -eq 0 ] || exit $rc
lines=$(wc -l < "$tmp/corpus.txt")
[ "$lines" -gt 10000 ] || { echo "corpus too small: $lines lines"; exit 1; }
"$build/fonemas" -d "$src/data/tireltts" < "$tmp/corpus.txt" > "$tmp/engine.txt"
out=$(wc -l < "$tmp/engine.txt")
phonemes=$(grep -a -c -E '^[A-Za-z@_2]+ [0-9]+( [0-9]+ [0-9]+)?$' "$tmp/engine.txt" || true)
echo "corpus lines: $lines, engine lines: $out, phoneme lines: $phonemes"
[ "$phonemes" -gt 500000 ]
# every phoneme written belongs to the voice's set
grep -a -v '^;' "$src/data/tireltts/phonemes" | awk 'NF { print $1 }' | sort -u > "$tmp/set"
awk 'NF >= 2 && $1 !~ /^;/ { print $1 }' "$tmp/engine.txt" | sort -u > "$tmp/used"
unknown=$(comm -23 "$tmp/used" "$tmp/set")
[ -z "$unknown" ] || { echo "phonemes outside the set: $unknown"; exit 1; }
