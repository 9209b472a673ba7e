#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# script/run under sudo starts the editor as the person who ran sudo, not as root: started here as
# root with SUDO_USER set, as sudo leaves it. Usage: run_as_person.sh SOURCE_FOLDER
set -euo pipefail
[[ $(id -u) -eq 0 ]] || { echo "SKIP: only root can start a program as another person"; exit 77; }
SUDO_USER=nobody "$1/script/run" >/dev/null 2>&1 &
for _ in $(seq 600); do
    [[ $(readlink "/proc/$!/exe" 2>/dev/null) != */bin/zarvello ]] || break
    sleep 0.1
done
editor=$(awk '/^Uid:/ { print $2 }' "/proc/$!/status" 2>/dev/null || echo gone)
program=$(readlink "/proc/$!/exe" 2>/dev/null || echo gone)
kill $! 2>/dev/null || true
[[ $program == */bin/zarvello && $editor == "$(id -u nobody)" ]] ||
    { echo "FAIL: the editor ran as uid $editor ($program)"; exit 1; }
echo "ok: script/run under sudo started the editor as nobody"
