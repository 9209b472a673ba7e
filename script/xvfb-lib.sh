# shellcheck shell=bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that drive the real program on a private X server: starts Xvfb on a
# display it picks itself (-displayfd, so parallel runs never race for a number) and makes sure it
# and the program are gone on exit.

xvfb_pid=""
wm_pid=""
weston_pid=""
app_pid=""

# shot NAME: the screen, into $shots/NAME.png if there is $shots. fail MESSAGE: says so, with the
# program's stderr when the test keeps it in $app_stderr and a last screenshot, and ends the test.
shot() { [[ -z ${shots:-} ]] || import -window root "$shots/$1.png" 2>/dev/null || true; }
fail() {
    echo "FAIL: $*" >&2
    [[ -z "${app_stderr:-}" ]] || cat "$app_stderr" >&2
    shot "$(basename "$0" .sh)-failure"
    exit 1
}

# expect FILE BYTES STEP: FILE holds BYTES (escapes as printf %b reads them), at once or in 5 s.
expect() {
    for _ in $(seq 50); do
        printf '%b' "$2" | cmp -s "$1" - 2>/dev/null && { echo "ok: $3"; return; }
        sleep 0.1
    done
    od -c "$1" | head
    fail "$3: wrong bytes in $1"
}

# wait_window TITLE: waits (at most 10 s) for a window of the program with that title. Its
# _NET_WM_NAME is read, UTF-8 in any locale: xdotool's --name reads WM_NAME, which Qt writes in
# the locale's encoding, and so misses a Russian title where ru_RU is not installed.
wait_window() {
    local window name
    for _ in $(seq 100); do
        for window in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
            name=$(LC_ALL=C.UTF-8 xprop -id "$window" -notype _NET_WM_NAME) || continue
            [[ $name == "_NET_WM_NAME = \"$1\"" ]] && return
        done
        sleep 0.1
    done
    return 1
}

# weston_window: prints WIDTH LEFT TOP of what stands on weston's black background, the
# pointer it draws at either corner left out. The pointer goes out of weston, which so sees it
# anew, and back in at a corner, as keys go to the window under it.
weston_window() {
    xdotool mousemove 1010 750
    sleep 0.5
    import -window root -crop 1000x740+0+0 "$XDG_RUNTIME_DIR/screen.png"
    xdotool mousemove 999 739
    convert "$XDG_RUNTIME_DIR/screen.png" -fill black -draw "rectangle 0,0 20,30" \
        -draw "rectangle 980,710 999,739" -format '%@\n' info: | tr 'x+' '  ' | cut -d' ' -f1,3,4
}

# stop_weston: ends the program and weston, so that another can start.
stop_weston() {
    kill "$app_pid" "$weston_pid" 2>/dev/null || true
    wait "$app_pid" "$weston_pid" 2>/dev/null || true
    app_pid="" weston_pid=""
}

# new_work: $work, a folder of the test's own with a home in it, gone on exit with all the test
# started; and $shots, when the test keeps screenshots.
new_work() {
    work=$(mktemp -d)
    trap 'stop_x; rm -rf "$work"' EXIT
    mkdir -p "$work/home" ${shots:+"$shots"}
}

stop_x() {
    local pid
    for pid in "$app_pid" "$wm_pid" "$weston_pid" "$xvfb_pid"; do
        [[ -z $pid ]] || kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}

# start_x WIDTHxHEIGHT: exports DISPLAY once the server answers.
start_x() {
    local number
    exec {fd}< <(Xvfb -displayfd 1 -screen 0 "${1}x24" -nolisten tcp 2>/dev/null &
        echo "pid $!"; wait)
    read -r _ xvfb_pid <&"$fd"
    read -r -t 10 number <&"$fd" || { echo "could not start Xvfb" >&2; return 1; }
    export DISPLAY=":$number"
}

# start_wm: openbox, which activates windows as a desktop does (a closed dialog gives the keyboard
# back to the window); returns once it has taken the screen.
start_wm() {
    openbox --sm-disable >/dev/null 2>&1 &
    wm_pid=$!
    timeout 10 sh -c \
        'until xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; do sleep 0.1; done'
}

# start_weston SHELL FOLDER: weston as a window of the X server, its output 1000x740 at the top
# left, with the given shell (desktop-shell.so, kiosk-shell.so) on a black background, with no
# panel and no on-screen keyboard; its socket and XDG_RUNTIME_DIR are FOLDER's own. Exports what
# a Wayland client needs.
start_weston() {
    chmod 700 "$2"
    printf '%s\n' '[core]' idle-time=0 '[shell]' panel-position=none background-color=0xff000000 \
        '[input-method]' path=/bin/true >"$2/weston.ini"
    XDG_RUNTIME_DIR="$2" weston --backend=x11-backend.so --width=1000 --height=740 \
        --socket=zarvello --shell="$1" --config="$2/weston.ini" >"$2/weston.log" 2>&1 &
    weston_pid=$!
    export XDG_RUNTIME_DIR="$2" WAYLAND_DISPLAY=zarvello
    timeout 10 sh -c "until [ -S '$XDG_RUNTIME_DIR/zarvello' ]; do sleep 0.1; done"
}

# start_app PROGRAM...: starts it and waits (at most 10 s) for its window, whose id it leaves in
# app_window (empty when none appeared).
start_app() {
    QT_QPA_PLATFORM=xcb "$@" >/dev/null 2>&1 &
    app_pid=$!
    # shellcheck disable=SC2034 # read by the scripts that source this one
    app_window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zarvello$' 2>/dev/null |
        head -n 1) || true
}
