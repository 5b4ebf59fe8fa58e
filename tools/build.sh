#!/usr/bin/env bash
# Installs what is missing and builds in build/: the targets named, or all.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$top/build" -j"$(nproc)" "${targets[@]}"
