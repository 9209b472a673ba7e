#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# What another program of the same person may try: list the descriptors of process PID, saying
# "listed" if it can, and write BYTES into each. Usage: reach_into.sh PID BYTES
ls "/proc/$1/fd" >/dev/null 2>&1 && echo listed
for fd in /proc/"$1"/fd/*; do printf %s "$2" >"$fd"; done 2>/dev/null
sleep 0.5
