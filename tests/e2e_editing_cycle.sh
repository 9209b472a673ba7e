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
    # Keys go to the window under the pointer.
    xdotool mousemove --window "$app_window" 200 $((menubar + 150)) key "$2"
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
hosts="$work/hosts"
printf '127.0.0.1 localhost\r\n# Comment Line\rZeta.example 1\r\nalpha\nwith-lf\r\n'\
'0.0.0.0 caf\xe9.example' >"$hosts"
rest='0.0.0.0 caf\xe9.example\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\n'\
'alpha\nwith-lf\r\nZeta.example 1\r\n'

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

# Another program appends a line and deletes one; the next addition keeps both, and says so.
printf '127.0.0.2 outside.example\r\n' >>"$hosts"
sed -i '/^Zeta/d' "$hosts"
add second.example
wait_window "Сохранение" || fail "no word of the other program's change"
shot merged
xdotool key Return
rest='0.0.0.0 caf\xe9.example\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\n'\
'127.0.0.1 second.example ##\r\n127.0.0.2 outside.example\r\nalpha\nwith-lf\r\n'
expect "$hosts" "# Comment Line\r\n$rest" "another program's line kept, the one it deleted gone"

click 60 $((menubar + 8)) # the first entry
answer "Редактирование записи" "# edited"
expect "$hosts" "# Comment Line\r\n$rest" "an edit is not saved by itself"
menu 2 alt
expect "$hosts" "# edited\r\n$rest" "Сохранить"
menu 3 F10
answer "Сохраняемся" "$work/copy"
expect "$work/copy.hosts" "# edited\r\n$rest" "Сохранить как... to a new name, with the extension"

# The window manager's maximize, a double click on the title bar, leaves the window as it was.
read -r left top < <(xwininfo -id "$app_window" |
    awk '/Absolute upper-left/ { printf "%s ", $4 } END { print "" }')
xdotool mousemove "$((left + 100))" "$((top - 8))" click --repeat 2 1
sleep 0.5
[[ "$(xdotool getwindowgeometry "$app_window")" == *"Geometry: ${WIDTH}x$HEIGHT"* ]] ||
    fail "maximized"
menu 4 alt
timeout 5 tail --pid="$app_pid" -f /dev/null || fail "still running after Выход"
app_pid=""
echo "ok: Выход ended the program"

# getent reads the copy as /etc/hosts, mounted in a namespace of its own whose mounts stay in it.
# A chroot, such as autopkgtest's unshare testbed, allows no user namespace and has no / to make
# private: there root mounts it in a namespace that the testbed's private one holds.
namespace=(-rm)
mountpoint -q / || namespace=(-m --propagation unchanged)
found=$(unshare "${namespace[@]}" sh -c "mount --bind '$work/copy.hosts' /etc/hosts &&
    findmnt -n -o PROPAGATION /etc/hosts | grep -qx private &&
    getent hosts blocked.example outside.example") || fail "getent found nothing"
both='^127\.0\.0\.1[[:space:]]+blocked\.example.127\.0\.0\.2[[:space:]]+outside\.example$'
[[ "$found" =~ $both ]] || fail "getent answered: $found"
echo "ok: getent hosts blocked.example outside.example: $(tr -s '[:space:]' ' ' <<<"$found")"
