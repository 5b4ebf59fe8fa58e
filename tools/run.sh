#!/usr/bin/env bash
# Installs what is missing, builds the program, and starts it. Without a
# display it runs on a VNC server of its own that listens on 127.0.0.1 only
# (tools/headless.sh), and prints how to connect.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" pomiv
cd "$top/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec "$top/tools/headless.sh" ./pomiv
fi
exec ./pomiv
