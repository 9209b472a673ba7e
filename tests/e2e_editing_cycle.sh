#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Open, autosave, add (also after another program changed the file), edit, save, save as and
# exit with real mouse and key events on a real X server under a window manager, the menu reached
# by F10 and by a tap of Alt; then the resolver reads the file.
# Usage: e2e_editing_cycle.sh PROGRAM SCREENSHOT_FOLDER
set -euo pipefail
shots=$2
source "$(dirname "$0")/../script/xvfb-lib.sh"
new_work

click() { xdotool mousemove --window "$app_window" "$1" "$2" click 1; sleep 0.3; }
menu() { # Down presses to the item in Файл; the key that opens it, F10 or a tap of Alt
    xdotool mousemove --window "$app_window" 200 $((menubar + 150)) key "$2" # keys go under it
    sleep 0.3
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
    sleep 0.3
}
# add NAME: types it into the input field and presses Enter.
add() { click 100 $((menubar + 305)); xdotool type --delay 10 "$1"; xdotool key Return; }
answer() { # TITLE TEXT: types TEXT into the dialog of that title and presses Enter
    wait_window "$1" || fail "no window titled $1"
    sleep 0.3
    shot "${1// /-}"
    xdotool key ctrl+a type --delay 10 "$2"
    xdotool key Return
    sleep 0.5
}

# Mixed case, CR LF and lone CR, a line holding a lone LF, a byte that is not UTF-8.
hosts="$work/hosts" latin1='0.0.0.0 caf\xe9.example' alpha='alpha\nwith-lf\r\n'
printf %b "127.0.0.1 localhost\r\n# Comment Line\rZeta.example 1\r\n$alpha$latin1" >"$hosts"
rest="$latin1\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\n${alpha}Zeta.example 1\r\n"

# Nothing else of the person's may attach to the editor, which reading its environment takes too:
# tried for 5 s after the start. Root reads anything; nobody is the person then.
as=()
[[ $(id -u) -ne 0 ]] || as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
mkdir -m 0755 "$work/open" && cp "$1" "$work/open/zarvello" && chmod 0755 "$work"
HOME=/tmp QT_QPA_PLATFORM=offscreen "${as[@]}" "$work/open/zarvello" >/dev/null 2>&1 &
for _ in $(seq 50); do
    "${as[@]}" cat "/proc/$!/environ" >/dev/null 2>&1 || break
    sleep 0.1
done
! "${as[@]}" cat "/proc/$!/environ" >/dev/null 2>&1 || fail "other programs may attach"
kill $!
echo "ok: no other program may attach to the editor"

start_x 640x480
start_wm
HOME="$work/home" start_app "$(realpath "$1")"
[[ -n "$app_window" ]] || fail "the window did not appear"
eval "$(xdotool getwindowgeometry --shell "$app_window")"
menubar=$((HEIGHT - 338)) # the client area is 418 x 338 below the menu bar

menu 1 F10
answer "Открыть" "$hosts"
click 30 $((menubar + 328))  # Автосохранение
add blocked.example
sleep 0.5
shot added
expect "$hosts" "# Comment Line\r\n$rest" "Enter adds and autosaves in sorted order"

# Another program appends a line and deletes one; the next addition keeps both, saves, and then
# says so. A line appended while that is said is kept by the addition after.
printf '127.0.0.2 outside.example\r\n' >>"$hosts"
sed -i '/^Zeta/d' "$hosts"
add second.example
wait_window "Сохранение" || fail "no word of the other program's change"
shot merged
rest="$latin1\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\n"
rest+='127.0.0.1 second.example ##\r\n127.0.0.2 outside.example\r\n'
expect "$hosts" "# Comment Line\r\n$rest$alpha" "saved before the word of it"
printf '127.0.0.3 told.example\r\n' >>"$hosts"
xdotool key Return
add third.example
wait_window "Сохранение" || fail "no word of the line appended meanwhile"
xdotool key Return
rest="$latin1\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\n"
rest+='127.0.0.1 second.example ##\r\n127.0.0.1 third.example ##\r\n'
rest+="127.0.0.2 outside.example\r\n127.0.0.3 told.example\r\n$alpha"
expect "$hosts" "# Comment Line\r\n$rest" "every line of both kept"

click 60 $((menubar + 8)) # the first entry
answer "Редактирование записи" "# edited"
click 60 $((menubar + 9 * 14 + 8)) # with-lf, the second line of the last entry: a row of its own
answer "Редактирование записи" "retyped"
expect "$hosts" "# Comment Line\r\n$rest" "an edit is not saved by itself"
rest=${rest/with-lf/retyped}
menu 2 alt
expect "$hosts" "# edited\r\n$rest" "Сохранить"
menu 3 F10
answer "Сохраняемся" "$work/copy"
expect "$work/copy.hosts" "# edited\r\n$rest" "Сохранить как... adds the extension"

# The window manager's maximize, a double click on the title bar, leaves the window as it was.
{ read -r left; read -r top; } < <(xwininfo -id "$app_window" | awk '/Absolute/ { print $4 }')
xdotool mousemove "$((left + 100))" "$((top - 8))" click --repeat 2 1
sleep 0.5
[[ $(xdotool getwindowgeometry "$app_window") == *"Geometry: ${WIDTH}x$HEIGHT"* ]] || fail maximized
# Nor does the window manager offer it, nor draw its button (Motif's function and decoration bits).
motif=$(xprop -id "$app_window" _MOTIF_WM_HINTS | cut -d= -f2)
IFS=', ' read -r _ functions decorations _ <<<"$motif"
if [[ $(xprop -id "$app_window" _NET_WM_ALLOWED_ACTIONS) == *MAXIMIZE* ]] ||
    (((functions & 0x10) != 0 || (decorations & 0x40) != 0)); then fail "maximize offered"; fi
menu 4 alt
timeout 5 tail --pid="$app_pid" -f /dev/null || fail "still running after Выход"
app_pid=""
echo "ok: Выход ended the program"

# getent reads the copy as /etc/hosts, in a mount namespace of its own. A chroot, as autopkgtest's
# unshare testbed, allows no user namespace and has no / to make private: there root mounts it in
# the testbed's own private namespace.
namespace=(-rm)
mountpoint -q / || namespace=(-m --propagation unchanged)
found=$(unshare "${namespace[@]}" sh -c "mount --bind '$work/copy.hosts' /etc/hosts &&
    findmnt -n -o PROPAGATION /etc/hosts | grep -qx private &&
    getent hosts blocked.example outside.example" | xargs) || fail "getent found nothing"
[[ $found == "127.0.0.1 blocked.example 127.0.0.2 outside.example" ]] || fail "getent: $found"
echo "ok: getent hosts blocked.example outside.example: $found"
