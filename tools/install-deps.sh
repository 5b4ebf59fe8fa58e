#!/usr/bin/env bash
# Installs the Debian packages listed in tools/packages.txt that are missing.
# Used by tools/run.sh, tools/test.sh and CI, so the list lives in one place.
# Given package names, installs those that are missing instead (the
# packaging scripts' own tools).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -gt 0 ]; then
  wanted=("$@")
else
  mapfile -t wanted < <(grep -v '^[[:space:]]*#' "$here/packages.txt" | grep -v '^[[:space:]]*$')
fi
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
