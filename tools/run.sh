#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without a display
# the program runs on Qt's VNC platform on port 5900.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM="vnc:size=1024x768:port=5900"
  echo "No display: ポミブ is running on VNC; connect a VNC viewer to 127.0.0.1:5900 (for example: vncviewer 127.0.0.1:5900)."
fi
cd "$top/build"
exec ./pomiv
