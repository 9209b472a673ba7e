# Sourced by the scripts that drive the real program on a private X server.
# Starts Xvfb on a free display and makes sure it and the program are gone on exit.

xvfb_pid=""
app_pid=""

stop_x() {
    [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
}

# start_x WIDTHxHEIGHT: exports DISPLAY once the server answers.
start_x() {
    local geometry=$1 number
    for number in $(seq 90 140); do
        [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]] && continue
        Xvfb ":$number" -screen 0 "${geometry}x24" -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$number"
        for _ in $(seq 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    done
    echo "could not start Xvfb" >&2
    return 1
}

# start_app PROGRAM...: starts it and waits (at most 10 s) for its window, whose id it leaves in
# app_window (empty when none appeared).
start_app() {
    "$@" >/dev/null 2>&1 &
    app_pid=$!
    app_window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zarvello$' 2>/dev/null | head -n 1) || true
}
