#!/usr/bin/env bash
# Checks the headless run (tools/headless.sh) with the program given: the VNC
# port listens on 127.0.0.1 and nowhere else, answers a VNC handshake there,
# asks for a password, and refuses other addresses of this machine; the
# program runs on it, and everything stops when the run is stopped.
# usage: tools/check-headless.sh PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(readlink -f "${1:?program}")
work=$(mktemp -d)
run=""
finish() {
  if [ -n "$run" ]; then { kill "$run" && wait "$run"; } 2>/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/out" >&2; exit 1; }

cd "$work"
bash "$here/headless.sh" "$program" >"$work/out" 2>&1 &
run=$!
for _ in $(seq 150); do
  grep -q '^  Password:' "$work/out" && break
  kill -0 "$run" 2>/dev/null || fail "the headless run ended early"
  sleep 0.1
done
port=$(sed -n 's/.*listens on 127\.0\.0\.1:\([0-9]*\) only.*/\1/p' "$work/out")
[ -n "$port" ] || fail "no listening address printed"
grep -q "ssh -N -L $port:127.0.0.1:$port " "$work/out" || fail "no SSH tunnel printed"
echo "VNC port $port"

# Every listening socket on that port, IPv4 and IPv6, from the kernel's tables.
hexport=$(printf '%04X' "$port")
listening=$(awk -v p="$hexport" '$4 == "0A" && $2 ~ (":" p "$") { print $2 }' /proc/net/tcp /proc/net/tcp6)
[ "$listening" = "0100007F:$hexport" ] || fail "listening on: $listening"
if command -v ss >/dev/null; then ss -ltn "sport = :$port"; fi

# The handshake: the server's version, then the offered security types:
# VNC password authentication (2) only, never none (1).
exec 3<>"/dev/tcp/127.0.0.1/$port"
read -r -t 5 -u 3 version || fail "no answer on 127.0.0.1:$port"
[ "$version" = "RFB 003.008" ] || fail "answered: $version"
printf 'RFB 003.008\n' >&3
types=$(timeout 5 head -c 2 <&3 | od -An -tu1 | tr -s ' ')
exec 3>&-
[ "$types" = " 1 2" ] || fail "security types offered: $types"
echo "handshake on 127.0.0.1:$port: $version, password required"

# Another address of this machine gets no answer.
for address in $(hostname -I 2>/dev/null || true); do
  case $address in 127.*|*:*) continue ;; esac
  if (exec 4<>"/dev/tcp/$address/$port") 2>/dev/null; then fail "reachable on $address:$port"; fi
  echo "refused on $address:$port"
done

# The program has opened its window on that display and keeps running.
sleep 2
kill -0 "$run" 2>/dev/null || fail "the program ended"
found=""
for exe in /proc/[0-9]*/exe; do
  if [ "$(readlink "$exe" 2>/dev/null)" = "$program" ]; then found=1; fi
done
[ -n "$found" ] || fail "the program is not running"

kill "$run"
wait "$run" 2>/dev/null || true
run=""
listening=$(awk -v p="$hexport" '$4 == "0A" && $2 ~ (":" p "$")' /proc/net/tcp /proc/net/tcp6)
[ -z "$listening" ] || fail "still listening after the run ended"
echo "1 passed, 0 failed"
