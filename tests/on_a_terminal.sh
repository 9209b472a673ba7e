#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs COMMAND as a job of a terminal, as an editor started from one starts its helper: in the
# terminal's session and foreground group, under a shell. Once ZARVELLO_PAUSED appears (a save
# paused by the fault shim), the terminal gets a ^C and then hangs up, and the save goes on.
# Prints what COMMAND wrote, once its output ends. Usage: on_a_terminal.sh COMMAND <INPUT
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/input"
mkfifo "$work/keys" "$work/output"
cat "$work/output" &
said=$!
# script gives its shell a session of its own on a new pseudo-terminal, and types what comes in.
script -qec "$1 <'$work/input' >'$work/output'; sleep 10" /dev/null <"$work/keys" >/dev/null &
terminal=$!
exec 3>"$work/keys"
for _ in $(seq 1000); do [ -e "$ZARVELLO_PAUSED" ] && break; sleep 0.01; done
printf '\003' >&3
sleep 0.2
kill -KILL "$terminal"
sleep 0.2
rm -f "$ZARVELLO_PAUSED"
wait "$said"
