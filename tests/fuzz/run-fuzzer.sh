#!/usr/bin/env bash
# run-fuzzer.sh BINARY CORPUS_DIR [SECONDS]: a bounded libFuzzer run; any crash, leak or
# sanitizer report fails the test.
set -euo pipefail
binary=$1 corpus=$2 seconds=${3:-${VELMORAN_FUZZ_SECONDS:-20}}
mkdir -p "$corpus"
exec "$binary" "$corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
     -artifact_prefix="$corpus/../" -print_final_stats=1
