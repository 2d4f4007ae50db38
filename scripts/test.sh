#!/usr/bin/env bash
# Builds everything and runs every test: the unit, screen, database and real-window tests, the
# Debian package installed and driven through its window, the tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer, a bounded fuzzing run of the reader, and the benchmarks.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/packages.sh"
"$here/scripts/ensure-packages.sh" "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== Build and test"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
      -DMORVANE_BENCH=ON >/dev/null
cmake --build "$here/build" --parallel "$jobs"
(cd "$here/build" && ctest --output-on-failure --parallel "$jobs")

echo "== The Debian package: install, first start through the real window, uninstall"
"$here/scripts/package-check.sh" "$here/build"

echo "== Sanitizer build and test"
cmake -S "$here" -B "$here/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON \
      -DMORVANE_BENCH=OFF -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$here/build-sanitize" --parallel "$jobs"
(cd "$here/build-sanitize" && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure --parallel "$jobs" -LE "window|large")

echo "== Fuzzing the Paradox reader"
"$here/fuzz/run.sh" "${FUZZ_SECONDS:-60}"

echo "== Benchmarks (ratios against baselines measured in the same run)"
"$here/build/bench/reader_bench"
"$here/build/bench/discovery_bench"
"$here/build/bench/transfer_bench"
"$here/build/bench/size_bench"
"$here/build/bench/command_bench"
"$here/build/bench/window_bench"
"$here/build/bench/stop_bench"
"$here/build/bench/refresh_bench"
