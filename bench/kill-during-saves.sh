#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kills saves at random moments and counts what they leave: torn files (neither the old nor the
# new bytes) and copies left beside the file. Needs root (a private mount namespace).
# Usage: bench/kill-during-saves.sh BENCH_TOOL [KILLS]   (BENCH_TOOL is build/bin/zarvello-bench)
set -euo pipefail
bench=$(realpath "$1")
kills=${2:-200}
exec unshare -m bash -s "$bench" "$kills" <<'INNER'
set -euo pipefail
bench=$1 kills=$2
mount --make-rprivate /
dir=$(mktemp -d)
trap 'umount "$dir/mounted" 2>/dev/null || true; rm -rf "$dir"' EXIT
"$bench" generate 900 7 "$dir/old-src" && "$bench" load-save "$dir/old-src" "$dir/old" >/dev/null
"$bench" generate 1200 8 "$dir/new-src" && "$bench" load-save "$dir/new-src" "$dir/new" >/dev/null
mkdir "$dir/plain"
: >"$dir/mounted"
cp "$dir/old" "$dir/real"
mount --bind "$dir/real" "$dir/mounted"
for target in plain/hosts mounted; do
    torn=0
    for _ in $(seq "$kills"); do
        [[ $target == mounted ]] && cat "$dir/old" >"$dir/real" || cp "$dir/old" "$dir/$target"
        "$bench" load-save "$dir/new-src" "$dir/$target" >/dev/null 2>&1 &
        pid=$!
        sleep "0.00$((RANDOM % 6))"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        cmp -s "$dir/$target" "$dir/old" || cmp -s "$dir/$target" "$dir/new" || torn=$((torn + 1))
    done
    left=$(find "$dir/plain" -name '.zarvello-*' | wc -l)
    echo "$target: $kills kills, $torn torn, $left copies left beside the file ($(stat -c %s "$dir/old") -> $(stat -c %s "$dir/new") bytes)"
done
INNER
