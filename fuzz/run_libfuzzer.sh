#!/bin/sh
# Runs one libFuzzer program on a fresh seed directory: its corpus and the
# data files given (those that exist; some are made by the build). A text
# file of more than 60 lines goes in as slices of 40 lines (at most 24,
# spread over the file), not whole: a whole voice file as one seed would
# make libFuzzer take it as the size of its inputs, and every run would
# parse all of it.
# Usage: run_libfuzzer.sh PROGRAM SEED_DIR CORPUS [DATA_FILE...]
# The run ends after QUORIL_FUZZ_RUNS inputs (default 20000; -1: no limit)
# or QUORIL_FUZZ_SECONDS (default 120); a fault found is kept as
# SEED_DIR.crash-*.
fuzzer=$1 seeds=$2 corpus=$3
shift 3
rm -rf "$seeds" && mkdir -p "$seeds" || exit 1
[ -d "$corpus" ] && cp "$corpus"/* "$seeds"/ 2>/dev/null
for f; do
    [ -f "$f" ] || continue
    name=$(basename "$f")
    lines=$(wc -l <"$f")
    if [ "$lines" -gt 60 ] && grep -Iq . "$f"; then
        split -l 40 -d -a 4 "$f" "$seeds/$name.slice"
        count=$(ls "$seeds/$name".slice* | wc -l)
        step=$(( (count + 23) / 24 ))
        i=0
        for part in "$seeds/$name".slice*; do
            [ $((i % step)) -eq 0 ] || rm -f "$part"
            i=$((i + 1))
        done
    else
        cp "$f" "$seeds/"
    fi
done
exec "$fuzzer" -runs="${QUORIL_FUZZ_RUNS:-20000}" -max_total_time="${QUORIL_FUZZ_SECONDS:-120}" -seed=1 \
    -print_final_stats=1 -artifact_prefix="$seeds.crash-" "$seeds"
