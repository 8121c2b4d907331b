#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each one for FUZZ_SECONDS seconds (default 60) from the seed corpus in
# fuzz/corpus/. New inputs go to build-fuzz/corpus/, crashes to build-fuzz/artifacts/; the
# script fails on the first finding.
#   scripts/fuzz.sh                 all targets
#   scripts/fuzz.sh fuzz_body_lines one target
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BRYNDLE_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(fuzz_record_line fuzz_thread_list_line fuzz_http_header fuzz_body_lines
        fuzz_location fuzz_file_title fuzz_page_document fuzz_theme_functions fuzz_node_forms
        fuzz_ini_document)
fi

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fsanitize=fuzzer-no-link"
if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBRYNDLE_FUZZ=ON -DBRYNDLE_GUI=OFF -DBRYNDLE_TESTS=OFF -DBRYNDLE_BENCH=OFF \
        -DBRYNDLE_WERROR=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags"
fi
cmake --build "$build" --target "${targets[@]}"

for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus" "$build/artifacts"
    echo "== $target: ${seconds}s"
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$corpus" "fuzz/corpus/$target"
done
echo "fuzzing done: ${#targets[@]} targets, no finding"
