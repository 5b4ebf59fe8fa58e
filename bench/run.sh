#!/usr/bin/env bash
# Builds and runs every benchmark; figures go to standard output.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" >/dev/null
bash "$top/bench/install-anchors.sh"
export QT_QPA_PLATFORM=offscreen
for b in "$top"/build/bench/*bench; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
