#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Kills saves at random moments and counts what they leave: torn files (neither the old nor the
# new bytes) and copies left beside the file, for a plain file (the rename) and a bind-mounted one
# (in place). The new list is the shorter, so a torn in-place save shows as the old file's tail.
# Needs root (a private mount namespace).
# Usage: bench/kill-during-saves.sh BENCH_TOOL [KILLS [OLD_LINES NEW_LINES]]
#        (BENCH_TOOL is build/bin/zarvello-bench; by default 200 kills, 32767 lines over 30000)
set -euo pipefail
bench=$(realpath "$1")
exec unshare -m bash -s "$bench" "${2:-200}" "${3:-32767}" "${4:-30000}" <<'INNER'
set -euo pipefail
bench=$1 kills=$2
mount --make-rprivate /
dir=$(mktemp -d)
trap 'umount "$dir/bound/hosts" 2>/dev/null || true; rm -rf "$dir"' EXIT
"$bench" generate "$3" 7 "$dir/old-src" && "$bench" load-save "$dir/old-src" "$dir/old" >/dev/null
"$bench" generate "$4" 8 "$dir/new-src" && "$bench" load-save "$dir/new-src" "$dir/new" >/dev/null
mkdir "$dir/plain" "$dir/bound"
: >"$dir/bound/hosts"
cp "$dir/old" "$dir/real"
mount --bind "$dir/real" "$dir/bound/hosts"
for folder in plain bound; do
    target=$dir/$folder/hosts
    cp "$dir/old" "$target"
    # Kills fall anywhere in one save (the median of five), from the start of loading to a little
    # past its end.
    us=$(for _ in 1 2 3 4 5; do "$bench" load-save "$dir/new-src" "$target"; done |
        sed -n 's/wall_ms=\([0-9]*\).*/\1/p' | sort -n | sed -n 3p)000
    torn=0
    for _ in $(seq "$kills"); do
        cat "$dir/old" >"$target"
        "$bench" load-save "$dir/new-src" "$target" >/dev/null 2>&1 &
        pid=$!
        delay=$(( (RANDOM * 32768 + RANDOM) % (us * 6 / 5) ))
        sleep "$(printf '0.%06d' "$delay")"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        cmp -s "$target" "$dir/old" || cmp -s "$target" "$dir/new" || torn=$((torn + 1))
    done
    left=$(find "$dir/$folder" -name '.zarvello-*' | wc -l)
    echo "$folder: $kills kills over ${us%000} ms saves, $torn torn, $left copies left beside" \
        "the file ($(stat -c %s "$dir/old") -> $(stat -c %s "$dir/new") bytes)"
done
INNER
