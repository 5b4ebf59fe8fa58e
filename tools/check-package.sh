#!/usr/bin/env bash
# Checks the installed pomiv package as a user meets it. Run as root after
# `apt-get install ./build/pomiv_*.deb`, on a machine where nothing else is
# writing (a fresh root: see README):
#   - /usr/bin/pomiv, started by a non-root user under a virtual X server,
#     shows its main window;
#   - opening the settings dialog and pressing OK writes pmvf2.ini, opening
#     the download window writes pomi.ini, both into the user's
#     configuration folder (~/.config/pomiv), and nothing is written anywhere
#     else on the machine;
#   - `apt-get remove pomiv` leaves none of the package's files behind.
# The user is made for the check and removed with its home at the end.
set -euo pipefail

[ "$(id -u)" -eq 0 ] || { echo "run as root" >&2; exit 2; }
dpkg-query -W -f='${db:Status-Status}' pomiv 2>/dev/null | grep -qx installed ||
  { echo "pomiv is not installed" >&2; exit 2; }

# A user who cannot reach the root folder cannot start anything.
[ "$(( $(stat -c '0%a' /) & 1 ))" -eq 1 ] ||
  { echo "/ has mode $(stat -c %a /): no other user can use this machine" >&2; exit 2; }
"$(dirname "$0")/install-deps.sh" xvfb xdotool

fail() { echo "FAIL: $*" >&2; exit 1; }
user=pomivcheck
display=:77
work=$(mktemp -d)
xvfb_pid=""
pomiv_pid=""
cleanup() {
  [ -n "$pomiv_pid" ] && kill "$pomiv_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  id "$user" >/dev/null 2>&1 && userdel -r "$user" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== depends: $(dpkg-query -W -f='${Depends}' pomiv)"

useradd -m -s /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
uid=$(id -u "$user")
# What a desktop session provides: a configuration folder and a runtime folder.
runuser=(setpriv --reuid="$uid" --regid="$(id -g "$user")" --init-groups)
"${runuser[@]}" mkdir -p "$home/.config"
runtime="/run/user/$uid"
mkdir -p "$runtime" && chown "$user": "$runtime" && chmod 700 "$runtime"

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.2; done
[ -S "/tmp/.X11-unix/X${display#:}" ] || fail "the virtual X server did not start"
export DISPLAY=$display LANG=C.UTF-8

# Everything changed on the machine from here on is the program's doing.
sleep 1.1
touch "$work/stamp"
sleep 1.1

(cd "$home" && exec "${runuser[@]}" env -i HOME="$home" USER="$user" LOGNAME="$user" \
  PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" XDG_RUNTIME_DIR="$runtime" \
  pomiv >"$work/pomiv.log" 2>&1) &
pomiv_pid=$!

# The main window: found by its class, named ポミブ.
main=$(timeout 30 xdotool search --sync --onlyvisible --class pomiv | head -n1) ||
  fail "no window appeared; the program said: $(cat "$work/pomiv.log")"
[ "$(xdotool getwindowname "$main")" = "ポミブ" ] || fail "the window is not named ポミブ"
exe=$(readlink "/proc/$pomiv_pid/exe")
[ "$exe" = /usr/bin/pomiv ] || fail "the program runs from $exe"
echo "== pomiv ($exe) shows its window $main, \"$(xdotool getwindowname "$main")\", as $user"

# The menu bar sits above the designed client area of 9240 x 5760 twips
# (616 x 384 pixels); controls are placed in that area. Without a window
# manager new windows open on top of the main window: raise it before each
# click.
eval "$(xdotool getwindowgeometry --shell "$main")"
menu=$((HEIGHT - 384))
click() { xdotool windowraise "$main" && sleep 0.3 && xdotool mousemove --window "$main" "$1" "$2" click 1; }

# "ファイル" > "環境設定" opens the settings dialog, whose OK has the focus.
click 20 $((menu / 2))
sleep 1
xdotool key Down Down Return
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '環境設定' | head -n1) ||
  fail "the settings dialog did not open"
xdotool windowfocus --sync "$dialog" key Return
for _ in $(seq 50); do [ -f "$home/.config/pomiv/pmvf2.ini" ] && break; sleep 0.2; done

# "画像ダウンロード" (INTB, 2640, 4800, 2175 x 855 twips) opens the download window.
click 248 $((menu + 348))
for _ in $(seq 50); do [ -f "$home/.config/pomiv/pomi.ini" ] && break; sleep 0.2; done

# "ファイル" > "終了" ends the program.
click 20 $((menu / 2))
sleep 1
xdotool key Up Return
for _ in $(seq 50); do kill -0 "$pomiv_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pomiv_pid" 2>/dev/null && fail "the program did not end from its menu"
pomiv_pid=""

config="$home/.config/pomiv"
for f in pmvf2.ini pomi.ini; do
  [ -f "$config/$f" ] || fail "$config/$f was not written"
  [ "$(stat -c %U "$config/$f")" = "$user" ] || fail "$config/$f does not belong to $user"
done
echo "== data files in $config:"
ls -l "$config"
echo "pmvf2.ini: $(tr -d '\r' <"$config/pmvf2.ini")"

# Whatever changed since the stamp, besides the configuration folder and the
# folder it was made in. /tmp/.X11-unix, the server's lock and the keyboard
# maps it compiles into /var/lib/xkb belong to Xvfb; a file this check's own
# output goes to is the caller's.
own=$(readlink -f /proc/$$/fd/1 /proc/$$/fd/2)
changed=$(find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path "$work" \
  -o -path /tmp/.X11-unix -o -path "/tmp/.X${display#:}-lock" -o -path /var/lib/xkb \) -prune \
  -o -cnewer "$work/stamp" -print |
  grep -vx -e "$home/.config" -e "$config" -e "$config/pmvf2.ini" -e "$config/pomi.ini" |
  grep -vxF "$own" || true)
[ -z "$changed" ] || fail "the program wrote outside $config:
$changed"
echo "== nothing written outside $config"

# Removing the package leaves none of its files; directories it shared stay
# only when another package owns them.
dpkg-query -L pomiv >"$work/files"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq pomiv >/dev/null
status=$(dpkg-query -W -f='${db:Status-Status}' pomiv 2>/dev/null || echo not-installed)
[ "$status" = not-installed ] || fail "after removal dpkg says pomiv is $status"
left=""
while IFS= read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  if [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then continue; fi
  left+="$path"$'\n'
done <"$work/files"
ls /var/lib/dpkg/info/pomiv.* >/dev/null 2>&1 && left+="$(ls /var/lib/dpkg/info/pomiv.*)"$'\n'
[ -z "$left" ] || fail "apt-get remove left behind:
$left"
echo "== apt-get remove left nothing of the package ($(wc -l <"$work/files") paths checked)"
echo "check-package: all passed"
