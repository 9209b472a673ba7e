#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# On weston, the window's maximize button (drawn by Qt) and a shell that makes every window
# fullscreen leave the program running with its entries, and its stderr empty.
# Usage: wayland_requests.sh PROGRAM SCREENSHOT_FOLDER
set -euo pipefail
shots=$2
source "$(dirname "$0")/../script/xvfb-lib.sh"
if ! command -v weston >/dev/null ||
    ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null; then
    echo "SKIP: weston or qt6-wayland is not installed"; exit 77
fi
new_work
app_stderr="$work/stderr"
start_x 1024x768

for shell in desktop-shell.so kiosk-shell.so; do
    mkdir "$work/$shell"
    start_weston "$shell" "$work/$shell"
    HOME="$work/home" QT_QPA_PLATFORM=wayland "$(realpath "$1")" 2>"$app_stderr" &
    app_pid=$!
    sleep 2
    xdotool key Tab type --delay 10 "blocked.example"
    xdotool key Return
    if [[ $shell == desktop-shell.so ]]; then
        read -r width left top < <(weston_window)
        xdotool mousemove $((left + width - 40)) $((top + 16)) click 1 # Qt's maximize button
    fi
    sleep 1
    shot "wayland-${shell%.so}"
    kill -0 "$app_pid" 2>/dev/null || fail "$shell: the program ended"
    read -r width left top < <(weston_window)
    [[ "$width $left $top" == "1000 0 0" ]] || fail "$shell: the window does not fill the screen"
    # Its entry is kept: Сохранить как... writes it (no extension before an Open).
    xdotool key F10 Down Down Return
    sleep 1.5
    xdotool key ctrl+a type --delay 10 "$work/$shell/saved"
    xdotool key Return
    expect "$work/$shell/saved" '127.0.0.1 blocked.example ##\r\n' "$shell: alive, with its entry"
    [[ ! -s "$app_stderr" ]] || fail "$shell: the program wrote to stderr"
    stop_weston
done
