#!/usr/bin/env bash
# run-fuzzer.sh [--max-len BYTES] [--seed FILE]... [--quiet] BINARY CORPUS_DIR [SECONDS]: a bounded
# libFuzzer run; any crash, leak or sanitizer report fails the test.
# --quiet drops what the target and its libraries write to stderr (libFuzzer's own output and
# sanitizer reports still come through); reproduce a crash without it to see everything.
# Seed files are copied into a folder of their own beside the corpus and read as a second corpus,
# so new findings still go to CORPUS_DIR only and a changed seed is picked up at the next run.
set -euo pipefail
max_len=4096 seeds=() extra=()
while [[ $# -gt 0 ]]; do
    case $1 in
        --max-len) max_len=$2; shift 2 ;;
        --seed) seeds+=("$2"); shift 2 ;;
        --quiet) extra+=(-close_fd_mask=2); shift ;;
        *) break ;;
    esac
done
binary=$1 corpus=$2 seconds=${3:-${VELMORAN_FUZZ_SECONDS:-20}}
mkdir -p "$corpus"
corpora=("$corpus")
if [[ ${#seeds[@]} -gt 0 ]]; then
    seed_dir=$corpus.seeds
    rm -rf "$seed_dir"
    mkdir -p "$seed_dir"
    cp -- "${seeds[@]}" "$seed_dir/"
    corpora+=("$seed_dir")
fi
exec "$binary" "${corpora[@]}" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
     -artifact_prefix="$corpus/../" -print_final_stats=1 "${extra[@]}"
