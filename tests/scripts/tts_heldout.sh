#!/usr/bin/env bash
# Phoneme error rate of both voices' transcription against espeak-ng pt-br on
# the held-out words of data/heldout.txt (corpus words beyond the 5000 most
# frequent, named by neither exception file; scripts/make-heldout). Prints
# both figures; fails when the diphone synthesizer's rate passes its bound
# (QUORIL_DIPHONE_PER_MAX, 3%), the built-in voice's rate passes its bound
# (QUORIL_BUILTIN_PER_MAX, 1%) or the built-in voice's stress agrees on fewer
# words than QUORIL_BUILTIN_STRESS_MIN (99%).
set -euo pipefail
export LC_ALL=C
build=${QUORIL_BUILD_DIR:?}
src=${QUORIL_SOURCE_DIR:?}
[ -x "$build/ttsper" ] || { echo "ttsper not built"; exit 77; }
diphone_max=${QUORIL_DIPHONE_PER_MAX:-3.0}
builtin_max=${QUORIL_BUILTIN_PER_MAX:-1.0}
stress_min=${QUORIL_BUILTIN_STRESS_MIN:-99.0}
rc=0
out=$(ASAN_OPTIONS=detect_leaks=0 "$build/ttsper" -d "$src/data/tireltts" -r "$src/data" -l "$src/data/heldout.txt") || rc=$?
[ $rc -eq 77 ] && exit 77
[ $rc -eq 0 ] || { echo "$out"; exit $rc; }
echo "$out"
figure() { echo "$out" | sed -n "s/^$1:.*$2: \([0-9.]*\)%.*/\1/p"; }
words=$(echo "$out" | sed -n 's/^diphone: words: \([0-9]*\),.*/\1/p')
[ "${words:-0}" -ge 900 ] || { echo "held-out list too short: ${words:-0} words"; exit 1; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
fail=0
d=$(figure diphone "phoneme error rate")
if above "$d" "$diphone_max"; then echo "diphone phoneme error rate $d% above $diphone_max%"; fail=1; fi
if [ -n "$builtin_max" ]; then
  b=$(figure builtin "phoneme error rate")
  if above "$b" "$builtin_max"; then echo "built-in phoneme error rate $b% above $builtin_max%"; fail=1; fi
fi
if [ -n "$stress_min" ]; then
  s=$(figure builtin "stress agreeing")
  if above "$stress_min" "$s"; then echo "built-in stress agreeing on $s% of words, below $stress_min%"; fail=1; fi
fi
exit $fail
