#!/usr/bin/env bash
# Installs the programs the benchmarks measure the program against: jdupes and
# cat for the content check, curl for the download, and strace, which
# bench/transfer-syscalls.sh counts system calls with. None is needed to
# build, run or test the program.
set -euo pipefail
"$(cd "$(dirname "$0")/.." && pwd)/tools/install-deps.sh" jdupes strace curl
