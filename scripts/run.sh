#!/usr/bin/env bash
# Builds the program and starts it on the embedded default: the sample tables and a local
# SQLite data source "MorvaneDemo".
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/packages.sh"
"$here/scripts/ensure-packages.sh" "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"

build="$here/build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DMORVANE_BENCH=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target morvane morvane-transfer application_folder

"$here/scripts/setup-demo.sh" "$build/src"
exec "$build/src/morvane" "$@"
