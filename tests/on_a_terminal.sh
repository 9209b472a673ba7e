#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs COMMAND as a job of a terminal, as an editor started from one starts its helper: in the
# terminal's session and foreground group, under a shell. Once ZARVELLO_PAUSED appears (a save
# paused by the fault shim), or COMMAND's output ends, the terminal gets a ^C and then hangs up,
# and the save goes on. Prints what COMMAND wrote, once its output ends; then, where the terminal
# showed anything but the ^C typed into it (a password prompt, say), "on the terminal:" and what
# it showed. Usage: on_a_terminal.sh COMMAND <INPUT
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/input"
mkfifo "$work/keys" "$work/output"
cat "$work/output" &
said=$!
# script gives its shell a session of its own on a new pseudo-terminal, types what comes in, and
# writes out what the terminal shows.
script -qec "$1 <'$work/input' >'$work/output'; sleep 10" /dev/null <"$work/keys" >"$work/shown" &
terminal=$!
exec 3>"$work/keys"
paused=${ZARVELLO_PAUSED:-}
for _ in $(seq 1000); do
    if [ -n "$paused" ] && [ -e "$paused" ]; then break; fi
    kill -0 "$said" 2>/dev/null || break
    sleep 0.01
done
printf '\003' >&3
sleep 0.2
kill -KILL "$terminal" 2>/dev/null || true
sleep 0.2
[ -z "$paused" ] || rm -f "$paused"
wait "$said"
shown=$(sed 's/\^C//g' "$work/shown" | tr -d '\r')
if [ -n "$(printf %s "$shown" | tr -d '[:space:]')" ]; then
    echo "on the terminal:"
    printf '%s\n' "$shown"
fi
