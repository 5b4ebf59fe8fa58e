#!/usr/bin/env bash
# Runs a program on a display of its own when the machine has none: an X
# server with a built-in VNC server (TigerVNC's Xvnc) that listens on
# 127.0.0.1 only and asks for a password made up for this run, with the
# program as its only client. Prints how to connect, here or from another
# machine through an SSH tunnel, and stops the server when the program ends.
# usage: tools/headless.sh PROGRAM [ARGUMENTS...]
set -euo pipefail

for tool in Xvnc vncpasswd xauth; do
  command -v "$tool" >/dev/null || { echo "headless.sh: $tool is missing (bash tools/install-deps.sh installs it)" >&2; exit 1; }
done

# A free display (no lock, no socket in the file system or the abstract
# namespace); the VNC port is 5900 plus its number.
port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
display_taken() {
  [ -e "/tmp/.X$1-lock" ] || [ -e "/tmp/.X11-unix/X$1" ] ||
    grep -q "@/tmp/.X11-unix/X$1\$" /proc/net/unix 2>/dev/null
}
display=""
for n in $(seq 1 99); do
  if ! display_taken "$n" && ! port_taken $((5900 + n)); then
    display=$n
    break
  fi
done
[ -n "$display" ] || { echo "headless.sh: no free display between :1 and :99" >&2; exit 1; }
port=$((5900 + display))

state=$(mktemp -d)
server=""
program=""
cleanup() {
  for pid in $program $server; do
    { kill "$pid" && wait "$pid"; } 2>/dev/null || true
  done
  rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Only the program may use the X display (a cookie), and only someone who
# was shown the password may use the VNC port.
password=$(od -An -N4 -tx1 /dev/urandom | tr -d ' \n')
printf '%s\n' "$password" | vncpasswd -f >"$state/passwd"
: >"$state/xauth"
xauth -q -f "$state/xauth" add ":$display" MIT-MAGIC-COOKIE-1 "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"

Xvnc ":$display" -auth "$state/xauth" -nolisten tcp -interface 127.0.0.1 -rfbport "$port" \
  -SecurityTypes VncAuth -PasswordFile "$state/passwd" -geometry 1024x768 -depth 24 \
  -desktop "ポミブ" >"$state/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X$display" ] && port_taken "$port" && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if ! kill -0 "$server" 2>/dev/null || ! port_taken "$port"; then
  echo "headless.sh: the VNC server did not start:" >&2
  cat "$state/server.log" >&2
  exit 1
fi

host=$(hostname)
cat <<EOF
No display: ポミブ runs on a VNC server of its own that listens on 127.0.0.1:$port only.
  Password: $password
  On this machine:  vncviewer 127.0.0.1::$port
  From another machine, tunnel the port through SSH, then connect there:
    ssh -N -L $port:127.0.0.1:$port ${USER:-$(id -un)}@$host
    vncviewer 127.0.0.1::$port
Closing the program stops the server.
EOF

# In the background, so that Ctrl-C or a signal to this script ends it too.
DISPLAY=":$display" XAUTHORITY="$state/xauth" QT_QPA_PLATFORM=xcb "$@" &
program=$!
status=0
wait "$program" || status=$?
program=""
exit "$status"
