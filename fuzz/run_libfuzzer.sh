#!/bin/sh
# Runs one libFuzzer program for a short while on a fresh seed directory:
# its corpus and the data files given (those that exist; some are made by
# the build). Usage: run_libfuzzer.sh PROGRAM SEED_DIR CORPUS [DATA_FILE...]
fuzzer=$1 seeds=$2 corpus=$3
shift 3
rm -rf "$seeds" && mkdir -p "$seeds" || exit 1
[ -d "$corpus" ] && cp "$corpus"/* "$seeds"/ 2>/dev/null
for f; do
    [ -f "$f" ] && cp "$f" "$seeds"/
done
exec "$fuzzer" -runs="${QUORIL_FUZZ_RUNS:-20000}" -max_total_time=120 -seed=1 "$seeds"
