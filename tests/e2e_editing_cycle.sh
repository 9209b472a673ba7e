#!/usr/bin/env bash
# The whole editing cycle on a real X server, driven by real mouse and key events:
# open a hosts file, tick autosave, add a name, edit an entry, save, save as, exit.
# Then the system's own resolver reads the saved file. Screenshots go to build/e2e/.
# Usage: e2e_editing_cycle.sh PROGRAM SCREENSHOT_FOLDER
set -euo pipefail
program=$(realpath "$1")
shots=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../script/xvfb-lib.sh"

work=$(mktemp -d)
cleanup() { stop_x; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$shots" "$work/home" "$work/etc"

fail() { echo "FAIL: $*" >&2; shot "failure"; exit 1; }
shot() { import -window root "$shots/$1.png" 2>/dev/null || true; }
expect_bytes() { # FILE EXPECTED(printf format) STEP
    printf "$2" >"$work/expected"
    cmp -s "$1" "$work/expected" || {
        echo "--- expected:"; od -c "$work/expected" | head -20
        echo "--- got:"; od -c "$1" | head -20
        fail "$3: wrong bytes in $1"
    }
    echo "ok: $3"
}
wait_window() { # TITLE: prints the id of the visible window with that exact title
    local id
    id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
    [[ -n "$id" ]] || fail "no window titled '$1'"
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.3
    echo "$id"
}
click_at() { # WINDOW X Y
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}
menu() { # how many times Down picks the item in Файл
    click_at "$main" 20 $((menubar / 2))
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
    sleep 0.3
}
type_path() { # into the focused file dialog's name field
    xdotool key ctrl+a
    xdotool type --delay 10 "$1"
    xdotool key Return
    sleep 0.5
}

# Mixed case, CR LF and lone CR endings, a line holding a lone LF, a byte that is not UTF-8.
hosts="$work/etc/hosts"
printf '127.0.0.1 localhost\r\n# Comment Line\rZeta.example 1\r\nalpha\nwith-lf\r\n0.0.0.0 caf\xe9.example' >"$hosts"

start_x 640x480
HOME="$work/home" start_app "$program"
main=$app_window
[[ -n "$main" ]] || fail "the window did not appear"
eval "$(xdotool getwindowgeometry --shell "$main")"
menubar=$((HEIGHT - 338)) # the client area is 418 x 338 below the menu bar
list_top=$menubar
shot 1-started

# File → Открыть, the path typed into the dialog.
menu 1
dialog=$(wait_window "Открыть")
shot 2-open-dialog
type_path "$hosts"
kill -0 "$app_pid" || fail "the program died"
shot 3-opened

# Tick autosave, type a name, Enter: the file is written at once, in sorted order.
click_at "$main" 30 $((list_top + 320 + 8))
click_at "$main" 100 $((list_top + 296 + 9))
xdotool type --delay 10 "blocked.example"
xdotool key Return
sleep 0.5
shot 4-added
expect_bytes "$hosts" '# Comment Line\r\n0.0.0.0 caf\xe9.example\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\nalpha\nwith-lf\r\nZeta.example 1\r\n' "autosave after Enter"

# Click the first entry, retype it, OK; the list is not saved until File → Сохранить.
click_at "$main" 60 $((list_top + 8))
prompt=$(wait_window "Редактирование записи")
shot 5-edit-prompt
xdotool key ctrl+a
xdotool type --delay 10 "# edited"
xdotool key Return
sleep 0.5
expect_bytes "$hosts" '# Comment Line\r\n0.0.0.0 caf\xe9.example\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\nalpha\nwith-lf\r\nZeta.example 1\r\n' "editing does not save"
menu 2
shot 6-saved
expect_bytes "$hosts" '# edited\r\n0.0.0.0 caf\xe9.example\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\nalpha\nwith-lf\r\nZeta.example 1\r\n' "File → Сохранить"

# File → Сохранить как... to a new name, which gets the Open's default extension.
copy="$work/saved-copy.hosts"
menu 3
dialog=$(wait_window "Сохраняемся")
shot 7-save-as-dialog
type_path "$work/saved-copy"
expect_bytes "$copy" '# edited\r\n0.0.0.0 caf\xe9.example\r\n127.0.0.1 blocked.example ##\r\n127.0.0.1 localhost\r\nalpha\nwith-lf\r\nZeta.example 1\r\n' "File → Сохранить как..."
shot 8-saved-as

# File → Выход: the process ends at once.
menu 4
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program is still running after Выход"
app_pid=""
echo "ok: File → Выход ended the program"

# The system's resolver, reading the saved file as /etc/hosts, sends the name to loopback.
if unshare -m true 2>/dev/null; then
    answer=$(unshare -m sh -c "mount --bind '$copy' /etc/hosts && getent hosts blocked.example") || fail "getent found no blocked.example"
    [[ "$answer" =~ ^127\.0\.0\.1[[:space:]]+blocked\.example$ ]] || fail "getent answered: $answer"
    echo "ok: getent hosts blocked.example → $answer"
else
    echo "skipped: getent check needs a private mount namespace (root)"
fi
echo "e2e passed"
