#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# As nobody, autosaves into a root-owned 0644 file through the real pkexec and polkitd: with a rule
# that gives the administrator rights (one prompt for three saves; owner and mode kept) and with
# one that refuses them (each save reported; the file as it was).
# Usage: polkit_save.sh DRIVER HELPER POLICY
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
# The build folder may be closed to nobody, who runs the driver and whom pkexec checks the helper as.
install -m 0755 "$1" "$work/driver"
install -m 0755 "$2" "$work/helper"
sed "s|@ZARVELLO_HELPER@|$work/helper|" "$3" >"$work/action.policy"
for result in YES NO; do
    printf 'polkit.addRule(function(action, subject) {\n  if (action.id == "org.zarvello.Zarvello.save-hosts-file" && subject.user == "nobody")\n    return polkit.Result.%s;\n});\n' \
        "$result" >"$work/rules"
    mkdir -m 0755 "$work/$result"
    printf '127.0.0.1 localhost\r\n' >"$work/$result/hosts"
    chmod 0644 "$work/$result/hosts"
    got=$("$(dirname "$0")/with_polkit.sh" "$work/action.policy" "$work/rules" env ZARVELLO_TARGET="$work/$result/hosts" \
        ZARVELLO_HELPER="$work/helper" setpriv --reuid=65534 --regid=65534 --clear-groups -- "$work/driver" 2>/dev/null)
    echo "$result: $got"
    state=$(stat -c '%u %a' "$work/$result/hosts")
    if [[ $result == YES ]]; then
        [[ $got == "launches 1, messages 0, saved" && $state == "0 644" ]] || { echo "FAIL: rights given: $state"; exit 1; }
    else
        [[ $(head -n 1 <<<"$got") == "launches 3, messages 3, not saved" && $got == *"Права администратора не получены."* ]] ||
            { echo "FAIL: rights refused"; exit 1; }
        printf '127.0.0.1 localhost\r\n' | cmp -s - "$work/$result/hosts" || { echo "FAIL: the file changed"; exit 1; }
    fi
done
