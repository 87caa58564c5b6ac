#!/usr/bin/env bash
# Builds Quillbury and runs every test: the program's tests (offscreen), the
# engine's tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and each fuzz target for a short fixed time.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
qb_install_packages

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build (build/)"
qb_configure_build build
echo "== tests"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 600)

echo "== engine under sanitizers, fuzz targets (build-asan/)"
qb_configure_build build-asan -DCMAKE_CXX_COMPILER=clang++ -DQB_ENGINE_ONLY=ON \
    -DQB_SANITIZE=ON -DQB_FUZZ=ON -DQB_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs" --timeout 900)

fuzz_seconds=${QB_FUZZ_SECONDS:-20}
for f in build-asan/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus="build-asan/corpus/$name"
    mkdir -p "$corpus"
    seeds="fuzz/seeds/${name#fuzz_}"
    echo "-- $name (${fuzz_seconds}s)"
    args=("$corpus")
    [ -d "$seeds" ] && args+=("$seeds")
    LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp" \
        "$f" -max_total_time="$fuzz_seconds" -rss_limit_mb=1024 -timeout=10 -print_final_stats=0 \
        "${args[@]}" 2>"$corpus.log" || { tail -50 "$corpus.log"; echo "fuzz target $name failed"; exit 1; }
done
echo "All tests passed."
