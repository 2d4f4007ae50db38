#!/usr/bin/env bash
# Builds the reader's fuzzer with clang and runs it for a bounded time, seeded with the corpus.
# Usage: fuzz/run.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$here/build-fuzz"
corpus_dir="$here/../shared/paradox-corpus"

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_FUZZ=ON \
      -DBUILD_TESTING=OFF -DMORVANE_BENCH=OFF \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" --target reader_fuzzer --parallel "$(nproc)"

seeds="$build/seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
if [[ -d "$corpus_dir" ]]; then
    # Each seed: the table's length in four little-endian bytes, the table, then its blob file,
    # or else its validity file.
    for db in "$corpus_dir"/*/*.[dD][bB]; do
        mb=$(ls "${db%.*}".[mM][bB] "${db%.*}".[vV][aA][lL] 2>/dev/null | head -n 1 || true)
        size=$(stat -c %s "$db")
        out="$seeds/$(basename "$(dirname "$db")")-$(basename "$db")"
        printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((size & 255)) $((size >> 8 & 255)) \
            $((size >> 16 & 255)) $((size >> 24 & 255)))" > "$out"
        cat "$db" >> "$out"
        # Keep seeds small: a large blob file adds little but slows every run.
        [[ -n "$mb" ]] && head -c 65536 "$mb" >> "$out"
    done
fi
findings="$build/findings"
mkdir -p "$findings"
"$build/fuzz/reader_fuzzer" -max_total_time="$seconds" -max_len=200000 -rss_limit_mb=1024 \
    -timeout=10 -artifact_prefix="$findings/" -print_final_stats=1 "$seeds" 2>&1 | tail -n 15
echo "Fuzzing ran $seconds seconds without a finding."
