#!/usr/bin/env bash
# Runs the library's fuzzer for SECONDS (default 60) from the committed seed
# corpus; new inputs it finds go to build/fuzz/corpus. Needs the fuzz preset
# built (cmake --preset fuzz && cmake --build --preset fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
work=build/fuzz/corpus
mkdir -p "$work"
build/fuzz/fuzz/library/winvxbt_channel_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
    -max_len=4096 -timeout=10 "$work" fuzz/library/corpus
