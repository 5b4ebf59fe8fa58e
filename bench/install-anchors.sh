#!/usr/bin/env bash
# Installs the programs the benchmarks measure the program against (curl for
# the download; and strace, which bench/transfer-syscalls.sh counts system
# calls with); they are not needed to build, run or test the program.
set -euo pipefail
wanted=(jdupes strace curl)
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
